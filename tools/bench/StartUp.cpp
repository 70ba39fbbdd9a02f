// Start-up: from starting a process to its first shown window.
//
//  - The real tool on a private X server (Xvfb): from fork to the X
//    server's MapNotify of its window, watched from here. Also its
//    resident memory once the window is up.
//  - Offscreen: this program re-run as a child that does what the tool's
//    main() does (application object, main dialog, show) and reports when
//    the dialog's first paint event has been handled.
#include <QApplication>
#include <QEvent>

#include <signal.h>

#include <cstdio>
#include <cstdlib>

#include "platform/ui/qt/QtDialogWindow.h"
#include "tools/bench/support/BenchDialog.h"
#include "tools/bench/support/ChildProcess.h"
#include "tools/bench/support/Clock.h"
#include "tools/bench/support/Machine.h"
#include "tools/bench/support/Results.h"
#include "tools/bench/support/Stats.h"
#include "tools/bench/support/Usage.h"
#include "tools/bench/support/VirtualDisplay.h"
#include "ui/ZonterDlg.h"

namespace {

using bench::Clock;
using bench::Ms;

constexpr double kTargetMs = 300;
constexpr int kBoundMs = 20000;
constexpr const char* kChildFlag = "--as-tool";

long long NanosOf(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

// Ends the event loop at the dialog's first paint.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::Paint && !painted_) {
            painted_ = true;
            at_ = Clock::now();
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, e);
    }
    Clock::time_point at() const { return at_; }

private:
    bool painted_ = false;
    Clock::time_point at_;
};

// The child: the tool's start-up, then "shown=<ns> rss=<KiB>".
int RunAsTool(int argc, char** argv) {
    QApplication app(argc, argv);
    platform::ui::qt::QtWindowSystem::Install();
    CZonterDlg dialog;
    FirstPaint watch;
    platform::ui::qt::WindowOf(dialog).installEventFilter(&watch);
    dialog.ShowModeless();
    QApplication::exec();
    std::printf("shown=%lld rss=%ld\n", NanosOf(watch.at()), bench::ResidentKiB());
    std::fflush(stdout);
    dialog.DestroyWindow();
    return 0;
}

void Offscreen(int reps) {
    std::vector<double> startup;
    std::vector<double> rss;
    double first = 0;
    for (int i = 0; i < reps; ++i) {
        const Clock::time_point t0 = Clock::now();
        bench::ChildProcess child({{bench::OwnExecutable(), kChildFlag}, {"QT_QPA_PLATFORM=offscreen"}, true});
        const auto line = child.ReadLineStartingWith("shown=", kBoundMs);
        child.Wait(kBoundMs);
        if (!line) {
            std::puts("offscreen: the child showed nothing");
            continue;
        }
        const long long shown = std::atoll(bench::FieldOf(*line, "shown").c_str());
        const double ms = Ms(Clock::time_point(std::chrono::nanoseconds(shown)) - t0);
        rss.push_back(std::atof(bench::FieldOf(*line, "rss").c_str()) / 1024);
        if (i == 0) first = ms;
        startup.push_back(ms);
    }
    const bench::Summary s = bench::Summarise(startup);
    bench::PrintResult(
        {"startup", "offscreen: start to first paint", bench::Fixed(s.median, 1), bench::Fixed(s.p99, 1), "ms",
         "<= 300 ms", bench::VerdictOf(s.p99 <= kTargetMs),
         "same start-up as the tool, in a child; n=" + std::to_string(s.count) + ", first " + bench::Fixed(first, 1)});
    bench::PrintResult({"startup", "offscreen: RSS at first paint", bench::Fixed(bench::Summarise(rss).median, 1),
                        bench::Fixed(bench::Summarise(rss).max, 1), "MiB", "-", bench::Verdict::Info, ""});
}

void OnX(int reps) {
    auto display = bench::VirtualDisplay::Start();
    if (!display) {
        bench::PrintResult({"startup", "X: start to window mapped", "-", "-", "ms", "<= 300 ms", bench::Verdict::Info,
                            "not measured: no Xvfb or built without xcb"});
        return;
    }
    std::vector<double> startup;
    std::vector<double> rss;
    double first = 0;
    for (int i = 0; i < reps; ++i) {
        display->Drain();
        const Clock::time_point t0 = Clock::now();
        bench::ChildProcess tool({{ZONTER_BINARY}, {"DISPLAY=" + display->name(), "QT_QPA_PLATFORM=xcb"}, true});
        const auto mapped = display->WaitForMap(kBoundMs);
        if (mapped) rss.push_back(bench::ResidentKiB(tool.pid()) / 1024.0);
        tool.Signal(SIGTERM);
        tool.Wait(kBoundMs);
        if (!mapped) {
            std::puts("X: no window mapped");
            continue;
        }
        const double ms = Ms(*mapped - t0);
        if (i == 0) first = ms;
        startup.push_back(ms);
    }
    const bench::Summary s = bench::Summarise(startup);
    bench::PrintResult({"startup", "X: start to window mapped", bench::Fixed(s.median, 1), bench::Fixed(s.p99, 1), "ms",
                        "<= 300 ms", bench::VerdictOf(!startup.empty() && s.p99 <= kTargetMs),
                        "real zonter on Xvfb; n=" + std::to_string(s.count) + ", first " + bench::Fixed(first, 1)});
    bench::PrintResult({"startup", "X: RSS when mapped", bench::Fixed(bench::Summarise(rss).median, 1),
                        bench::Fixed(bench::Summarise(rss).max, 1), "MiB", "-", bench::Verdict::Info, "real zonter"});
}

}  // namespace

int main(int argc, char** argv) {
    if (bench::FlagArgument(argc, argv, kChildFlag)) return RunAsTool(argc, argv);
    bench::LineBufferedOutput();
    const int reps = bench::IntArgument(argc, argv, "--reps", 20);
    std::printf("== start-up (%d starts each)\n%s\n", reps, bench::MachineLine().c_str());
    OnX(reps);
    Offscreen(reps);
    return 0;
}
