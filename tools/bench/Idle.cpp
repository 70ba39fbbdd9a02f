// Idle: wake-ups of the tool while nothing happens. A thread's voluntary
// context switches count the times it went to sleep, i.e. woke again;
// with no timers and no polling an idle tool has none.
//
//  - the real tool, offscreen and on a private X server, port closed;
//  - the dialog in this process, offscreen, with the port closed and with
//    the port open but no run (counting every thread but the measuring one).
#include <QApplication>

#include <signal.h>

#include <cstdio>
#include <thread>

#include "link/LinkState.h"
#include "res/Resource.h"
#include "tools/bench/support/BenchDialog.h"
#include "tools/bench/support/ChildProcess.h"
#include "tools/bench/support/Clock.h"
#include "tools/bench/support/Machine.h"
#include "tools/bench/support/PortSandbox.h"
#include "tools/bench/support/Results.h"
#include "tools/bench/support/Usage.h"
#include "tools/bench/support/VirtualDisplay.h"

namespace {

using bench::Clock;

constexpr int kSettleBoundMs = 15000;
constexpr int kQuietForMs = 2000;

// Waits until process `pid` (0: this one) has gone kQuietForMs without a
// wake-up outside `excluded`, at most kSettleBoundMs: start-up work and the
// first paints are not idleness.
void Settle(pid_t pid, pid_t excluded) {
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(kSettleBoundMs);
    auto last = bench::ThreadSwitches(pid);
    Clock::time_point quietSince = Clock::now();
    while (Clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        const auto now = bench::ThreadSwitches(pid);
        if (bench::WakeupsBetween(last, now, excluded) != 0) quietSince = Clock::now();
        last = now;
        if (Clock::now() - quietSince >= std::chrono::milliseconds(kQuietForMs)) return;
    }
}

// Wake-ups per second over `seconds`, with the threads that had any.
double Measure(pid_t pid, pid_t excluded, int seconds, std::string& busy) {
    const auto before = bench::ThreadSwitches(pid);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const auto after = bench::ThreadSwitches(pid);
    busy.clear();
    for (const auto& [tid, s] : after) {
        if (tid == excluded) continue;
        const auto b = before.find(tid);
        const long long n = s.voluntary - (b == before.end() ? 0 : b->second.voluntary);
        if (n > 0) busy += (busy.empty() ? "" : ", ") + bench::ThreadName(pid, tid) + " " + std::to_string(n);
    }
    return static_cast<double>(bench::WakeupsBetween(before, after, excluded)) / seconds;
}

// `judged`: the target applies (the blinking caret of a focused text box
// is the toolkit's, shown for what it costs).
void Report(const std::string& what, double perSecond, int seconds, const std::string& busy, bool judged = true) {
    bench::PrintResult({"idle", what, bench::Fixed(perSecond, 2), "-", "wake-ups/s", judged ? "0" : "-",
                        judged ? bench::VerdictOf(perSecond == 0) : bench::Verdict::Info,
                        "over " + std::to_string(seconds) + " s" + (busy.empty() ? "" : "; by thread: " + busy)});
}

void RealTool(int seconds) {
    bench::PortSandbox sandbox;  // COM1 names nothing, should anything look
    {
        bench::ChildProcess tool({{ZONTER_BINARY}, {"QT_QPA_PLATFORM=offscreen"}, true});
        Settle(tool.pid(), 0);
        std::string busy;
        const double rate = Measure(tool.pid(), 0, seconds, busy);
        const long rss = bench::ResidentKiB(tool.pid());
        Report("real tool, offscreen, port closed", rate, seconds, busy);
        bench::PrintResult({"idle", "real tool, offscreen: RSS idle", bench::Fixed(rss / 1024.0, 1), "-", "MiB", "-",
                            bench::Verdict::Info, ""});
        tool.Signal(SIGTERM);
        tool.Wait(10000);
    }
    auto display = bench::VirtualDisplay::Start();
    if (!display) {
        std::puts("no X server for the real tool (Xvfb or xcb missing)");
        return;
    }
    bench::ChildProcess tool({{ZONTER_BINARY}, {"DISPLAY=" + display->name(), "QT_QPA_PLATFORM=xcb"}, true});
    display->WaitForMap(20000);
    Settle(tool.pid(), 0);
    std::string busy;
    const double rate = Measure(tool.pid(), 0, seconds, busy);
    Report("real tool, X (Xvfb), port closed", rate, seconds, busy);
    tool.Signal(SIGTERM);
    tool.Wait(10000);
}

// The dialog here; the measuring runs on a thread of its own while the
// dialog thread sits in its event loop.
void InProcess(int seconds) {
    bench::PortSandbox sandbox;
    auto peer = sandbox.OpenPeer(1);
    linkcore::ResetLinkDataForTests();
    bench::BenchDialog dlg;
    if (!peer || !dlg.ShowAndInitialise()) return;

    enum class State { PortClosed, PortOpen, Focused };
    for (const State state : {State::PortClosed, State::PortOpen, State::Focused}) {
        if (state == State::PortOpen) {
            dlg.SelectDecoder(1);
            dlg.Click(IDC_CONNECT);
            if (!linkcore::Link().portOpen.load()) {
                std::puts("no port");
                return;
            }
        }
        if (state == State::Focused) {
            // As a user leaves it: the window active and the caret in the
            // template box.
            dlg.QtWindow().activateWindow();
            if (QWidget* box = dlg.Widget(IDC_TEMPLATE)) box->setFocus(Qt::OtherFocusReason);
        }
        double rate = 0;
        std::string busy;
        std::atomic<bool> done{false};
        std::thread meter([&] {
            const pid_t self = bench::ThisThreadId();
            Settle(0, self);
            rate = Measure(0, self, seconds, busy);
            done.store(true);
            QMetaObject::invokeMethod(
                &dlg.QtWindow(), [] { bench::WakeWaiter(); }, Qt::QueuedConnection);
        });
        bench::RunEventsUntil([&] { return done.load(); }, (seconds + 60) * 1000, 0);
        meter.join();
        const char* what = state == State::PortClosed ? "dialog, offscreen, port closed"
                           : state == State::PortOpen ? "dialog, offscreen, port open, no run"
                                                      : "dialog, port open, active, caret in a text box";
        Report(what, rate, seconds, busy, state != State::Focused);
    }
}

}  // namespace

int main(int argc, char** argv) {
    bench::LineBufferedOutput();
    bench::PreferOffscreenPlatform();
    QApplication app(argc, argv);
    platform::ui::qt::QtWindowSystem::Install();
    const int seconds = std::max(1, bench::IntArgument(argc, argv, "--seconds", 10));
    std::printf("== idle (%d s windows)\n%s\n", seconds, bench::MachineLine().c_str());
    RealTool(seconds);
    InProcess(seconds);
    return 0;
}
