// Refresh latency: from the controller writing the frame that makes the
// continuous read ask for a redraw (the 5th Halten RS or 10th Kugoo M
// frame) to the new count in the counter line, and to the line's repaint.
#include <QApplication>
#include <QEvent>
#include <QMap>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <random>
#include <thread>

#include "link/LinkState.h"
#include "link/RefreshCodes.h"
#include "protocols/Catalogue.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "tools/bench/support/BenchDialog.h"
#include "tools/bench/support/Clock.h"
#include "tools/bench/support/LineFrames.h"
#include "tools/bench/support/Machine.h"
#include "tools/bench/support/PortSandbox.h"
#include "tools/bench/support/Results.h"
#include "tools/bench/support/Stats.h"
#include "tools/bench/support/Usage.h"

namespace {

using bench::Clock;
using bench::Ms;

constexpr double kTargetMs = 16;
constexpr int kWaitBoundMs = 5000;

// What the dialog thread saw, for the controller thread to wait on.
class Observations {
public:
    void Shown(const QString& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        lastText_ = text;
        shownAt_ = Clock::now();
        painted_ = false;
        changed_.notify_all();
    }
    void Painted() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (painted_ || lastText_.isEmpty()) return;
        painted_ = true;
        paintedAt_ = Clock::now();
        changed_.notify_all();
    }
    // Waits until `text` has been shown and painted; the two times.
    bool WaitFor(const QString& text, Clock::time_point& shown, Clock::time_point& painted) {
        std::unique_lock<std::mutex> lock(mutex_);
        const bool ok = changed_.wait_for(lock, std::chrono::milliseconds(kWaitBoundMs),
                                          [&] { return lastText_ == text && painted_; });
        shown = shownAt_;
        painted = paintedAt_;
        return ok;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    QString lastText_;
    bool painted_ = false;
    Clock::time_point shownAt_;
    Clock::time_point paintedAt_;
};

// Counts every paint event of the application, by the painted widget's
// name: what one refresh costs in redrawing.
class PaintCount : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            ++total_;
            ++byName_[watched->objectName().isEmpty() ? QString::fromUtf8(watched->metaObject()->className())
                                                      : watched->objectName()];
        }
        return QObject::eventFilter(watched, e);
    }
    long total() const { return total_; }
    // The most painted widgets, "name count" by count.
    std::string Top(std::size_t n) const {
        std::vector<std::pair<long, QString>> order;
        for (auto it = byName_.begin(); it != byName_.end(); ++it) order.push_back({it.value(), it.key()});
        std::sort(order.rbegin(), order.rend());
        std::string out;
        for (std::size_t i = 0; i < std::min(n, order.size()); ++i) {
            out += (i ? ", " : "") + order[i].second.toStdString() + " " + std::to_string(order[i].first);
        }
        return out;
    }

private:
    long total_ = 0;
    QMap<QString, long> byName_;
};

// Notes each repaint of the counter line.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(Observations& o) : observations_(o) {}
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::Paint) observations_.Painted();
        return QObject::eventFilter(watched, e);
    }

private:
    Observations& observations_;
};

void Measure(protocols::ProtocolIndex protocol, int reps) {
    bench::PortSandbox sandbox;
    auto peer = sandbox.OpenPeer(1);
    linkcore::ResetLinkDataForTests();
    bench::BenchDialog dlg;
    if (!peer || !dlg.ShowAndInitialise()) return;
    dlg.SelectDecoder(protocol);
    dlg.Click(IDC_CONNECT);
    if (!linkcore::Link().portOpen.load()) {
        std::puts("no port");
        return;
    }
    Observations observations;
    PaintWatch watch(observations);
    dlg.Widget(IDC_COUNTER)->installEventFilter(&watch);
    dlg.onSysCommandDone = [&](unsigned code) {
        if (code == CMD_SHOW_RX_FRAME) observations.Shown(dlg.Text(IDC_COUNTER));
    };
    dlg.Click(IDC_READ_AUTO);
    PaintCount paints;
    qApp->installEventFilter(&paints);
    const double dialogCpu0 = bench::ThreadCpuSeconds();

    const int every = protocols::Protocol(protocol).autoReadRefreshEvery;
    const std::size_t len = bench::ControllerFrameLength(protocol);
    std::vector<double> toText;
    std::vector<double> toPaint;
    std::atomic<bool> finished{false};
    std::thread controller([&] {
        const std::vector<std::uint8_t> stream = bench::ControllerStream(protocol, static_cast<std::size_t>(every));
        const std::span<const std::uint8_t> leading(stream.data(), len * static_cast<std::size_t>(every - 1));
        const std::span<const std::uint8_t> last(stream.data() + leading.size(), len);
        std::mt19937 rng(7);
        for (int i = 0; i <= reps; ++i) {
            bench::WriteAllTo(peer->masterFd(), leading, nullptr);
            // A pause of its own before the frame that is timed, so that
            // the others have long been read; well inside the 500 ms bound.
            std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(20, 120)(rng)));
            const Clock::time_point t0 = Clock::now();
            bench::WriteAllTo(peer->masterFd(), last, nullptr);
            Clock::time_point shown, painted;
            // A count of 300 shows as a finished capture.
            const int count = (i + 1) * every;
            const QString expected = count == linkcore::kStatusCaptureWritten ? QString::fromUtf8(res::kCaptureWritten)
                                                                              : QString::number(count);
            if (!observations.WaitFor(expected, shown, painted)) {
                std::printf("repetition %d: \"%s\" not shown\n", i, expected.toStdString().c_str());
                break;
            }
            if (i == 0) continue;  // the first redraw lays out the line
            toText.push_back(Ms(shown - t0));
            toPaint.push_back(Ms(painted - t0));
        }
        finished.store(true);
        QMetaObject::invokeMethod(
            &dlg.QtWindow(), [] { bench::WakeWaiter(); }, Qt::QueuedConnection);
    });
    // No polling here: the dialog thread's CPU time is the refreshes' own.
    bench::RunEventsUntil([&] { return finished.load(); }, (reps + 10) * 1000, 0);
    controller.join();
    const double dialogCpu = bench::ThreadCpuSeconds() - dialogCpu0;
    qApp->removeEventFilter(&paints);
    dlg.onSysCommandDone = nullptr;
    dlg.Widget(IDC_COUNTER)->removeEventFilter(&watch);

    const std::string name(protocols::Protocol(protocol).listEntry.substr(1));
    const bench::Summary t = bench::Summarise(toText);
    const bench::Summary p = bench::Summarise(toPaint);
    bench::PrintResult({"refresh", name + ": frame to text", bench::Fixed(t.median, 2), bench::Fixed(t.p99, 2), "ms",
                        "p99 <= 16 ms", bench::VerdictOf(t.p99 <= kTargetMs),
                        "last frame written to the counter text set; n=" + std::to_string(t.count) + ", max " +
                            bench::Fixed(t.max, 2)});
    bench::PrintResult({"refresh", name + ": frame to repaint", bench::Fixed(p.median, 2), bench::Fixed(p.p99, 2), "ms",
                        "p99 <= 16 ms", bench::VerdictOf(p.p99 <= kTargetMs),
                        "to the counter line's paint event (offscreen); max " + bench::Fixed(p.max, 2)});
    const double refreshes = reps + 1.0;
    bench::PrintResult(
        {"refresh", name + ": dialog thread CPU per refresh", bench::Fixed(dialogCpu * 1000 / refreshes, 3), "-", "ms",
         "-", bench::Verdict::Info,
         bench::Fixed(paints.total() / refreshes, 1) + " paint events per refresh; most painted: " + paints.Top(10)});
}

}  // namespace

int main(int argc, char** argv) {
    bench::LineBufferedOutput();
    bench::PreferOffscreenPlatform();
    QApplication app(argc, argv);
    platform::ui::qt::QtWindowSystem::Install();
    const int reps = bench::IntArgument(argc, argv, "--reps", 300);
    std::printf("== refresh latency (%d repetitions per protocol)\n%s\n", reps, bench::MachineLine().c_str());
    Measure(protocols::kHaltenRs, reps);
    Measure(protocols::kKugooM, reps);
    return 0;
}
