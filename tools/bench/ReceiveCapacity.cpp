// Receive capacity: frames per second and CPU time per frame of the
// continuous read, fed by a controller that writes frames as fast as the
// pseudo-terminal takes them, and the frames lost on the way.
#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <thread>

#include "link/LinkState.h"
#include "link/RefreshCodes.h"
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
#include "tools/bench/support/Usage.h"
#include "workers/RunControl.h"

namespace {

using bench::Clock;
using bench::Ms;

// The target is what a 115200 bit/s line can carry, about a hundred times
// the 1200 bit/s of Halten RS: 11520 characters a second, i.e. 768 Halten
// RS frames or about 823 Kugoo M frames.
constexpr double kLineCharsPerSecond = 115200.0 / 10;
constexpr std::size_t kBlockFrames = 1000;

struct Run {
    double framesPerSecond = 0;
    double cpuMicrosPerFrame = 0;
    long long lost = 0;
    std::vector<double> blockRates;  // frames/s over each block of kBlockFrames
};

struct Arrival {
    int status;
    Clock::time_point at;
};

// Frames/s over consecutive blocks, from the counts the refreshes carried.
std::vector<double> BlockRates(const std::vector<Arrival>& arrivals, Clock::time_point start) {
    std::vector<double> rates;
    Clock::time_point blockStart = start;
    int blockFirst = 0;
    for (const Arrival& a : arrivals) {
        if (a.status - blockFirst >= static_cast<int>(kBlockFrames)) {
            const double s = std::chrono::duration<double>(a.at - blockStart).count();
            if (s > 0) rates.push_back((a.status - blockFirst) / s);
            blockStart = a.at;
            blockFirst = a.status;
        }
    }
    return rates;
}

// The controller: writes `stream` unpaced; reports its own CPU time.
class FloodingController {
public:
    FloodingController(int fd, const std::vector<std::uint8_t>& stream)
        : thread_([this, fd, &stream] {
              const double cpu0 = bench::ThreadCpuSeconds();
              written_ = bench::WriteAllTo(fd, stream, &stop_);
              cpu_ = bench::ThreadCpuSeconds() - cpu0;
          }) {}
    ~FloodingController() {
        stop_.Set();
        if (thread_.joinable()) thread_.join();
    }
    // Waits for the writer to finish; its CPU seconds.
    double Finish() {
        if (thread_.joinable()) thread_.join();
        return cpu_;
    }
    std::size_t written() const { return written_; }

private:
    platform::Event stop_;
    std::size_t written_ = 0;
    double cpu_ = 0;
    std::thread thread_;
};

Run Evaluate(int frames, const std::vector<Arrival>& arrivals, Clock::time_point t0, double toolCpu) {
    Run run;
    int count = 0;
    Clock::time_point last = t0;
    for (const Arrival& a : arrivals) {
        if (a.status <= 0) break;  // a time-out: the line went quiet before the end
        count = a.status;
        last = a.at;
    }
    run.lost = frames - count;
    const double seconds = std::chrono::duration<double>(last - t0).count();
    run.framesPerSecond = seconds > 0 ? count / seconds : 0;
    run.cpuMicrosPerFrame = count > 0 ? toolCpu * 1e6 / count : 0;
    run.blockRates = BlockRates(arrivals, t0);
    return run;
}

void Report(const std::string& label, protocols::ProtocolIndex protocol, const std::vector<Run>& runs) {
    std::vector<double> rates, cpu, blocks;
    long long lost = 0;
    for (const Run& r : runs) {
        rates.push_back(r.framesPerSecond);
        cpu.push_back(r.cpuMicrosPerFrame);
        blocks.insert(blocks.end(), r.blockRates.begin(), r.blockRates.end());
        lost += r.lost;
    }
    const double lineRate = kLineCharsPerSecond / static_cast<double>(bench::ControllerFrameLength(protocol));
    const double target = lineRate;
    const bench::Summary rate = bench::Summarise(rates);
    const double worstBlock = bench::Percentile(blocks, 1);
    const std::string name(protocols::Protocol(protocol).listEntry.substr(1));
    bench::PrintResult({"receive", label + " " + name + " frames/s", bench::Fixed(rate.median, 0),
                        bench::Fixed(worstBlock, 0), "frames/s",
                        ">= " + bench::Fixed(target, 0) + ", 0 lost (a full 115200 bit/s line)",
                        bench::VerdictOf(worstBlock >= target && lost == 0),
                        "p99 column: slowest 1% of " + std::to_string(kBlockFrames) +
                            "-frame blocks; runs=" + std::to_string(runs.size())});
    const bench::Summary c = bench::Summarise(cpu);
    bench::PrintResult({"receive", label + " " + name + " CPU per frame", bench::Fixed(c.median, 2),
                        bench::Fixed(c.max, 2), "us", "-", bench::Verdict::Info,
                        "whole process minus the controller thread; p99 column: worst run"});
    bench::PrintResult({"receive", label + " " + name + " frames lost", std::to_string(lost), std::to_string(lost),
                        "frames", "0", bench::VerdictOf(lost == 0), "sent minus the count the tool shows"});
}

void LinkLevel(protocols::ProtocolIndex protocol, int frames, int runs) {
    bench::PortSandbox sandbox;
    auto peer = sandbox.OpenPeer(1);
    bench::RecordingWindow window;
    bench::LinkSession session(window);
    if (!peer || !session.Connect(protocol)) {
        std::puts("link level: no port");
        return;
    }
    const std::vector<std::uint8_t> stream = bench::ControllerStream(protocol, static_cast<std::size_t>(frames));
    std::vector<Run> results;
    for (int r = 0; r < runs; ++r) {
        window.Clear();
        window.Reserve(static_cast<std::size_t>(frames) + 16);
        workers::StopForRun();
        workers::BeginRun(protocol);
        workers::StartAutoRead();
        const double cpu0 = bench::ProcessCpuSeconds();
        const Clock::time_point t0 = Clock::now();
        FloodingController controller(peer->masterFd(), stream);
        // Done at the full count, or at a time-out: the line fell silent
        // before every frame was counted.
        window.WaitFor(
            [&](const auto& requests) {
                return !requests.empty() &&
                       (requests.back().status >= frames || requests.back().status == linkcore::kStatusTimeOut);
            },
            120000);
        const double controllerCpu = controller.Finish();
        const double toolCpu = bench::ProcessCpuSeconds() - cpu0 - controllerCpu;
        std::vector<Arrival> arrivals;
        for (const auto& q : window.Requests()) {
            if (q.code == CMD_SHOW_RX_FRAME) arrivals.push_back({q.status, q.at});
        }
        results.push_back(Evaluate(frames, arrivals, t0, toolCpu));
        std::printf("link %s run %d: %.0f frames/s, %.2f us CPU/frame, lost %lld\n",
                    std::string(protocols::Protocol(protocol).listEntry).c_str(), r, results.back().framesPerSecond,
                    results.back().cpuMicrosPerFrame, results.back().lost);
    }
    workers::StopForRun();
    Report("link:", protocol, results);
}

// Through the offscreen dialog: every refresh request is a redraw that the
// worker waits for.
void DialogLevel(protocols::ProtocolIndex protocol, int frames, int runs) {
    bench::PortSandbox sandbox;
    auto peer = sandbox.OpenPeer(1);
    linkcore::ResetLinkDataForTests();
    bench::BenchDialog dlg;
    if (!peer || !dlg.ShowAndInitialise()) {
        std::puts("dialog level: no dialog");
        return;
    }
    dlg.SelectDecoder(protocol);
    dlg.Click(IDC_CONNECT);
    if (!linkcore::Link().portOpen.load()) {
        std::puts("dialog level: no port");
        return;
    }
    // The count as the worker has it when it asks for the redraw (the
    // counter line shows 300 as a finished capture); the wait ends once the
    // dialog has drawn the last one.
    std::mutex mutex;
    std::vector<Arrival> arrivals;
    bool done = false;
    dlg.onRefreshAsked = [&](unsigned code) {
        if (code != CMD_SHOW_RX_FRAME) return;
        const int status = linkcore::Link().linkStatus.load();
        std::lock_guard<std::mutex> lock(mutex);
        arrivals.push_back({status, Clock::now()});
        if (status >= frames || status <= 0) done = true;
    };
    dlg.onSysCommandDone = [&](unsigned) {
        std::lock_guard<std::mutex> lock(mutex);
        if (done) bench::WakeWaiter();
    };
    const std::vector<std::uint8_t> stream = bench::ControllerStream(protocol, static_cast<std::size_t>(frames));
    std::vector<Run> results;
    for (int r = 0; r < runs; ++r) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            arrivals.clear();
            arrivals.reserve(static_cast<std::size_t>(frames));
            done = false;
        }
        dlg.Click(IDC_READ_AUTO);
        const double cpu0 = bench::ProcessCpuSeconds();
        const Clock::time_point t0 = Clock::now();
        FloodingController controller(peer->masterFd(), stream);
        bench::RunEventsUntil(
            [&] {
                std::lock_guard<std::mutex> lock(mutex);
                return done;
            },
            120000, 0);
        const double controllerCpu = controller.Finish();
        const double toolCpu = bench::ProcessCpuSeconds() - cpu0 - controllerCpu;
        std::lock_guard<std::mutex> lock(mutex);
        results.push_back(Evaluate(frames, arrivals, t0, toolCpu));
        std::printf("dialog %s run %d: %.0f frames/s, %.2f us CPU/frame, lost %lld\n",
                    std::string(protocols::Protocol(protocol).listEntry).c_str(), r, results.back().framesPerSecond,
                    results.back().cpuMicrosPerFrame, results.back().lost);
    }
    dlg.onRefreshAsked = nullptr;
    dlg.onSysCommandDone = nullptr;
    Report("dialog:", protocol, results);
}

}  // namespace

int main(int argc, char** argv) {
    bench::LineBufferedOutput();
    bench::PreferOffscreenPlatform();
    QApplication app(argc, argv);
    platform::ui::qt::QtWindowSystem::Install();
    // Multiples of ten, so that a loss-free run ends on a refresh.
    const int frames = bench::IntArgument(argc, argv, "--frames", 100000) / 10 * 10;
    const int dialogFrames = bench::IntArgument(argc, argv, "--dialog-frames", 30000) / 10 * 10;
    const int runs = std::max(1, bench::IntArgument(argc, argv, "--runs", 5));
    std::printf("== receive capacity (%d frames x %d runs; dialog %d frames)\n%s\n", frames, runs, dialogFrames,
                bench::MachineLine().c_str());
    for (protocols::ProtocolIndex p : {protocols::kHaltenRs, protocols::kKugooM}) LinkLevel(p, frames, runs);
    for (protocols::ProtocolIndex p : {protocols::kHaltenRs, protocols::kKugooM}) DialogLevel(p, dialogFrames, runs);
    return 0;
}
