// The tool's CPU as a multiple of the floor: a bare reader
// (zonter-bench-barereader, a poll() and a read() per wake-up) on a second
// line that the controller feeds the same bytes at the same moments
// (zonter-kmsim / zonter-bench-linepeer --mirror-port). Both are measured
// over the same seconds, to the nanosecond, from
// /proc/<pid>/task/*/schedstat. A wake-up costs very different amounts on
// different machines, and on a virtual machine from one minute to the
// next; the ratio carries, an absolute percentage does not.
//
// The main window is shown on a private X server (Xvfb) when there is one,
// offscreen otherwise. --accessibility brings up a D-Bus session and the
// AT-SPI bus and turns Qt's accessibility bridge on, as a desktop with a
// screen reader does.
//
//   zonter-bench-floor [--seconds N] [--speeds 1200,9600,115200]
//                      [--modes read,simulate,monitor] [--accessibility]
//                      [--label TEXT]
//
// Modes, each a continuous read ("Авто. чтен.") on a full line:
//   read      nothing else
//   simulate  with "имит. БК" ticked (display frames answered)
//   monitor   with the line monitor open
// --label names the build in the rows (scripts/bench --compare).
#include <QApplication>

#include <signal.h>
#include <stdlib.h>

#include <cstdio>
#include <map>
#include <memory>
#include <sstream>

#include "link/LinkState.h"
#include "link/PortOps.h"
#include "protocols/Catalogue.h"
#include "res/Resource.h"
#include "tools/bench/support/AccessibilityBus.h"
#include "tools/bench/support/BenchDialog.h"
#include "tools/bench/support/ChildProcess.h"
#include "tools/bench/support/Clock.h"
#include "tools/bench/support/LineFrames.h"
#include "tools/bench/support/Machine.h"
#include "tools/bench/support/PortSandbox.h"
#include "tools/bench/support/Results.h"
#include "tools/bench/support/Usage.h"
#include "tools/bench/support/VirtualDisplay.h"
#include "tools/bench/support/WakeCost.h"

namespace {

using bench::Clock;

constexpr unsigned kToolPort = 1;
constexpr unsigned kFloorPort = 2;
// The read runs this long before the measured seconds: the first frames,
// the window's first paints and the monitor's opening stay out of them.
constexpr int kSettleMs = 2000;

struct LineCase {
    int speed;
    protocols::ProtocolIndex protocol;
    bool kmsim;                            // else the line peer
    protocols::ProtocolIndex connectWith;  // a decoder whose speed keeps the controller quiet
};

constexpr LineCase kLines[] = {
    {1200, protocols::kHaltenRs, true, protocols::kKugooM},
    {9600, protocols::kKugooM, true, protocols::kHaltenRs},
    {115200, protocols::kHaltenRs, false, protocols::kHaltenRs},
};

enum class Mode { Read, Simulate, Monitor };

struct ModeInfo {
    Mode mode;
    const char* name;
    const char* label;
    double target;      // ratio
    double targetA11y;  // ratio with the accessibility bridge on
};

constexpr ModeInfo kModes[] = {
    {Mode::Read, "read", "continuous read", 3, 5},
    {Mode::Simulate, "simulate", "continuous read + display simulation", 4, 4},
    {Mode::Monitor, "monitor", "continuous read, line monitor open", 0, 0},  // judged against read: + 1x
};

std::vector<std::string> ControllerArgs(const LineCase& c, const std::string& portDir) {
    const std::string name = c.protocol == protocols::kHaltenRs ? "halten" : "kugoo";
    const std::vector<std::string> line = {"--protocol", name,    "--port",        std::to_string(kToolPort),
                                           "--port-dir", portDir, "--mirror-port", std::to_string(kFloorPort)};
    std::vector<std::string> args;
    if (c.kmsim) {
        args = {KMSIM_BINARY, "--interval", "0", "--mismatch", "mute", "--quiet"};
    } else {
        args = {LINEPEER_BINARY, "--speed", std::to_string(c.speed), "--frames", "1000000000"};
    }
    args.insert(args.end(), line.begin(), line.end());
    return args;
}

// One process's CPU time and wake-ups (voluntary switches) at a moment.
struct Sample {
    long long cpuNs = 0;
    long long wakeups = 0;
};

Sample Take(pid_t pid) {
    Sample s;
    s.cpuNs = bench::TaskCpuNs(pid);
    for (const auto& [tid, sw] : bench::ThreadSwitches(pid)) s.wakeups += sw.voluntary;
    return s;
}

struct Measured {
    bool ok = false;
    double seconds = 0;
    double toolPercent = 0;
    double floorPercent = 0;
    double toolWakeups = 0;  // per second
    double floorWakeups = 0;
    unsigned long long floorBytes = 0;
    double ratio() const { return floorPercent > 0 ? toolPercent / floorPercent : 0; }
};

Measured RunCase(const LineCase& c, Mode mode, int seconds) {
    Measured m;
    bench::PortSandbox sandbox;
    bench::ChildProcess controller({ControllerArgs(c, sandbox.portDirectory()), {}, true});
    const auto mirror = controller.ReadLineStartingWith("mirror ", 10000);
    if (!mirror || !controller.ReadLineStartingWith("COM1 ", 10000)) {
        std::printf("   %d bit/s: the controller did not start\n", c.speed);
        return m;
    }
    const std::string floorDevice = mirror->substr(mirror->rfind(' ') + 1);
    bench::ChildProcess floor(
        {{BAREREADER_BINARY, "--device", floorDevice, "--speed", std::to_string(c.speed)}, {}, true});
    if (!floor.ReadLineStartingWith("ready", 10000)) {
        std::printf("   %d bit/s: the bare reader did not start\n", c.speed);
        return m;
    }

    linkcore::ResetLinkDataForTests();
    bench::BenchDialog dlg;
    if (!dlg.ShowAndInitialise()) return m;
    dlg.SelectDecoder(c.connectWith);
    dlg.Click(IDC_CONNECT);
    if (!linkcore::Link().portOpen.load()) {
        std::printf("   %d bit/s: no port\n", c.speed);
        return m;
    }
    if (mode == Mode::Simulate) dlg.Tick(IDC_SIMULATE, true);
    dlg.SelectDecoder(c.protocol);
    if (mode == Mode::Monitor) dlg.OnSysCommand(CMD_LINE_MONITOR, 0);
    dlg.Click(IDC_READ_AUTO);
    if (c.speed != static_cast<int>(protocols::Protocol(c.protocol).runStart.speed)) {
        // What the line-speed dialog's OK does.
        linkcore::SetLineSpeed(protocols::LineModeString(static_cast<unsigned>(c.speed)), c.speed);
    }
    bench::RunEventsFor(kSettleMs);

    // The same seconds for both: each reading taken back to back.
    const Sample tool0 = Take(0);
    const Sample floor0 = Take(floor.pid());
    const Clock::time_point t0 = Clock::now();
    bench::RunEventsFor(seconds * 1000);
    const Sample tool1 = Take(0);
    const Sample floor1 = Take(floor.pid());
    m.seconds = std::chrono::duration<double>(Clock::now() - t0).count();

    dlg.QtWindow().reject();
    controller.Signal(SIGTERM);
    controller.Wait(10000);
    floor.Signal(SIGTERM);
    floor.Wait(10000);
    const std::string summary = floor.ReadLineStartingWith("summary", 5000).value_or("");
    m.floorBytes = std::strtoull(bench::FieldOf(summary, "bytes").c_str(), nullptr, 10);

    m.toolPercent = static_cast<double>(tool1.cpuNs - tool0.cpuNs) / 1e9 / m.seconds * 100;
    m.floorPercent = static_cast<double>(floor1.cpuNs - floor0.cpuNs) / 1e9 / m.seconds * 100;
    m.toolWakeups = static_cast<double>(tool1.wakeups - tool0.wakeups) / m.seconds;
    m.floorWakeups = static_cast<double>(floor1.wakeups - floor0.wakeups) / m.seconds;
    m.ok = m.floorPercent > 0;
    return m;
}

std::vector<std::string> ListArgument(int argc, char** argv, const std::string& name, const std::string& fallback) {
    std::string text = fallback;
    for (int i = 1; i + 1 < argc; ++i) {
        if (argv[i] == name) text = argv[i + 1];
    }
    std::vector<std::string> out;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');) {
        if (!item.empty()) out.push_back(item);
    }
    return out;
}

std::string TextArgument(int argc, char** argv, const std::string& name) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (argv[i] == name) return argv[i + 1];
    }
    return {};
}

std::string Times(double ratio) { return bench::Fixed(ratio, ratio < 10 ? 2 : 1); }

}  // namespace

int main(int argc, char** argv) {
    bench::LineBufferedOutput();
    const bool a11y = bench::FlagArgument(argc, argv, "--accessibility");
    const int seconds = std::max(1, bench::IntArgument(argc, argv, "--seconds", 30));
    const std::vector<std::string> speeds = ListArgument(argc, argv, "--speeds", "1200,9600,115200");
    const std::vector<std::string> modes = ListArgument(argc, argv, "--modes", "read,simulate,monitor");
    const std::string build = TextArgument(argc, argv, "--label");

    // The desktop comes before the application object, which reads it.
    std::unique_ptr<bench::VirtualDisplay> display = bench::VirtualDisplay::Start();
    if (display) {
        ::setenv("DISPLAY", display->name().c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    } else {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    std::unique_ptr<bench::AccessibilityBus> bus;
    if (a11y) {
        bus = display ? bench::AccessibilityBus::Start(display->name()) : nullptr;
        if (!bus) {
            std::printf("no accessibility bus (Xvfb, dbus-daemon or at-spi2-core missing): nothing measured\n");
            return 1;
        }
    } else {
        bench::KeepAccessibilityOff();
    }
    QApplication app(argc, argv);
    platform::ui::qt::QtWindowSystem::Install();

    const std::string where =
        std::string(display ? "Xvfb" : "offscreen") + (!a11y              ? ""
                                                       : bus->listening() ? ", accessibility on, a client listening"
                                                                          : ", accessibility on, no client");
    std::printf("== the floor: %s, %d s per case%s\n%s\n", where.c_str(), seconds,
                build.empty() ? "" : (", build " + build).c_str(), bench::MachineLine().c_str());
    const std::string prefix = build.empty() ? "" : "[" + build + "] ";
    const double wake = bench::MicrosPerWakeup();
    bench::PrintResult({"floor", prefix + "this machine: CPU per thread wake-up", bench::Fixed(wake, 1), "-", "us", "-",
                        bench::Verdict::Info, "poll() on a pipe woken from another thread, nothing else done"});

    int failures = 0;
    for (const LineCase& c : kLines) {
        if (std::find(speeds.begin(), speeds.end(), std::to_string(c.speed)) == speeds.end()) continue;
        std::map<Mode, Measured> got;
        for (const ModeInfo& info : kModes) {
            if (std::find(modes.begin(), modes.end(), info.name) == modes.end()) continue;
            const std::string label = prefix + std::to_string(c.speed) + " bit/s " +
                                      std::string(protocols::Protocol(c.protocol).listEntry.substr(1)) + ", " +
                                      info.label + (a11y ? ", accessibility" : "");
            std::printf("-- %s\n", label.c_str());
            const Measured m = RunCase(c, info.mode, seconds);
            if (!m.ok) {
                ++failures;
                continue;
            }
            got[info.mode] = m;
            const std::string detail = "zonter " + bench::Fixed(m.toolPercent, 3) + " % (" +
                                       bench::Fixed(m.toolWakeups, 0) + " wake-ups/s), floor " +
                                       bench::Fixed(m.floorPercent, 3) + " % (" + bench::Fixed(m.floorWakeups, 0) +
                                       " wake-ups/s, " + std::to_string(m.floorBytes) +
                                       " bytes in the whole run) over " + bench::Fixed(m.seconds, 1) + " s; " + where;
            std::printf("   %s\n", detail.c_str());
            const double target = a11y ? info.targetA11y : info.target;
            if (target > 0) {
                bench::PrintResult({"floor", label + ": CPU / floor", Times(m.ratio()), "-", "x floor",
                                    "<= " + bench::Fixed(target, 0) + "x", bench::VerdictOf(m.ratio() <= target),
                                    detail});
            } else {
                bench::PrintResult({"floor", label + ": CPU / floor", Times(m.ratio()), "-", "x floor", "-",
                                    bench::Verdict::Info, detail});
            }
            bench::PrintResult({"floor", label + ": zonter CPU", bench::Fixed(m.toolPercent, 3),
                                bench::Fixed(m.toolWakeups, 0), "% of a core", "-", bench::Verdict::Info,
                                "p99 column: wake-ups/s"});
        }
        if (got.count(Mode::Monitor) && got.count(Mode::Read)) {
            const double extra = got[Mode::Monitor].ratio() - got[Mode::Read].ratio();
            bench::PrintResult({"floor",
                                prefix + std::to_string(c.speed) + " bit/s: line monitor open - closed" +
                                    (a11y ? ", accessibility" : ""),
                                Times(extra), "-", "x floor", "<= 1x", bench::VerdictOf(extra <= 1),
                                "the two ratios above, measured one after the other"});
        }
    }
    return failures == 0 ? 0 : 1;
}
