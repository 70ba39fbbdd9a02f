// A capture whose folder disappears under the tool. Only a POSIX system
// lets the working folder of a running program go; Windows refuses to
// remove it.
#include <filesystem>

#include "tests/support/ControllerFrames.h"
#include "tests/ui/DialogHarness.h"

namespace {

using namespace testing_ui;
using testing_support::HaltenLineFrame;

class CaptureFolder : public DialogHarness {};

TEST_F(CaptureFolder, ACaptureThatCannotBeWrittenSaysSoInTheStateLine) {
    const auto oldDir = std::filesystem::current_path();
    const auto gone = std::filesystem::path(dir()) / "gone";
    std::filesystem::create_directory(gone);
    std::filesystem::current_path(gone);
    std::filesystem::remove(gone);  // the folder disappears under the tool
    Connect(1);
    Click(IDC_CAPTURE);
    std::vector<std::uint8_t> all;
    for (int k = 0; k < 600; ++k) {
        const auto f = HaltenLineFrame({0, 5}, 1);
        all.insert(all.end(), f.begin(), f.end());
    }
    ASSERT_TRUE(peer->Write(all));
    const bool told = PumpUntil([&] { return Text(IDC_STATE).starts_with("Не удалось записать km"); }, 20000);
    std::filesystem::current_path(oldDir);
    ASSERT_TRUE(told) << Text(IDC_STATE);
    EXPECT_TRUE(Enabled(IDC_CAPTURE));
    EXPECT_EQ(Text(IDC_COUNTER), "1");  // no refresh since frame 0
}

}  // namespace
