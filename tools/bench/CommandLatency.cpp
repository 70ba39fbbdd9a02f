// Command latency: how long a run command takes to put a new worker to
// reading while the previous worker sits in a 500 ms read on a silent
// line, and how long closing the window takes with every worker running.
#include <QApplication>

#include <cstdio>
#include <mutex>
#include <random>
#include <thread>

#include "link/LinkState.h"
#include "link/RefreshCodes.h"
#include "platform/WorkerThread.h"
#include "protocols/Catalogue.h"
#include "res/Resource.h"
#include "tools/bench/support/BenchDialog.h"
#include "tools/bench/support/Clock.h"
#include "tools/bench/support/LineFrames.h"
#include "tools/bench/support/LinkSession.h"
#include "tools/bench/support/Machine.h"
#include "tools/bench/support/PortSandbox.h"
#include "tools/bench/support/RecordingWindow.h"
#include "tools/bench/support/Results.h"
#include "tools/bench/support/Stats.h"
#include "workers/RunControl.h"

namespace {

using bench::Clock;
using bench::Ms;

constexpr int kWaitBoundMs = 5000;
constexpr double kCommandTargetMs = 5;
constexpr double kCloseTargetMs = 50;

// How long the old worker has been waiting when the command comes: drawn
// anew each time so that the click meets its read at every phase, and
// always well inside the read's 500 ms bound.
class Phase {
public:
    int NextMs() { return std::uniform_int_distribution<int>(5, 300)(rng_); }

private:
    std::mt19937 rng_{12345};
};

// The frames that make the new worker ask for its first refresh.
std::vector<std::uint8_t> FirstRefreshFrames() {
    const std::size_t every = static_cast<std::size_t>(protocols::Protocol(protocols::kHaltenRs).autoReadRefreshEvery);
    return bench::ControllerStream(protocols::kHaltenRs, every);
}

void Report(const char* metric, const std::vector<double>& ms, double target, const std::string& note) {
    const bench::Summary s = bench::Summarise(ms);
    bench::PrintResult({"command", metric, bench::Fixed(s.median, 2), bench::Fixed(s.p99, 2), "ms",
                        "p99 <= " + bench::Fixed(target, 0) + " ms", bench::VerdictOf(s.p99 <= target),
                        note + " (n=" + std::to_string(s.count) + ", max " + bench::Fixed(s.max, 2) + ")"});
}

// The run command at the link level: the stop step, the run start and the
// new worker, as the dialog's handler does them.
void LinkLevel(int reps) {
    bench::PortSandbox sandbox;
    auto peer = sandbox.OpenPeer(1);
    bench::RecordingWindow window;
    bench::LinkSession session(window);
    if (!peer || !session.Connect(protocols::kHaltenRs)) {
        std::puts("link level: no port");
        return;
    }
    const std::vector<std::uint8_t> frames = FirstRefreshFrames();
    const int firstCount = protocols::Protocol(protocols::kHaltenRs).autoReadRefreshEvery;
    auto command = [] {
        workers::StopForRun();
        workers::BeginRun(protocols::kHaltenRs);
        workers::StartAutoRead();
    };

    Phase phase;
    std::vector<double> returned;
    std::vector<double> reading;
    command();
    for (int i = 0; i <= reps; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(phase.NextMs()));
        const std::size_t before = window.Count();
        const Clock::time_point t0 = Clock::now();
        command();
        const Clock::time_point t1 = Clock::now();
        bench::WriteAllTo(peer->masterFd(), frames, nullptr);
        Clock::time_point t2{};
        const bool got = window.WaitFor(
            [&](const auto& requests) {
                for (std::size_t k = before; k < requests.size(); ++k) {
                    if (requests[k].code == CMD_SHOW_RX_FRAME && requests[k].status == firstCount) {
                        t2 = requests[k].at;
                        return true;
                    }
                }
                return false;
            },
            kWaitBoundMs);
        if (!got) {
            std::printf("link level: repetition %d got no refresh\n", i);
            continue;
        }
        if (i == 0) continue;  // the first command after the connect warms the caches
        returned.push_back(Ms(t1 - t0));
        reading.push_back(Ms(t2 - t0));
    }
    workers::StopForRun();
    Report("link: command returned", returned, kCommandTargetMs, "StopForRun+BeginRun+StartAutoRead");
    Report("link: new worker has read", reading, kCommandTargetMs,
           "click to the new worker's first refresh (5 frames)");
}

// The same through the dialog: the button's click runs OnReadAutoClicked.
void DialogLevel(int reps) {
    bench::PortSandbox sandbox;
    auto peer = sandbox.OpenPeer(1);
    linkcore::ResetLinkDataForTests();
    bench::BenchDialog dlg;
    if (!peer || !dlg.ShowAndInitialise()) {
        std::puts("dialog level: no dialog");
        return;
    }
    dlg.SelectDecoder(protocols::kHaltenRs);
    dlg.Click(IDC_CONNECT);
    if (!linkcore::Link().portOpen.load()) {
        std::puts("dialog level: no port");
        return;
    }
    const int firstCount = protocols::Protocol(protocols::kHaltenRs).autoReadRefreshEvery;
    std::mutex mutex;
    Clock::time_point asked{};
    Clock::time_point shown{};
    bool seen = false;
    dlg.onRefreshAsked = [&](unsigned code) {
        if (code != CMD_SHOW_RX_FRAME || linkcore::Link().linkStatus.load() != firstCount) return;
        std::lock_guard<std::mutex> lock(mutex);
        asked = Clock::now();
    };
    dlg.onSysCommandDone = [&](unsigned code) {
        if (code != CMD_SHOW_RX_FRAME || dlg.Text(IDC_COUNTER) != QString::number(firstCount)) return;
        std::lock_guard<std::mutex> lock(mutex);
        shown = Clock::now();
        seen = true;
        bench::WakeWaiter();
    };

    const std::vector<std::uint8_t> frames = FirstRefreshFrames();
    Phase phase;
    std::vector<double> returned;
    std::vector<double> reading;
    std::vector<double> drawn;
    dlg.Click(IDC_READ_AUTO);
    for (int i = 0; i <= reps; ++i) {
        bench::RunEventsFor(phase.NextMs());
        {
            std::lock_guard<std::mutex> lock(mutex);
            seen = false;
        }
        const Clock::time_point t0 = Clock::now();
        dlg.Click(IDC_READ_AUTO);
        const Clock::time_point t1 = Clock::now();
        bench::WriteAllTo(peer->masterFd(), frames, nullptr);
        const bool got = bench::RunEventsUntil(
            [&] {
                std::lock_guard<std::mutex> lock(mutex);
                return seen;
            },
            kWaitBoundMs, 0);
        if (!got) {
            std::printf("dialog level: repetition %d got no refresh\n", i);
            continue;
        }
        if (i == 0) continue;
        std::lock_guard<std::mutex> lock(mutex);
        returned.push_back(Ms(t1 - t0));
        reading.push_back(Ms(asked - t0));
        drawn.push_back(Ms(shown - t0));
    }
    Report("dialog: OnReadAutoClicked returned", returned, kCommandTargetMs, "button click, offscreen dialog");
    Report("dialog: new worker has read", reading, kCommandTargetMs, "click to the new worker's first refresh request");
    bench::PrintResult({"command", "dialog: first count shown", bench::Fixed(bench::Summarise(drawn).median, 2),
                        bench::Fixed(bench::Summarise(drawn).p99, 2), "ms", "-", bench::Verdict::Info,
                        "click to \"5\" in the counter line"});
    dlg.onRefreshAsked = nullptr;
    dlg.onSysCommandDone = nullptr;
}

// Closing the window while the continuous read and the simulator run and
// the controller streams frames.
void CloseLatency(int reps) {
    bench::PortSandbox sandbox;
    Phase phase;
    std::vector<double> closed;
    std::vector<double> destroyed;
    int leftRunning = 0;
    for (int i = 0; i < reps; ++i) {
        auto peer = sandbox.OpenPeer(1);
        if (!peer) break;
        linkcore::ResetLinkDataForTests();
        auto dlg = std::make_unique<bench::BenchDialog>();
        if (!dlg->ShowAndInitialise()) break;
        int outShown = 0;
        int rxShown = 0;
        dlg->onSysCommandDone = [&](unsigned code) {
            (code == CMD_SHOW_OUT_FRAME ? outShown : rxShown) += 1;
            bench::WakeWaiter();
        };
        dlg->SelectDecoder(protocols::kHaltenRs);
        dlg->Click(IDC_CONNECT);
        dlg->Tick(IDC_SIMULATE, true);
        dlg->Click(IDC_READ_AUTO);

        // The controller: a frame every 5 ms, and whatever the display sends
        // is read away.
        platform::Event stopPeer;
        std::thread controller([&] {
            const std::vector<std::uint8_t> stream = bench::ControllerStream(protocols::kHaltenRs, 2000);
            const std::size_t len = bench::ControllerFrameLength(protocols::kHaltenRs);
            for (std::size_t at = 0; !stopPeer.IsSet(); at = (at + len) % stream.size()) {
                bench::Discard(peer->masterFd());
                bench::WriteAllTo(peer->masterFd(), std::span(stream).subspan(at, len), &stopPeer);
                if (stopPeer.Wait(5)) break;
            }
        });
        const bool running = bench::RunEventsUntil([&] { return outShown > 0 && rxShown > 0; }, kWaitBoundMs, 0);
        if (running) bench::RunEventsFor(phase.NextMs());

        const Clock::time_point t0 = Clock::now();
        dlg->QtWindow().reject();
        const Clock::time_point t1 = Clock::now();
        dlg.reset();
        const Clock::time_point t2 = Clock::now();
        if (platform::WorkerThread::LiveCount() != 0) ++leftRunning;
        stopPeer.Set();
        controller.join();
        if (!running) {
            std::printf("close: repetition %d never had both workers showing\n", i);
            continue;
        }
        closed.push_back(Ms(t1 - t0));
        destroyed.push_back(Ms(t2 - t0));
    }
    Report("close with all workers running", closed, kCloseTargetMs,
           "reject() incl. DestroyWindow; workers left running: " + std::to_string(leftRunning));
    bench::PrintResult({"command", "close + dialog deleted", bench::Fixed(bench::Summarise(destroyed).median, 2),
                        bench::Fixed(bench::Summarise(destroyed).p99, 2), "ms", "-", bench::Verdict::Info,
                        "reject() and the dialog's destruction"});
}

}  // namespace

int main(int argc, char** argv) {
    bench::LineBufferedOutput();
    bench::PreferOffscreenPlatform();
    QApplication app(argc, argv);
    platform::ui::qt::QtWindowSystem::Install();
    const int reps = bench::IntArgument(argc, argv, "--reps", 200);
    const int closeReps = bench::IntArgument(argc, argv, "--close-reps", 40);
    std::printf("== command latency (%d repetitions, %d closes)\n%s\n", reps, closeReps, bench::MachineLine().c_str());
    LinkLevel(reps);
    DialogLevel(reps);
    CloseLatency(closeReps);
    return 0;
}
