#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>

#include "link/LinkState.h"
#include "res/Resource.h"
#include "tests/support/WindowPump.h"
#include "tests/ui/ControllerLine.h"
#include "tests/ui/DialogInput.h"
#include "tests/ui/TestWindows.h"
#include "ui/ZonterDlg.h"

namespace testing_ui {

using linkcore::WorkerKind;
using testing_support::PumpQueued;
using testing_support::PumpUntil;

// A path as the dialogs take and give it: UTF-8.
inline std::string Utf8Of(const std::filesystem::path& p) {
    const std::u8string text = p.u8string();
    return std::string(text.begin(), text.end());
}

// A file's whole contents, as bytes.
inline std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Whether a worker of that kind runs now.
inline bool WorkerRunning(WorkerKind kind) { return linkcore::Link().Slot(kind).thread.Running(); }

// The main dialog, shown modeless, with COM1 a line whose controller's end
// the test holds, and a scratch folder of its own.
class DialogHarness : public ::testing::Test {
protected:
    void SetUp() override {
        Scripts() = {};
        Opened().clear();
        Messages().clear();
        MakeScratchFolder();
        peer = OpenControllerLine();
        ASSERT_NE(peer, nullptr);
        linkcore::ResetLinkDataForTests();
        dlg = std::make_unique<CZonterDlg>();
        dlg->ShowModeless();
        ASSERT_TRUE(PumpUntil([] { return linkcore::Link().Slot(WorkerKind::SingleRead).stop != nullptr; }));
        PumpQueued();  // the sliders' first drawing
        Opened().clear();
    }

    void TearDown() override {
        dlg.reset();
        peer.reset();
        Scripts() = {};
        if (!dir_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(dir_, ignored);
        }
    }

    platform::ui::DialogWindow& Window() const { return dlg->Window(); }
    // What the control shows (an edit box's or label's text, a caption).
    std::string Text(int id) const { return Window().Text(id); }
    std::string Tip(int id) const { return ToolTip(*dlg, id); }
    bool Checked(int id) const { return Window().Check(id) == 1; }
    bool Enabled(int id) const { return Window().Enabled(id); }

    void SetText(int id, const std::string& text) { Type(*dlg, id, text); }
    void Click(int id) { testing_ui::Click(*dlg, id); }
    void MoveSlider(int id, int position) { testing_ui::MoveSlider(*dlg, id, position); }
    void Arrow(int upDown, bool up) { PressArrow(*dlg, upDown, up); }
    void SelectDecoder(int index) { Pick(*dlg, IDC_DECODER, index); }
    // Ticks or clears a check box by clicking it when needed.
    void Tick(int id, bool on) {
        if (Checked(id) != on) Click(id);
        EXPECT_EQ(Checked(id), on) << id;
    }

    void Connect(int decoder) {
        SelectDecoder(decoder);
        Click(IDC_CONNECT);
        ASSERT_TRUE(linkcore::Link().portOpen.load());
    }

    // Bytes the tool sent, up to n within ms; the windows' events are
    // delivered meanwhile.
    std::vector<std::uint8_t> Receive(std::size_t n, int ms = 3000) {
        std::vector<std::uint8_t> got;
        PumpUntil(
            [&] {
                const std::vector<std::uint8_t> some = peer->ReadSome(n - got.size(), 5);
                got.insert(got.end(), some.begin(), some.end());
                return got.size() >= n;
            },
            ms);
        return got;
    }

    // The test's scratch folder.
    const std::filesystem::path& dir() const { return dir_; }

    std::unique_ptr<CZonterDlg> dlg;
    std::unique_ptr<ControllerLine> peer;

private:
    void MakeScratchFolder() {
        std::random_device random;
        for (int attempt = 0; attempt < 100 && dir_.empty(); ++attempt) {
            const std::filesystem::path p =
                std::filesystem::temp_directory_path() / ("zonter-ui-" + std::to_string(random()));
            if (std::filesystem::create_directory(p)) dir_ = p;
        }
        ASSERT_FALSE(dir_.empty());
    }

    std::filesystem::path dir_;
};

}  // namespace testing_ui
