// Simulator pacing: the intervals between display frames as they reach
// the controller's end of the line, against the pause of the protocol
// (and, for a real UART, the pause plus the frame's line time).
//
// A pseudo-terminal has no line time: a write is in the master's buffer at
// once and the drain finds nothing queued. So what is measured here is the
// pause plus the tool's own overheads; on a UART the drain adds the line
// time of the frame (125 ms for 15 bytes at 1200 bit/s, 20.8 ms for 20
// bytes at 9600 bit/s).
#include <QApplication>

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <thread>

#include "link/LinkState.h"
#include "protocols/Catalogue.h"
#include "protocols/Template.h"
#include "res/Resource.h"
#include "tools/bench/support/BenchDialog.h"
#include "tools/bench/support/Clock.h"
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

constexpr double kMeanToleranceMs = 1;
constexpr double kP99DeviationMs = 3;

struct Case {
    protocols::ProtocolIndex protocol;
    int speed;  // the protocol's line speed
};

double LineTimeMs(std::size_t bytes, int speed) { return static_cast<double>(bytes) * 10 * 1000 / speed; }

// Reads the display frames off the master and notes when each one is
// complete, until `frames` have come or the bound runs out.
class FrameClock {
public:
    FrameClock(int fd, std::size_t frameLength, int frames)
        : thread_([this, fd, frameLength, frames] {
              std::size_t bytes = 0;
              const auto end = Clock::now() + std::chrono::seconds(10 + frames);
              while (static_cast<int>(arrivals_.size()) < frames && Clock::now() < end) {
                  pollfd p{fd, POLLIN, 0};
                  if (::poll(&p, 1, 1000) <= 0) continue;
                  std::uint8_t buf[256];
                  const ssize_t k = ::read(fd, buf, sizeof buf);
                  if (k <= 0) continue;
                  const Clock::time_point now = Clock::now();
                  const std::size_t before = bytes / frameLength;
                  bytes += static_cast<std::size_t>(k);
                  for (std::size_t f = before; f < bytes / frameLength; ++f) arrivals_.push_back(now);
              }
              finished_.store(true);
          }) {}
    ~FrameClock() {
        if (thread_.joinable()) thread_.join();
    }
    bool finished() const { return finished_.load(); }
    std::vector<Clock::time_point> Arrivals() {
        if (thread_.joinable()) thread_.join();
        return arrivals_;
    }

private:
    std::vector<Clock::time_point> arrivals_;
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

std::string TemplateFor(protocols::ProtocolIndex protocol) {
    const protocols::TemplateSettings settings{protocol, 3, 0, 0, 1, 1, 90, 1, 0};
    return protocols::BuildTemplate(settings).value_or("");
}

void Report(const std::string& label, const Case& c, const std::vector<Clock::time_point>& arrivals) {
    const protocols::ProtocolInfo& info = protocols::Protocol(c.protocol);
    const double pause = info.txPauseMs;
    const double uart = pause + LineTimeMs(info.txFrameLength, c.speed);
    std::vector<double> intervals;
    std::vector<double> deviations;
    for (std::size_t i = 1; i < arrivals.size(); ++i) {
        const double ms = std::chrono::duration<double, std::milli>(arrivals[i] - arrivals[i - 1]).count();
        intervals.push_back(ms);
        deviations.push_back(std::fabs(ms - pause));
    }
    const bench::Summary s = bench::Summarise(intervals);
    const bench::Summary d = bench::Summarise(deviations);
    const std::string name(info.listEntry.substr(1));
    const bool meanOk = std::fabs(s.mean - pause) <= kMeanToleranceMs;
    bench::PrintResult({"pacing", label + " " + name + " interval", bench::Fixed(s.median, 2), bench::Fixed(s.p99, 2),
                        "ms", "mean " + bench::Fixed(pause, 0) + " +-1 ms (pty)", bench::VerdictOf(meanOk),
                        "mean " + bench::Fixed(s.mean, 2) + ", n=" + std::to_string(s.count) + "; on a UART expect " +
                            bench::Fixed(uart, 1) + " ms"});
    bench::PrintResult({"pacing", label + " " + name + " |deviation|", bench::Fixed(d.median, 2),
                        bench::Fixed(d.p99, 2), "ms", "p99 <= 3 ms", bench::VerdictOf(d.p99 <= kP99DeviationMs),
                        "from the pause alone; max " + bench::Fixed(d.max, 2)});
}

void LinkLevel(const Case& c, int frames) {
    bench::PortSandbox sandbox;
    auto peer = sandbox.OpenPeer(1);
    bench::RecordingWindow window;
    bench::LinkSession session(window);
    if (!peer || !session.Connect(c.protocol)) {
        std::puts("link level: no port");
        return;
    }
    workers::StopForRun();
    workers::BeginRun(c.protocol);
    FrameClock clock(peer->masterFd(), protocols::Protocol(c.protocol).txFrameLength, frames + 1);
    workers::StartSimulator(TemplateFor(c.protocol), c.protocol);
    const std::vector<Clock::time_point> arrivals = clock.Arrivals();
    workers::StopForRun();
    Report("link:", c, arrivals);
}

// The dialog with a continuous read on a silent line and the display
// simulation ticked; every 5th or 10th frame waits for a redraw.
void DialogLevel(const Case& c, int frames) {
    bench::PortSandbox sandbox;
    auto peer = sandbox.OpenPeer(1);
    linkcore::ResetLinkDataForTests();
    bench::BenchDialog dlg;
    if (!peer || !dlg.ShowAndInitialise()) return;
    dlg.SelectDecoder(c.protocol);
    dlg.Click(IDC_CONNECT);
    if (!linkcore::Link().portOpen.load()) {
        std::puts("dialog level: no port");
        return;
    }
    dlg.Tick(IDC_SIMULATE, true);
    FrameClock clock(peer->masterFd(), protocols::Protocol(c.protocol).txFrameLength, frames + 1);
    dlg.Click(IDC_READ_AUTO);
    bench::RunEventsUntil([&] { return clock.finished(); }, (frames + 10) * 1000, 20);
    const std::vector<Clock::time_point> arrivals = clock.Arrivals();
    Report("dialog:", c, arrivals);
}

}  // namespace

int main(int argc, char** argv) {
    bench::LineBufferedOutput();
    bench::PreferOffscreenPlatform();
    QApplication app(argc, argv);
    platform::ui::qt::QtWindowSystem::Install();
    const int haltenFrames = bench::IntArgument(argc, argv, "--halten-frames", 200);
    const int kugooFrames = bench::IntArgument(argc, argv, "--kugoo-frames", 400);
    std::printf("== simulator pacing (%d Halten RS, %d Kugoo M intervals per variant)\n%s\n", haltenFrames, kugooFrames,
                bench::MachineLine().c_str());
    const Case halten{protocols::kHaltenRs, 1200};
    const Case kugoo{protocols::kKugooM, 9600};
    LinkLevel(halten, haltenFrames);
    LinkLevel(kugoo, kugooFrames);
    DialogLevel(halten, haltenFrames / 2);
    DialogLevel(kugoo, kugooFrames / 2);
    return 0;
}
