#include "ui/MonitorDlg.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>

#include "link/FrameTaps.h"
#include "link/LinkState.h"
#include "platform/NewFile.h"
#include "platform/SystemError.h"
#include "platform/ui/FormatText.h"
#include "protocols/Codecs.h"
#include "protocols/FrameText.h"
#include "res/DialogTemplates.h"
#include "res/MonitorStrings.h"
#include "res/Resource.h"

namespace {

using platform::ui::FormatText;
using platform::ui::ListRow;
using platform::ui::Notification;
using protocols::Direction;

constexpr int kDrainTimer = 1;
constexpr int kReplayTimer = 2;
// Four drains a second keep the list moving; each drain redraws the list,
// and the rings hold more than two seconds of the fastest line.
constexpr int kDrainMs = 250;
// The read-outs change at a pace a person reads: the counters and the
// status line twice a second, the chart once. Each redraw costs more than
// the drain itself.
constexpr std::int64_t kReadOutsEveryNs = 500'000'000;
constexpr std::int64_t kChartEveryNs = 1'000'000'000;
// A session log stops by itself beyond this many frames (about 70 MB).
constexpr std::size_t kMaxLogRows = 1'000'000;
// Replay files larger than this are refused: a capture is 32 KB, and a
// log of kMaxLogRows frames stays below it.
constexpr std::size_t kMaxReplayBytes = 128u << 20;

enum Column { kTime, kDelta, kDirection, kBytes, kDescrambled, kColumns };

std::string Hex(const std::uint8_t* bytes, std::size_t n) {
    std::string text = protocols::HexBytes(std::span<const std::uint8_t>(bytes, n));
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// A mark per run of changed bytes in a hex cell ("XX " per byte).
void MarkBytes(ListRow& row, int column, std::uint32_t changed, std::size_t n) {
    for (std::size_t i = 0; i < n;) {
        if (!(changed >> i & 1u)) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < n && (changed >> end & 1u)) ++end;
        row.marks.push_back({column, static_cast<int>(3 * i), static_cast<int>(3 * (end - i) - 1)});
        i = end;
    }
}

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool EndsWithNoCase(const std::string& text, const char* tail) {
    const std::size_t n = std::char_traits<char>::length(tail);
    if (text.size() < n) return false;
    return std::equal(text.end() - static_cast<std::ptrdiff_t>(n), text.end(), tail,
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

// The time one controller frame takes on the line at `speed` bit/s (ten
// bits a byte: start, eight data, stop).
double FrameMs(const protocols::Codec& codec, int speed) {
    if (speed <= 0) return 0;
    return static_cast<double>(codec.Info().rxFrameLength) * 10.0 * 1000.0 / speed;
}

}  // namespace

CMonitorDlg::CMonitorDlg(platform::ui::DialogBase* parent, linkcore::LinkState& link, ReplayDisplay& display)
    : DialogBase(res::MonitorDialogTemplate(), parent), link_(link), display_(display) {
    OnNotify(Notification::Clicked, IDC_MON_PAUSE, [this](int) { OnPauseClicked(); });
    OnNotify(Notification::Clicked, IDC_MON_LOG, [this](int) { OnLogClicked(); });
    OnNotify(Notification::Clicked, IDC_MON_OPEN, [this](int) { OnOpenClicked(); });
    OnNotify(Notification::Clicked, IDC_MON_BACK, [this](int) { OnBackClicked(); });
    OnNotify(Notification::Clicked, IDC_MON_FORWARD, [this](int) { OnForwardClicked(); });
    OnNotify(Notification::Clicked, IDC_MON_PLAY, [this](int) { OnPlayClicked(); });
}

CMonitorDlg::~CMonitorDlg() {
    EndReplayRead();
    StopListening();
}

bool CMonitorDlg::OnInitDialog() {
    DialogBase::OnInitDialog();
    const platform::ui::ListColumn columns[kColumns] = {
        {res::kColumnTime, 60},   {res::kColumnDelta, 30},        {res::kColumnDirection, 30},
        {res::kColumnBytes, 236}, {res::kColumnDescrambled, 176},
    };
    Window().SetListColumns(IDC_MON_LIST, columns);
    Window().SetKeyCommand(platform::ui::Key::Left, IDC_MON_BACK);
    Window().SetKeyCommand(platform::ui::Key::Right, IDC_MON_FORWARD);
    StartListening();
    ShowCounters();
    ShowChart();
    ShowStatus();
    return true;
}

void CMonitorDlg::OnCancel() {
    // Closing the monitor ends its listening and a reading; a running log
    // is written.
    EndReplayRead();
    if (logging_) StopLog();
    StopReplayPlay();
    StopListening();
    DialogBase::OnCancel();
}

void CMonitorDlg::OnDestroy() {
    EndReplayRead();
    if (logging_) StopLog();
    StopReplayPlay();
    StopListening();
}

void CMonitorDlg::StartListening() {
    if (listening_) return;
    linkcore::FrameTaps& taps = linkcore::StartTaps(link_);
    // What the rings held from an earlier opening is not this session's.
    for (linkcore::TapRing& ring : taps.rings) ring.Drain([](const protocols::TappedFrame&) {});
    const platform::LocalTime now = platform::LocalTimeNow();
    monoBaseNs_ = linkcore::MonotonicNs();
    store_.Begin(monoBaseNs_);
    wallBase_ = {static_cast<int>(now.year),       static_cast<int>(now.month),  static_cast<int>(now.day),
                 static_cast<int>(now.hour),       static_cast<int>(now.minute), static_cast<int>(now.second),
                 static_cast<int>(now.millisecond)};
    lostSeen_ = 0;
    for (const linkcore::TapRing& ring : taps.rings) lostSeen_ += ring.Overflows();
    listening_ = true;
    Window().SetTimer(kDrainTimer, kDrainMs);
}

void CMonitorDlg::StopListening() {
    if (!listening_) return;
    listening_ = false;
    linkcore::StopTaps(link_);
    Window().KillTimer(kDrainTimer);
}

void CMonitorDlg::OnTimer(int timerId) {
    if (timerId == kDrainTimer) {
        Drain();
    } else if (timerId == kReplayTimer) {
        StepReplay();
    }
}

void CMonitorDlg::Drain() {
    if (!listening_ || !link_.tapStore) return;
    bool added = false;
    for (std::size_t k = 0; k < link_.tapStore->rings.size(); ++k) {
        const bool capture = k == static_cast<std::size_t>(linkcore::WorkerKind::Capture);
        link_.tapStore->rings[k].Drain([&](const protocols::TappedFrame& t) {
            if (!store_.Add(t, capture)) return;
            added = true;
            if (logging_) AppendLogRow(store_.Row(store_.Size() - 1));
        });
    }
    if (logging_ && logRows_ >= kMaxLogRows) {
        StopLog();
        statusNote_ = FormatText(res::kLogFull, static_cast<unsigned long long>(kMaxLogRows)) + "; " + statusNote_;
    }
    if (added) ShowList();
    const std::int64_t now = linkcore::MonotonicNs();
    if (now - lastReadOutsNs_ >= kReadOutsEveryNs) {
        lastReadOutsNs_ = now;
        ShowCounters();
        ShowStatus();
    }
    ShowChart();
}

void CMonitorDlg::ShowList() {
    if (paused_) return;
    // Rows dropped beyond those the view had are rows it never showed.
    const std::uint64_t dropped = std::min<std::uint64_t>(store_.Dropped() - shownDropped_, shownRows_);
    shownDropped_ = store_.Dropped();
    shownRows_ = store_.Size();
    Window().SetListRowCount(IDC_MON_LIST, static_cast<int>(shownRows_), static_cast<int>(dropped));
}

ListRow CMonitorDlg::ListRowAt(int id, int row) const {
    ListRow out;
    if (id != IDC_MON_LIST || row < 0 || static_cast<std::size_t>(row) >= shownRows_) return out;
    // While paused the view keeps its rows; those the store dropped since
    // are gone from it.
    const std::uint64_t gone = store_.Dropped() - shownDropped_;
    if (static_cast<std::uint64_t>(row) < gone) return out;
    const std::size_t index = static_cast<std::size_t>(row - static_cast<int>(gone));
    if (index >= store_.Size()) return out;
    const monitor::FrameRow& r = store_.Row(index);

    const protocols::WallTime t = WallTimeOf(r.timeNs);
    out.cells.resize(kColumns);
    out.cells[kTime] = protocols::TimeOfDayText(((t.hour * 60LL + t.minute) * 60 + t.second) * 1000 + t.millisecond);
    out.cells[kDelta] = protocols::DeltaText(r.dtMs);
    out.cells[kDirection] = protocols::DirectionText(r.direction);
    out.cells[kBytes] = Hex(r.bytes.data(), r.length);
    MarkBytes(out, kBytes, r.changed, r.length);
    if (monitor::HasDescrambled(r)) {
        const auto descrambled = monitor::Descrambled(r);
        out.cells[kDescrambled] = Hex(descrambled.data(), r.length);
        MarkBytes(out, kDescrambled, r.changedDescrambled, r.length);
    }
    return out;
}

protocols::WallTime CMonitorDlg::WallTimeOf(std::int64_t timeNs) const {
    return protocols::WallTimeAfter(wallBase_, (timeNs - monoBaseNs_) / 1'000'000);
}

void CMonitorDlg::ShowCounters() {
    const std::int64_t now = linkcore::MonotonicNs();
    const auto text = [&](Direction d) {
        const protocols::DirectionCounters c = store_.Counters().Of(d, now);
        return FormatText(res::kCountersFormat, protocols::DirectionText(d), static_cast<unsigned long long>(c.frames),
                          c.framesPerSecond, c.minDtMs, c.meanDtMs, c.maxDtMs,
                          static_cast<unsigned long long>(c.timeOuts), static_cast<unsigned long long>(c.skippedBytes),
                          c.longestSilenceMs);
    };
    SetDlgItemText(IDC_MON_RX_COUNTERS, text(Direction::FromController));
    SetDlgItemText(IDC_MON_TX_COUNTERS, text(Direction::ToController));
}

void CMonitorDlg::ShowChart() {
    const std::int64_t now = linkcore::MonotonicNs();
    if (lastChartNs_ != 0 && now - lastChartNs_ < kChartEveryNs) return;
    lastChartNs_ = now;
    platform::ui::ChartData chart;
    chart.spanSeconds = static_cast<double>(monitor::kChartSpanNs) / 1e9;
    platform::ui::ChartSeries vt{res::kSeriesVt, 0, 1, {}, {}};
    platform::ui::ChartSeries p{res::kSeriesP, 0, 1, {}, {}};
    for (const monitor::ChartPoint& point : store_.Chart()) {
        const double x = static_cast<double>(point.timeNs - now) / 1e9;
        if (x < -chart.spanSeconds) continue;
        vt.x.push_back(x);
        vt.y.push_back(point.vt);
        p.x.push_back(x);
        p.y.push_back(point.p);
    }
    // Each series on a scale of its own, from 0 to a little above its
    // highest value, so that neither flattens the other.
    for (platform::ui::ChartSeries* s : {&vt, &p}) {
        double high = 1;
        for (double y : s->y) high = std::max(high, y);
        s->high = high * 1.1;
    }
    chart.series = {std::move(vt), std::move(p)};
    Window().SetChart(IDC_MON_CHART, chart);
}

void CMonitorDlg::SetStatus(std::string text) {
    statusNote_ = std::move(text);
    ShowStatus();
}

void CMonitorDlg::ShowStatus() {
    std::vector<std::string> parts;
    const monitor::CaptureProgress& capture = store_.Capture();
    if (capture.running) {
        const int left = monitor::CaptureSecondsLeft(capture, FrameMs(protocols::CaptureCodec(), link_.lineSpeed));
        parts.push_back(FormatText(res::kCaptureProgressFormat, capture.frames, left));
    } else if (capture.seen) {
        parts.push_back(FormatText(res::kCaptureEndedFormat, capture.frames));
    }
    if (link_.tapStore) {
        std::uint64_t lost = 0;
        for (const linkcore::TapRing& ring : link_.tapStore->rings) lost += ring.Overflows();
        if (lost > lostSeen_)
            parts.push_back(FormatText(res::kLostFormat, static_cast<unsigned long long>(lost - lostSeen_)));
    }
    if (logging_) parts.push_back(FormatText(res::kLogging, static_cast<unsigned long long>(logRows_)));
    if (!statusNote_.empty()) parts.push_back(statusNote_);
    std::string text;
    for (const std::string& part : parts) {
        if (!text.empty()) text += "   ";
        text += part;
    }
    SetDlgItemText(IDC_MON_STATUS, text);
}

void CMonitorDlg::OnPauseClicked() {
    paused_ = Window().Check(IDC_MON_PAUSE) == 1;
    if (!paused_) ShowList();
}

// ----- session log ---------------------------------------------------------

void CMonitorDlg::OnLogClicked() {
    if (logging_) {
        StopLog();
        return;
    }
    const platform::LocalTime now = platform::LocalTimeNow();
    platform::ui::FileQuestion question;
    question.save = true;
    question.title = res::kSaveQuestion;
    question.filterName = res::kLogFilter;
    question.patterns = {"*.csv"};
    question.proposedName = FormatText("журнал-%02u%02u-%02u%02u.csv", now.month, now.day, now.hour, now.minute);
    std::string path = AskFileName(question);
    if (path.empty()) return;
    if (!EndsWithNoCase(path, ".csv")) path += ".csv";

    logging_ = true;
    logPath_ = path;
    logText_ = protocols::SessionCsvHeader();
    logRows_ = 0;
    // Every frame the list holds, then those that keep coming.
    for (std::size_t i = 0; i < store_.Size(); ++i) AppendLogRow(store_.Row(i));
    SetDlgItemText(IDC_MON_LOG, res::kLogStop);
    statusNote_.clear();
    ShowStatus();
}

void CMonitorDlg::AppendLogRow(const monitor::FrameRow& row) {
    protocols::SessionRow out;
    out.time = WallTimeOf(row.timeNs);
    out.direction = row.direction;
    out.dtMs = row.dtMs;
    out.bytes.assign(row.bytes.begin(), row.bytes.begin() + row.length);
    out.vt = row.vt;
    out.p = row.p;
    logText_ += protocols::SessionCsvLine(out);
    ++logRows_;
}

void CMonitorDlg::StopLog() {
    if (!logging_) return;
    logging_ = false;
    SetDlgItemText(IDC_MON_LOG, res::kLogStart);

    const std::size_t slash = logPath_.find_last_of("/\\");
    const std::string dir = slash == std::string::npos ? std::string() : logPath_.substr(0, slash);
    const std::string name = slash == std::string::npos ? logPath_ : logPath_.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
    // The same rule as for captures: never over a file that exists, but
    // under the next free "-2", "-3", ... name.
    const platform::NewFileResult written = platform::WriteNewFile(
        dir, [&](int n) { return n < 2 ? name : stem + "-" + std::to_string(n) + ext; }, logText_);
    if (written.written) {
        statusNote_ =
            FormatText(res::kLogWrittenFormat, written.name.c_str(), static_cast<unsigned long long>(logRows_));
    } else if (!written.kept.empty()) {
        statusNote_ = FormatText(res::kLogKeptFormat, written.name.c_str(), written.kept.c_str(),
                                 platform::SystemErrorText(written.error).c_str());
    } else {
        statusNote_ =
            FormatText(res::kLogFailedFormat, written.name.c_str(), platform::SystemErrorText(written.error).c_str());
    }
    logText_.clear();
    logText_.shrink_to_fit();
    ShowStatus();
}

// ----- replay --------------------------------------------------------------

void CMonitorDlg::OnOpenClicked() {
    if (reading_) {
        CancelReplayRead();
        return;
    }
    platform::ui::FileQuestion question;
    question.title = res::kOpenQuestion;
    question.filterName = res::kFileFilter;
    question.patterns = {"*.txt", "*.csv"};
    const std::string path = AskFileName(question);
    if (!path.empty()) OpenReplay(path);
}

bool CMonitorDlg::OpenReplay(const std::string& path) {
    if (reading_) return false;
    const monitor::ReplayKind kind =
        EndsWithNoCase(path, ".csv") ? monitor::ReplayKind::SessionLog : monitor::ReplayKind::Capture;
    const protocols::Codec& capturing = protocols::CaptureCodec();
    const double captureFrameMs = FrameMs(capturing, static_cast<int>(capturing.Info().connect.speed));
    reading_ = true;
    readName_ = FileNameOf(path);
    const unsigned number = ++readNumber_;
    stopRead_.store(false);
    SetDlgItemText(IDC_MON_OPEN, res::kOpenCancel);
    SetStatus(FormatText(res::kReplayReadingFormat, readName_.c_str(), 0));
    // The worker only reads the file, and posts the progress (at each
    // whole percent) and the outcome to the dialog.
    reader_.Start([this, path, kind, captureFrameMs, number] {
        int shown = 0;
        auto read = std::make_shared<monitor::ReplayRead>(monitor::ReadReplayFile(
            path, kind, kMaxReplayBytes, captureFrameMs, [&](std::size_t done, std::size_t size) {
                if (stopRead_.load()) return false;
                const int percent = static_cast<int>(done * 100 / size);
                if (percent != shown) {
                    shown = percent;
                    PostToDialog([this, number, percent] { ShowReadProgress(number, percent); });
                }
                return true;
            }));
        PostToDialog([this, number, read] { FinishReplayRead(number, std::move(*read)); });
    });
    return true;
}

void CMonitorDlg::ShowReadProgress(unsigned reading, int percent) {
    if (!reading_ || reading != readNumber_) return;
    SetStatus(FormatText(res::kReplayReadingFormat, readName_.c_str(), percent));
}

void CMonitorDlg::CancelReplayRead() {
    if (!reading_) return;
    EndReplayRead();
    SetStatus(FormatText(res::kReplayCancelledFormat, readName_.c_str()));
}

// Stops the worker and waits for it: it stops within one progress step.
void CMonitorDlg::EndReplayRead() {
    if (!reading_) return;
    stopRead_.store(true);
    reader_.Join();
    reading_ = false;
    SetDlgItemText(IDC_MON_OPEN, res::kOpenStart);
}

void CMonitorDlg::FinishReplayRead(unsigned reading, monitor::ReplayRead read) {
    if (!reading_ || reading != readNumber_) return;
    EndReplayRead();
    const char* name = readName_.c_str();
    if (!read.opened) {
        SetStatus(
            FormatText(res::kReplayOpenFailedFormat, name,
                       read.tooLarge ? "файл слишком велик" : platform::SystemErrorText(read.systemError).c_str()));
        return;
    }
    if (read.error) {
        SetStatus(FormatText(res::kReplayBadLineFormat, name, read.error->line, read.error->message.c_str()));
        return;
    }
    if (read.frames.empty()) {
        SetStatus(FormatText(res::kReplayEmpty, name));
        return;
    }

    StopReplayPlay();
    replay_ = std::move(read.frames);
    replayName_ = readName_;
    replayIndex_ = 0;
    statusNote_.clear();
    ShowReplayFrame();
    EnableReplayControls();
    ShowStatus();
}

void CMonitorDlg::ShowReplayFrame() {
    if (replayIndex_ >= replay_.size()) return;
    display_.ShowReplayedFrame(replay_[replayIndex_].bytes);
    SetDlgItemText(IDC_MON_REPLAY, FormatText(res::kReplayPositionFormat, replayName_.c_str(),
                                              static_cast<unsigned long long>(replayIndex_ + 1),
                                              static_cast<unsigned long long>(replay_.size())));
    EnableReplayControls();
}

void CMonitorDlg::EnableReplayControls() {
    const bool loaded = !replay_.empty();
    EnableControl(IDC_MON_BACK, loaded && replayIndex_ > 0);
    EnableControl(IDC_MON_FORWARD, loaded && replayIndex_ + 1 < replay_.size());
    EnableControl(IDC_MON_PLAY, loaded && (replayPlaying_ || replayIndex_ + 1 < replay_.size()));
}

void CMonitorDlg::OnBackClicked() {
    if (replay_.empty() || replayIndex_ == 0) return;
    StopReplayPlay();
    --replayIndex_;
    ShowReplayFrame();
}

void CMonitorDlg::OnForwardClicked() {
    if (replay_.empty() || replayIndex_ + 1 >= replay_.size()) return;
    StopReplayPlay();
    ++replayIndex_;
    ShowReplayFrame();
}

void CMonitorDlg::OnPlayClicked() {
    if (replayPlaying_) {
        StopReplayPlay();
        return;
    }
    if (replay_.empty() || replayIndex_ + 1 >= replay_.size()) return;
    replayPlaying_ = true;
    replayStart_ = {replayIndex_, linkcore::MonotonicNs()};
    SetDlgItemText(IDC_MON_PLAY, res::kPlayStop);
    StepReplay();
}

void CMonitorDlg::StepReplay() {
    if (!replayPlaying_) {
        Window().KillTimer(kReplayTimer);
        return;
    }
    // Every frame whose time has come is shown, each once and in order: a
    // late tick catches up rather than shifting the rest of the replay.
    const monitor::ReplayDue due = monitor::DueFrames(replay_, replayStart_, replayIndex_, linkcore::MonotonicNs());
    while (replayIndex_ < due.last) {
        ++replayIndex_;
        ShowReplayFrame();
    }
    if (due.waitNs < 0) {
        StopReplayPlay();
        return;
    }
    Window().SetTimer(kReplayTimer, monitor::TimerMsFor(due.waitNs));
}

void CMonitorDlg::StopReplayPlay() {
    if (!replayPlaying_) return;
    replayPlaying_ = false;
    Window().KillTimer(kReplayTimer);
    SetDlgItemText(IDC_MON_PLAY, res::kPlay);
    EnableReplayControls();
}
