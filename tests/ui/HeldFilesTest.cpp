// Captures and session logs that another program holds for a moment just
// after they are written: the move into place is tried again for a
// bounded time, and contents that still cannot be placed are kept whole
// and named in the line, with the system's reason. The system's answers
// are played through the file calls' seam; each system gives its rows.
#include <filesystem>

#include "platform/SystemError.h"
#include "protocols/CaptureReader.h"
#include "protocols/SessionCsv.h"
#include "tests/support/ControllerFrames.h"
#include "tests/support/ScriptedFiles.h"
#include "tests/ui/DialogHarness.h"
#include "tests/ui/HeldFileRows.h"

namespace testing_ui {
namespace {

namespace fs = std::filesystem;
using testing_support::ScriptedFiles;

constexpr const char* kKeptMark = "-временный";

std::vector<std::string> NamesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) {
        const std::u8string name = e.path().filename().u8string();
        names.emplace_back(name.begin(), name.end());
    }
    return names;
}

fs::path PathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

class HeldFiles : public DialogHarness {
protected:
    // A folder of the row's own.
    fs::path RowFolder(std::size_t row) {
        const fs::path folder = dir() / ("row" + std::to_string(row));
        fs::create_directory(folder);
        return folder;
    }

    // The one file the row left in `folder`, checked against the row: its
    // name begins with `intendedPrefix`, and `line`, what the window says,
    // begins a failure with `failedPrefix`.
    static void CheckOutcome(const HeldFileRow& row, const ScriptedFiles& files, const fs::path& folder,
                             const std::string& line, const std::string& intendedPrefix, const char* failedPrefix) {
        const std::vector<std::string> names = NamesIn(folder);
        ASSERT_EQ(names.size(), 1u) << "the contents are in one file, and no other is left";
        const std::string& name = names[0];
        const bool kept = row.outcome != Held::Placed;
        // The tries into place, paced and bounded (a stop ends the first
        // wait and the tries), then one to a name that shows.
        const int tries = row.outcome == Held::Placed ? row.refusals + 1 : row.stopWhileWaiting ? 1 : kHeldTries;
        EXPECT_EQ(files.Pauses(), row.stopWhileWaiting ? 1 : tries - 1);
        EXPECT_EQ(files.Moves(), tries + (kept ? 1 : 0));
        EXPECT_LE(files.Pauses() * platform::kHeldRetryPaceMs, platform::kHeldRetryMs);
        switch (row.outcome) {
            case Held::Placed:
                EXPECT_TRUE(name.starts_with(intendedPrefix)) << name;
                EXPECT_EQ(name.find(kKeptMark), std::string::npos) << name;
                EXPECT_FALSE(line.starts_with(failedPrefix)) << line;
                return;
            case Held::KeptVisible:
                EXPECT_TRUE(name.starts_with(intendedPrefix)) << name;
                EXPECT_NE(name.find(kKeptMark), std::string::npos) << name;
                break;
            case Held::KeptTemporary:
                EXPECT_TRUE(name.starts_with("." + intendedPrefix) && name.ends_with(".tmp")) << name;
                break;
        }
        std::string intended = name;
        if (const std::size_t mark = intended.find(kKeptMark); mark != std::string::npos) {
            intended.erase(mark, std::string(kKeptMark).size());
        } else {
            intended = intended.substr(1, intended.find('.', intended.find('.', 1) + 1) - 1);
        }
        const std::string told =
            std::string(failedPrefix) + intended + ", данные в " + name + ": " + platform::SystemErrorText(row.error);
        EXPECT_NE(line.find(told), std::string::npos) << line;
    }
};

TEST_F(HeldFiles, ACaptureIsPlacedWhenLetGoOrKeptWholeAndNamed) {
    const fs::path oldDir = fs::current_path();
    Connect(1);
    std::vector<std::uint8_t> all;
    for (int k = 0; k < 600; ++k) {
        const auto f = testing_support::HaltenLineFrame({0, static_cast<std::uint8_t>(k % 3 == 0 ? 0 : 5)}, 1);
        all.insert(all.end(), f.begin(), f.end());
    }
    const std::vector<HeldFileRow>& rows = HeldFileRows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const HeldFileRow& row = rows[i];
        SCOPED_TRACE(row.source);
        const fs::path folder = RowFolder(i);
        fs::current_path(folder);
        ScriptedFiles files(row.error, row.refusals, [&row]() -> std::function<void()> {
            if (!row.stopWhileWaiting) return {};
            return [] { linkcore::Link().Slot(WorkerKind::Capture).stop->Set(); };
        }());
        Click(IDC_CAPTURE);
        EXPECT_FALSE(Enabled(IDC_CAPTURE));
        ASSERT_TRUE(peer->Write(all));
        // The worker has ended and its last word has reached the window.
        const bool ended =
            PumpUntil([&] { return !WorkerRunning(WorkerKind::Capture) && Enabled(IDC_CAPTURE); }, 20000);
        PumpQueued();
        fs::current_path(oldDir);
        ASSERT_TRUE(ended);
        EXPECT_EQ(Text(IDC_COUNTER) == "300/600 пак. зап.", row.outcome == Held::Placed) << Text(IDC_COUNTER);
        CheckOutcome(row, files, folder, Text(IDC_STATE), "km", "Не удалось записать ");
        // Wherever it is, the capture is whole.
        const std::vector<std::string> names = NamesIn(folder);
        if (names.size() != 1) continue;
        const protocols::CaptureReadResult read = protocols::ReadCaptureFile(ReadAll(folder / PathOf(names[0])));
        EXPECT_FALSE(read.error);
        EXPECT_EQ(read.frames.size(), 600u);
    }
}

TEST_F(HeldFiles, ALogIsPlacedWhenLetGoOrKeptWholeAndNamed) {
    dlg->OnSysCommand(CMD_LINE_MONITOR, 0);
    PumpQueued();
    CMonitorDlg& m = *dlg->LineMonitor();
    const std::vector<HeldFileRow>& rows = HeldFileRows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const HeldFileRow& row = rows[i];
        if (row.stopWhileWaiting) continue;  // the dialog's own thread writes the log: nothing stops it
        SCOPED_TRACE(row.source);
        const fs::path folder = RowFolder(i);
        ScriptedFiles files(row.error, row.refusals);
        const std::string path = Utf8Of(folder / fs::path(u8"журнал.csv"));
        Scripts().fileQuestion = [path](const platform::ui::FileQuestion&) { return path; };
        m.OnLogClicked();
        Scripts().fileQuestion = nullptr;
        ASSERT_TRUE(m.Logging());
        m.OnLogClicked();
        ASSERT_FALSE(m.Logging());
        const std::string line = m.Window().Text(IDC_MON_STATUS);
        EXPECT_TRUE(row.outcome != Held::Placed || line.find("Журнал записан: журнал.csv") != std::string::npos)
            << line;
        CheckOutcome(row, files, folder, line, "журнал", "Не удалось записать журнал ");
        const std::vector<std::string> names = NamesIn(folder);
        if (names.size() == 1) {
            EXPECT_EQ(ReadAll(folder / PathOf(names[0])), protocols::SessionCsvHeader());
        }
    }
}

}  // namespace
}  // namespace testing_ui
