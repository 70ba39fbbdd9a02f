// The line monitor window: opened from the window menu, it lists the
// frames the workers tap, writes a session log beside any file of the same
// name, and replays captures and logs into the main window.
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "link/FrameTaps.h"
#include "platform/WorkerThread.h"
#include "protocols/Catalogue.h"
#include "protocols/FrameText.h"
#include "protocols/SessionCsv.h"
#include "tests/support/ControllerFrames.h"
#include "tests/ui/DialogHarness.h"
#include "workers/CaptureFile.h"
#include "workers/RunControl.h"

namespace testing_ui {
namespace {

namespace fs = std::filesystem;

class Monitor : public DialogHarness {
protected:
    CMonitorDlg& Open() {
        dlg->OnSysCommand(CMD_LINE_MONITOR, 0);
        PumpQueued();
        EXPECT_NE(dlg->LineMonitor(), nullptr);
        return *dlg->LineMonitor();
    }
    std::string MonitorText(int id) { return dlg->LineMonitor()->Window().Text(id); }
    // Opens a file for replay and waits until it has been read.
    bool Replay(CMonitorDlg& m, const fs::path& path) {
        return m.OpenReplay(Utf8Of(path)) && PumpUntil([&] { return !m.ReadingReplay(); });
    }
    // Answers the next file dialog with `path`, as a user typing it would.
    void AnswerFileDialog(const std::string& path) {
        Scripts().fileQuestion = [path](const platform::ui::FileQuestion&) {
            const std::string answer = path;
            Scripts().fileQuestion = nullptr;
            return answer;
        };
    }
};

TEST_F(Monitor, ListensOnlyWhileOpenAndListsTheFramesRead) {
    EXPECT_EQ(linkcore::Link().taps.load(), nullptr);
    CMonitorDlg& m = Open();
    EXPECT_NE(linkcore::Link().taps.load(), nullptr);
    EXPECT_TRUE(m.Window().TimerRunning(1));

    Connect(protocols::kHaltenRs);
    Click(IDC_READ_AUTO);
    ASSERT_TRUE(peer->Write(testing_support::Concat({{0x00, 0x11},
                                                     testing_support::HaltenKeyedFrame(1),
                                                     testing_support::HaltenKeyedFrame(2),
                                                     testing_support::HaltenKeyedFrame(3)})));
    ASSERT_TRUE(PumpUntil([&] {
        m.Drain();
        return m.Store().Size() >= 3;
    }));
    EXPECT_EQ(m.Window().ListRowCount(IDC_MON_LIST), 3);
    const platform::ui::ListRow row = m.WindowListRow(IDC_MON_LIST, 1);
    ASSERT_EQ(row.cells.size(), 5u);
    EXPECT_EQ(row.cells[2], "КМ→");
    EXPECT_EQ(row.cells[3], protocols::HexBytes(testing_support::HaltenKeyedFrame(2)).substr(0, 44));
    EXPECT_FALSE(row.marks.empty());
    EXPECT_EQ(m.Store().Counters().Of(protocols::Direction::FromController, linkcore::MonotonicNs()).skippedBytes, 2u);

    // Paused, the view keeps its rows while frames are still collected.
    m.Window().SetCheck(IDC_MON_PAUSE, 1);
    m.OnPauseClicked();
    ASSERT_TRUE(peer->Write(testing_support::HaltenKeyedFrame(4)));
    ASSERT_TRUE(PumpUntil([&] {
        m.Drain();
        return m.Store().Size() >= 4;
    }));
    EXPECT_EQ(m.Window().ListRowCount(IDC_MON_LIST), 3);
    m.Window().SetCheck(IDC_MON_PAUSE, 0);
    m.OnPauseClicked();
    EXPECT_EQ(m.Window().ListRowCount(IDC_MON_LIST), 4);

    // Closed, it stops listening and its timer.
    m.Notify(platform::ui::Notification::Clicked, platform::ui::DialogBase::kIdCancel);
    PumpQueued();
    EXPECT_FALSE(m.IsVisible());
    EXPECT_EQ(linkcore::Link().taps.load(), nullptr);
    EXPECT_FALSE(m.Window().TimerRunning(1));
}

TEST_F(Monitor, TheLogNeverReplacesAFileAndHoldsEveryListedFrame) {
    CMonitorDlg& m = Open();
    Connect(protocols::kHaltenRs);
    Click(IDC_READ_AUTO);
    ASSERT_TRUE(peer->Write(
        testing_support::Concat({testing_support::HaltenKeyedFrame(1), testing_support::HaltenKeyedFrame(2)})));
    ASSERT_TRUE(PumpUntil([&] {
        m.Drain();
        return m.Store().Size() >= 2;
    }));
    const fs::path taken = dir() / u8"сессия.csv";
    std::ofstream(taken) << "keep";
    AnswerFileDialog(Utf8Of(taken));
    m.OnLogClicked();
    ASSERT_TRUE(m.Logging());
    ASSERT_TRUE(peer->Write(testing_support::HaltenKeyedFrame(3)));
    ASSERT_TRUE(PumpUntil([&] {
        m.Drain();
        return m.Store().Size() >= 3;
    }));
    m.OnLogClicked();
    EXPECT_FALSE(m.Logging());

    EXPECT_EQ(ReadAll(taken), "keep");
    const fs::path written = dir() / u8"сессия-2.csv";
    ASSERT_TRUE(fs::exists(written));
    const protocols::SessionReadResult log = protocols::ReadSessionCsv(ReadAll(written));
    ASSERT_FALSE(log.error) << log.error->message;
    ASSERT_EQ(log.rows.size(), 3u);
    EXPECT_EQ(log.rows[2].bytes, testing_support::HaltenKeyedFrame(3));
    EXPECT_TRUE(log.rows[2].vt.has_value());
    EXPECT_NE(MonitorText(IDC_MON_STATUS).find("сессия-2.csv"), std::string::npos) << MonitorText(IDC_MON_STATUS);
}

TEST_F(Monitor, ReplaysACaptureIntoTheMainWindowAndRefusesAMalformedFile) {
    CMonitorDlg& m = Open();
    SelectDecoder(protocols::kHaltenRs);
    std::array<std::uint8_t, workers::kCaptureBytes> frames{};
    for (int k = 0; k < workers::kCaptureFrames; ++k) {
        const auto f = testing_support::HaltenKeyedFrame(static_cast<std::uint8_t>(k));
        std::copy(f.begin(), f.end(), frames.begin() + k * 15);
    }
    const std::string text = workers::CaptureFileText(frames, {2026, 12, 9, 16, 37});
    const fs::path capture = dir() / u8"km12091637.txt";
    std::ofstream(capture, std::ios::binary) << text;

    ASSERT_TRUE(Replay(m, capture));
    EXPECT_EQ(m.ReplayFrames(), 600u);
    EXPECT_EQ(Text(IDC_RAW_IN), protocols::HexBytes(testing_support::HaltenKeyedFrame(0)));
    EXPECT_FALSE(m.Window().Enabled(IDC_MON_BACK));
    m.OnForwardClicked();
    EXPECT_EQ(m.ReplayPosition(), 1u);
    EXPECT_EQ(Text(IDC_RAW_IN), protocols::HexBytes(testing_support::HaltenKeyedFrame(1)));
    EXPECT_NE(MonitorText(IDC_MON_REPLAY).find("кадр 2 из 600"), std::string::npos) << MonitorText(IDC_MON_REPLAY);

    // Line 5 of a broken copy: the message names it, and nothing changes.
    std::string broken = text;
    std::size_t at = 0;
    for (int line = 1; line < 5; ++line) at = broken.find("\r\n", at) + 2;
    broken[at] = 'Z';
    const fs::path bad = dir() / u8"km12091638.txt";
    std::ofstream(bad, std::ios::binary) << broken;
    ASSERT_TRUE(Replay(m, bad));
    EXPECT_NE(MonitorText(IDC_MON_STATUS).find("строка 5"), std::string::npos) << MonitorText(IDC_MON_STATUS);
    EXPECT_EQ(m.ReplayFrames(), 600u);
    EXPECT_EQ(m.ReplayPosition(), 1u);
    EXPECT_EQ(Text(IDC_RAW_IN), protocols::HexBytes(testing_support::HaltenKeyedFrame(1)));
}

// A log of `rows` rows, 125 ms apart: every fourth a display frame, the
// others the controller's.
std::string LogText(int rows) {
    std::string text = protocols::SessionCsvHeader();
    for (int k = 0; k < rows; ++k) {
        const bool display = k % 4 == 3;
        const std::vector<std::uint8_t> bytes = testing_support::HaltenKeyedFrame(static_cast<std::uint8_t>(k));
        text += protocols::SessionCsvLine(
            {protocols::WallTimeAfter({2026, 12, 9, 16, 37, 28, 123}, 125 * k),
             display ? protocols::Direction::ToController : protocols::Direction::FromController, 125.0, bytes,
             display ? std::nullopt : std::optional<int>(k), 7});
    }
    return text;
}

// The percent a reading's status line shows; -1 when it shows none.
int ReadingPercent(const std::string& status, const std::string& name) {
    const std::string lead = "Чтение " + name + ": ";
    const std::size_t at = status.find(lead);
    if (at == std::string::npos) return -1;
    return std::atoi(status.c_str() + at + lead.size());
}

TEST_F(Monitor, ReadsALogOnAWorkerThatTheButtonOrClosingTheMonitorStops) {
    CMonitorDlg& m = Open();
    SelectDecoder(protocols::kHaltenRs);
    const fs::path small = dir() / u8"журнал-1209-1637.csv";
    std::ofstream(small, std::ios::binary) << LogText(8);
    ASSERT_TRUE(Replay(m, small));
    EXPECT_EQ(m.ReplayFrames(), 6u);  // the display's frames are not replayed
    m.OnForwardClicked();
    m.OnForwardClicked();
    m.OnForwardClicked();
    EXPECT_EQ(Text(IDC_RAW_IN), protocols::HexBytes(testing_support::HaltenKeyedFrame(4)));

    // Far larger than one progress step, so that the reading is still on
    // when its first progress shows.
    std::string big = protocols::SessionCsvHeader();
    const std::string line = LogText(1).substr(big.size());
    big.reserve(big.size() + 200'000 * line.size());
    for (int k = 0; k < 200'000; ++k) big += line;
    const fs::path bigPath = dir() / u8"км-большой.csv";
    std::ofstream(bigPath, std::ios::binary) << big;
    const std::string bigName = Utf8Of(bigPath.filename());
    const int workers = platform::WorkerThread::LiveCount();

    ASSERT_TRUE(m.OpenReplay(Utf8Of(bigPath)));
    EXPECT_TRUE(m.ReadingReplay());
    EXPECT_EQ(MonitorText(IDC_MON_OPEN), "Отмена");
    EXPECT_FALSE(m.OpenReplay(Utf8Of(small)));  // one reading at a time
    ASSERT_TRUE(PumpUntil([&] { return ReadingPercent(MonitorText(IDC_MON_STATUS), bigName) > 0; }))
        << MonitorText(IDC_MON_STATUS);
    ASSERT_TRUE(m.ReadingReplay()) << "read whole before its first progress showed";
    m.Notify(platform::ui::Notification::Clicked, IDC_MON_OPEN);
    EXPECT_FALSE(m.ReadingReplay());
    EXPECT_EQ(platform::WorkerThread::LiveCount(), workers);
    PumpQueued();  // what the worker posted before it stopped
    EXPECT_EQ(MonitorText(IDC_MON_OPEN), "Открыть запись…");
    EXPECT_NE(MonitorText(IDC_MON_STATUS).find("Чтение " + bigName + " отменено"), std::string::npos)
        << MonitorText(IDC_MON_STATUS);
    EXPECT_EQ(m.ReplayFrames(), 6u);
    EXPECT_EQ(m.ReplayPosition(), 3u);
    EXPECT_EQ(Text(IDC_RAW_IN), protocols::HexBytes(testing_support::HaltenKeyedFrame(4)));

    // Closing the monitor stops a reading and waits for its worker.
    ASSERT_TRUE(m.OpenReplay(Utf8Of(bigPath)));
    m.Notify(platform::ui::Notification::Clicked, platform::ui::DialogBase::kIdCancel);
    EXPECT_FALSE(m.ReadingReplay());
    EXPECT_EQ(platform::WorkerThread::LiveCount(), workers);
    PumpQueued();
    EXPECT_EQ(m.ReplayFrames(), 6u);
}

}  // namespace
}  // namespace testing_ui
