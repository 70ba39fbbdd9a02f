#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/WorkerThread.h"
#include "platform/ui/DialogBase.h"
#include "protocols/Frames.h"
#include "protocols/SessionCsv.h"
#include "ui/MonitorStore.h"
#include "ui/ReplayFile.h"
#include "ui/ReplayPace.h"

namespace linkcore {
struct LinkState;
}

// Where replayed controller frames are shown: the main window's raw and
// decoded lines and its V/T and P, through its selected decoder.
class ReplayDisplay {
public:
    virtual void ShowReplayedFrame(protocols::ConstRxFrameSpan raw) = 0;

protected:
    ~ReplayDisplay() = default;
};

// The line monitor: a modeless window listing every frame on the line with
// its time, the link counters, a strip chart of V/T and P, the capture's
// progress, a session log and the replay of captures and logs. It listens
// to the workers' taps only while it is open, and drains them on a timer.
class CMonitorDlg : public platform::ui::DialogBase {
public:
    CMonitorDlg(platform::ui::DialogBase* parent, linkcore::LinkState& link, ReplayDisplay& display);
    ~CMonitorDlg() override;

    // Drains the taps now, as the timer does (tests drive it directly).
    void Drain();

    // Handlers (public so that tests can drive them as the controls do).
    void OnPauseClicked();
    void OnLogClicked();
    void OnOpenClicked();
    void OnBackClicked();
    void OnForwardClicked();
    void OnPlayClicked();

    // Starts reading a capture file or session log for replay, on a worker;
    // false while another is being read. Meanwhile the status line shows
    // the progress and "Открыть запись…" reads "Отмена"; the replay changes
    // once the file has been read whole. A file that cannot be used leaves
    // it as it was, and the status line says why, naming the line.
    bool OpenReplay(const std::string& path);
    // Stops the reading: the replay stays as it was.
    void CancelReplayRead();
    // Stops a running log and writes it; the status line tells the outcome.
    void StopLog();

    const monitor::MonitorStore& Store() const { return store_; }
    bool Logging() const { return logging_; }
    std::size_t ReplayPosition() const { return replayIndex_; }
    std::size_t ReplayFrames() const { return replay_.size(); }
    bool ReadingReplay() const { return reading_; }

protected:
    bool OnInitDialog() override;
    void OnCancel() override;
    void OnDestroy() override;
    void OnTimer(int timerId) override;
    platform::ui::ListRow ListRowAt(int id, int row) const override;

private:
    void StartListening();
    void StopListening();
    void ShowList();
    void ShowCounters();
    void ShowChart();
    void ShowStatus();
    void SetStatus(std::string text);
    void AppendLogRow(const monitor::FrameRow& row);
    protocols::WallTime WallTimeOf(std::int64_t timeNs) const;
    void ShowReadProgress(unsigned reading, int percent);
    void FinishReplayRead(unsigned reading, monitor::ReplayRead read);
    void EndReplayRead();
    void ShowReplayFrame();
    void StepReplay();
    void StopReplayPlay();
    void EnableReplayControls();

    linkcore::LinkState& link_;
    ReplayDisplay& display_;
    monitor::MonitorStore store_;
    bool listening_ = false;

    // The wall clock at the taps' time base, taken when listening began.
    protocols::WallTime wallBase_{};
    std::int64_t monoBaseNs_ = 0;

    // The list's view: while paused it keeps the rows it had; rows the
    // store dropped since then read as empty.
    bool paused_ = false;
    std::size_t shownRows_ = 0;
    std::uint64_t shownDropped_ = 0;  // the store's Dropped() when the view was last set

    std::uint64_t lostSeen_ = 0;
    std::int64_t lastChartNs_ = 0;
    std::int64_t lastReadOutsNs_ = 0;
    std::string statusNote_;  // the last outcome (log written, replay error, ...)

    bool logging_ = false;
    std::string logPath_;
    std::string logText_;
    std::size_t logRows_ = 0;

    std::string replayName_;
    std::vector<monitor::ReplayFrame> replay_;
    std::size_t replayIndex_ = 0;
    bool replayPlaying_ = false;
    monitor::ReplayStart replayStart_;  // of the running play

    // The reading of a replay file. Its worker stops when `stopRead_` is
    // set; what it posts for an earlier reading than `readNumber_`, or
    // after a stop, is dropped.
    bool reading_ = false;
    unsigned readNumber_ = 0;
    std::string readName_;
    std::atomic<bool> stopRead_{false};
    platform::WorkerThread reader_;  // last: joined before the rest goes
};
