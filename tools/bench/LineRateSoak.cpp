// Line-rate soak: the dialog (offscreen) reads continuously with the
// display simulation on, for some minutes, while a controller keeps the
// line full at 1200 bit/s (Halten RS), 9600 bit/s (Kugoo M) or 115200 bit/s
// (Halten RS, speed set as the line-speed dialog does). The controller is
// zonter-kmsim for the protocols' own speeds and zonter-bench-linepeer for
// 115200 bit/s, each a child process, so that this process's CPU time is
// the tool's alone. Figures: frames lost (the controller's count against
// the tool's), whether the counter line always stepped as it should, CPU
// use per minute and resident memory.
#include <QApplication>
#include <QTimer>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <mutex>

#include "link/FrameTaps.h"
#include "link/LinkState.h"
#include "link/PortOps.h"
#include "link/RefreshCodes.h"
#include "protocols/Catalogue.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "tools/bench/support/BenchDialog.h"
#include "tools/bench/support/ChildProcess.h"
#include "tools/bench/support/Clock.h"
#include "tools/bench/support/LineFrames.h"
#include "tools/bench/support/Machine.h"
#include "tools/bench/support/PortSandbox.h"
#include "tools/bench/support/Results.h"
#include "tools/bench/support/Stats.h"
#include "tools/bench/support/Usage.h"
#include "tools/bench/support/WakeCost.h"

namespace {

using bench::Clock;

constexpr long kRssTargetKiB = 60 * 1024;

struct SoakCase {
    const char* label;
    int speed;
    protocols::ProtocolIndex protocol;
    bool kmsim;                            // else the line peer
    protocols::ProtocolIndex connectWith;  // a decoder whose speed keeps the controller quiet
    double cpuTargetPercent;               // of a core, per minute
};

// Frames that fill `minutes` of a full line.
std::uint64_t FramesFor(const SoakCase& c, double minutes) {
    const double frameSeconds = static_cast<double>(bench::ControllerFrameLength(c.protocol)) * 10 / c.speed;
    return static_cast<std::uint64_t>(minutes * 60 / frameSeconds) / 10 * 10;
}

QString CounterTextFor(int status) {
    if (status == linkcore::kStatusNothing) return {};
    if (status == linkcore::kStatusTimeOut) return QString::fromUtf8(res::kTimeOut);
    if (status == linkcore::kStatusCaptureWritten) return QString::fromUtf8(res::kCaptureWritten);
    return QString::number(status);
}

// Follows the counter line: each refresh of a continuous read must show
// the previous count plus the refresh interval, and a time-out only once
// the controller has gone.
class CounterCheck {
public:
    explicit CounterCheck(int step) : step_(step) {}

    // Worker thread, as the refresh is asked for.
    void Asked(int status) {
        std::lock_guard<std::mutex> lock(mutex_);
        asked_ = status;
        if (status > 0) {
            if (status != last_ + step_) ++badSteps_;
            last_ = status;
            ++refreshes_;
        } else if (status == linkcore::kStatusTimeOut) {
            ++timeOuts_;
        }
    }

    // Dialog thread, once the refresh was drawn; true at a time-out.
    bool Shown(const QString& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (text != CounterTextFor(asked_)) ++badTexts_;
        return asked_ == linkcore::kStatusTimeOut;
    }

    int last() { return Locked(last_); }
    int badSteps() { return Locked(badSteps_); }
    int badTexts() { return Locked(badTexts_); }
    int timeOuts() { return Locked(timeOuts_); }
    long refreshes() { return Locked(refreshes_); }

private:
    template <class T>
    T Locked(const T& v) {
        std::lock_guard<std::mutex> lock(mutex_);
        return v;
    }
    const int step_;
    std::mutex mutex_;
    int asked_ = linkcore::kStatusNothing;
    int last_ = 0;
    int badSteps_ = 0;
    int badTexts_ = 0;
    int timeOuts_ = 0;
    long refreshes_ = 0;
};

std::vector<std::string> ControllerArgs(const SoakCase& c, const std::string& portDir, std::uint64_t frames) {
    const std::string name = c.protocol == protocols::kHaltenRs ? "halten" : "kugoo";
    if (c.kmsim) {
        return {KMSIM_BINARY, "--protocol", name,         "--port", "1",       "--port-dir", portDir,
                "--interval", "0",          "--mismatch", "mute",   "--quiet", "--frames",   std::to_string(frames)};
    }
    return {LINEPEER_BINARY,
            "--protocol",
            name,
            "--port",
            "1",
            "--port-dir",
            portDir,
            "--speed",
            std::to_string(c.speed),
            "--frames",
            std::to_string(frames)};
}

void RunCase(const SoakCase& c, double minutes, bool monitor) {
    const std::uint64_t frames = FramesFor(c, minutes);
    std::printf("-- %s bit/s: %llu frames\n", c.label, static_cast<unsigned long long>(frames));
    bench::PortSandbox sandbox;
    bench::ChildProcess controller({ControllerArgs(c, sandbox.portDirectory(), frames), {}, true});
    if (!controller.ReadLineStartingWith("COM1 ", 10000)) {
        std::printf("%s: the controller did not start\n", c.label);
        return;
    }
    linkcore::ResetLinkDataForTests();
    bench::BenchDialog dlg;
    if (!dlg.ShowAndInitialise()) return;
    dlg.SelectDecoder(c.connectWith);
    dlg.Click(IDC_CONNECT);
    if (!linkcore::Link().portOpen.load()) {
        std::printf("%s: no port\n", c.label);
        return;
    }
    dlg.Tick(IDC_SIMULATE, true);
    dlg.SelectDecoder(c.protocol);
    if (monitor) dlg.OnSysCommand(CMD_LINE_MONITOR, 0);

    CounterCheck counter(protocols::Protocol(c.protocol).autoReadRefreshEvery);
    bool finished = false;
    int earlyTimeOuts = 0;
    dlg.onRefreshAsked = [&](unsigned code) {
        if (code == CMD_SHOW_RX_FRAME) counter.Asked(linkcore::Link().linkStatus.load());
    };
    dlg.onSysCommandDone = [&](unsigned code) {
        if (code != CMD_SHOW_RX_FRAME || !counter.Shown(dlg.Text(IDC_COUNTER))) return;
        // The line fell silent: the end once every frame is counted (the
        // controller keeps its line open, silent, until the port closes)
        // or the controller is done.
        if (counter.last() >= static_cast<long long>(frames) || controller.Ended()) {
            finished = true;
            bench::WakeWaiter();
        } else {
            ++earlyTimeOuts;
        }
    };

    std::vector<double> minuteCpu;
    std::vector<long> minuteRss;
    double lastCpu = 0;
    QTimer minuteTimer;
    QObject::connect(&minuteTimer, &QTimer::timeout, [&] {
        const double cpu = bench::ProcessCpuSeconds();
        minuteCpu.push_back((cpu - lastCpu) / 60 * 100);
        minuteRss.push_back(bench::ResidentKiB());
        lastCpu = cpu;
        std::printf("   minute %zu: CPU %.3f %%, RSS %ld KiB, count %d\n", minuteCpu.size(), minuteCpu.back(),
                    minuteRss.back(), counter.last());
    });

    const auto switches0 = bench::ThreadSwitches();
    const double cpu0 = bench::ProcessCpuSeconds();
    const double mainCpu0 = bench::ThreadCpuSeconds();
    lastCpu = cpu0;
    const Clock::time_point t0 = Clock::now();
    dlg.Click(IDC_READ_AUTO);
    if (c.speed != static_cast<int>(protocols::Protocol(c.protocol).runStart.speed)) {
        // What the line-speed dialog's OK does.
        linkcore::SetLineSpeed(protocols::LineModeString(static_cast<unsigned>(c.speed)), c.speed);
    }
    minuteTimer.start(60000);
    const int boundMs = static_cast<int>(minutes * 60000 * 1.5) + 60000;
    bench::RunEventsUntil([&] { return finished; }, boundMs, 0);
    minuteTimer.stop();
    const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    const double cpu = bench::ProcessCpuSeconds() - cpu0;
    const double mainCpu = bench::ThreadCpuSeconds() - mainCpu0;
    const long peakRss = bench::PeakResidentKiB();
    const auto switches1 = bench::ThreadSwitches();
    std::string wakeups;
    for (const auto& [tid, sw] : switches1) {
        const auto b = switches0.find(tid);
        const double perSecond = (sw.voluntary - (b == switches0.end() ? 0 : b->second.voluntary)) / seconds;
        if (perSecond < 0.05) continue;
        wakeups += (wakeups.empty() ? "" : ", ") + std::string(tid == ::getpid() ? "dialog " : "thread ") +
                   std::to_string(tid) + " " + bench::Fixed(perSecond, 1) + "/s";
    }
    dlg.onRefreshAsked = nullptr;
    dlg.onSysCommandDone = nullptr;
    // Every controller frame of the run must be in the monitor's list.
    long long listed = -1;
    unsigned long long overflowed = 0;
    if (CMonitorDlg* m = dlg.LineMonitor()) {
        m->Drain();
        listed = static_cast<long long>(
            m->Store().Counters().Of(protocols::Direction::FromController, linkcore::MonotonicNs()).frames);
        for (const linkcore::TapRing& ring : linkcore::Link().tapStore->rings) overflowed += ring.Overflows();
    }
    dlg.QtWindow().reject();

    const auto exit = controller.Wait(10000);
    const std::string summary = controller.ReadLineStartingWith("summary", 5000).value_or("");
    const long long sent = std::atoll(bench::FieldOf(summary, "frames-sent").c_str());
    const long long count = counter.last();
    const long long lost = sent - count;
    std::printf(
        "   %s\n   tool: count %lld, %ld refreshes, %d bad steps, %d bad texts, %d early time-outs; "
        "%.1f s, CPU %.3f s (dialog thread %.3f s); controller CPU %.2f s\n   wake-ups: %s\n",
        summary.c_str(), count, counter.refreshes(), counter.badSteps(), counter.badTexts(), earlyTimeOuts, seconds,
        cpu, mainCpu, exit ? exit->cpuSeconds : -1.0, wakeups.c_str());

    const std::string label = std::string(c.label) + " bit/s " +
                              std::string(protocols::Protocol(c.protocol).listEntry.substr(1)) +
                              (monitor ? " monitor" : "");
    if (monitor) {
        bench::PrintResult({"soak", label + ": frames missing from the list", std::to_string(sent - listed), "-",
                            "frames", "0", bench::VerdictOf(sent > 0 && listed == sent && overflowed == 0),
                            std::to_string(listed) + " listed of " + std::to_string(sent) + " sent, " +
                                std::to_string(overflowed) + " lost by the rings"});
    }
    const bool consistent = finished && counter.badSteps() == 0 && counter.badTexts() == 0 && earlyTimeOuts == 0;
    bench::PrintResult({"soak", label + ": frames lost", std::to_string(lost), std::to_string(lost), "frames", "0",
                        bench::VerdictOf(finished && sent > 0 && lost == 0),
                        std::to_string(sent) + " sent, " + std::to_string(count) + " counted"});
    bench::PrintResult({"soak", label + ": counter line", consistent ? "consistent" : "INCONSISTENT", "-", "",
                        "steps of " + std::to_string(protocols::Protocol(c.protocol).autoReadRefreshEvery),
                        bench::VerdictOf(consistent),
                        std::to_string(counter.badSteps()) + " bad steps, " + std::to_string(counter.badTexts()) +
                            " bad texts, " + std::to_string(earlyTimeOuts) + " early time-outs"});
    const std::string display = "display frames " + bench::FieldOf(summary, "display-frames") + ", checksum errors " +
                                bench::FieldOf(summary, "checksum-errors") + ", counter gaps " +
                                bench::FieldOf(summary, "counter-gaps");
    const double overall = cpu / seconds * 100;
    const bench::Summary m = bench::Summarise(minuteCpu);
    const double median = minuteCpu.empty() ? overall : m.median;
    const double worst = minuteCpu.empty() ? overall : std::max(m.max, overall);
    bench::PrintResult({"soak", label + ": CPU per minute", bench::Fixed(median, 3), bench::Fixed(worst, 3),
                        "% of a core", "<= " + bench::Fixed(c.cpuTargetPercent, 1) + " %",
                        bench::VerdictOf(worst <= c.cpuTargetPercent),
                        "p99 column: worst minute; " + std::to_string(minuteCpu.size()) + " minutes, overall " +
                            bench::Fixed(overall, 3) + " %, dialog thread " + bench::Fixed(mainCpu / seconds * 100, 3) +
                            " %; " + display});
    if (!minuteRss.empty()) {
        bench::PrintResult({"soak", label + ": RSS after 1 min of reading", bench::Fixed(minuteRss.front() / 1024.0, 1),
                            bench::Fixed(peakRss / 1024.0, 1), "MiB", "<= 60 MiB",
                            bench::VerdictOf(minuteRss.front() <= kRssTargetKiB && peakRss <= kRssTargetKiB),
                            "p99 column: peak (VmHWM) of the benchmark process"});
    }
}

}  // namespace

int main(int argc, char** argv) {
    bench::LineBufferedOutput();
    bench::PreferOffscreenPlatform();
    QApplication app(argc, argv);
    platform::ui::qt::QtWindowSystem::Install();
    // --seconds is for trying the benchmark out; the figures want minutes.
    const int seconds =
        bench::IntArgument(argc, argv, "--seconds", 60 * bench::IntArgument(argc, argv, "--minutes", 1));
    const double minutes = std::max(1, seconds) / 60.0;
    const int only = bench::IntArgument(argc, argv, "--speed", 0);
    // --monitor: the line monitor is open all through each run.
    const bool monitor = bench::FlagArgument(argc, argv, "--monitor");
    std::printf("== line-rate soak (%.1f min per speed)\n%s\n", minutes, bench::MachineLine().c_str());
    const SoakCase cases[] = {
        {"1200", 1200, protocols::kHaltenRs, true, protocols::kKugooM, 0.5},
        {"9600", 9600, protocols::kKugooM, true, protocols::kHaltenRs, 0.5},
        {"115200", 115200, protocols::kHaltenRs, false, protocols::kHaltenRs, 3.0},
    };
    // Most of the tool's CPU time at these rates goes to waking up; what a
    // wake-up costs here says how the figures carry to other machines.
    const double wake = bench::MicrosPerWakeup();
    bench::PrintResult({"soak", "this machine: CPU per thread wake-up", bench::Fixed(wake, 1), "-", "us", "-",
                        bench::Verdict::Info, "poll() on a pipe woken from another thread, nothing else done"});
    for (const SoakCase& c : cases) {
        if (only == 0 || only == c.speed) RunCase(c, minutes, monitor);
    }
    return 0;
}
