#include "tools/bench/support/AccessibilityBus.h"

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "tools/bench/support/Clock.h"
#include "tools/bench/support/VirtualDisplay.h"

namespace bench {

namespace {

constexpr const char* kLauncher = "/usr/libexec/at-spi-bus-launcher";
constexpr int kStartBoundMs = 20000;

// A screen reader's ear: every object event (text changes, states, names)
// delivered and dropped.
constexpr const char* kListener =
    "import pyatspi, sys\n"
    "pyatspi.Registry.registerEventListener(lambda event: None, 'object:', 'window:', 'focus:')\n"
    "print('listening', flush=True)\n"
    "pyatspi.Registry.start()\n";

// Whether the launcher has taken its name on the session bus at `address`.
bool LauncherNamed(const std::string& dbusSend, const std::string& address) {
    ChildProcess ask({{dbusSend, "--session", "--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                       "org.freedesktop.DBus.NameHasOwner", "string:org.a11y.Bus"},
                      {"DBUS_SESSION_BUS_ADDRESS=" + address},
                      true});
    return ask.ReadLineStartingWith("   boolean true", 5000).has_value();
}

void End(std::unique_ptr<ChildProcess>& child) {
    if (!child) return;
    child->Signal(SIGTERM);
    child->Wait(5000);
    child.reset();
}

}  // namespace

std::unique_ptr<AccessibilityBus> AccessibilityBus::Start(const std::string& display) {
    const std::string daemon = FindOnPath("dbus-daemon");
    const std::string dbusSend = FindOnPath("dbus-send");
    if (daemon.empty() || dbusSend.empty() || ::access(kLauncher, X_OK) != 0) return nullptr;
    std::unique_ptr<AccessibilityBus> bus(new AccessibilityBus);
    bus->session_ = std::make_unique<ChildProcess>(
        ChildProcess::Setup{{daemon, "--session", "--nofork", "--nopidfile", "--print-address"}, {}, true});
    const auto address = bus->session_->ReadLine(kStartBoundMs);
    if (!address || address->empty()) return nullptr;
    bus->launcher_ = std::make_unique<ChildProcess>(
        ChildProcess::Setup{{kLauncher, "--launch-immediately", "--a11y=1"},
                            {"DBUS_SESSION_BUS_ADDRESS=" + *address, "DISPLAY=" + display},
                            true});
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(kStartBoundMs);
    while (!LauncherNamed(dbusSend, *address)) {
        if (Clock::now() > end || bus->launcher_->Ended()) return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const std::vector<std::string> env = {"DBUS_SESSION_BUS_ADDRESS=" + *address, "DISPLAY=" + display};
    if (::access("/usr/bin/python3", X_OK) == 0) {
        // Debian's own Python holds the AT-SPI bindings.
        auto listener =
            std::make_unique<ChildProcess>(ChildProcess::Setup{{"/usr/bin/python3", "-c", kListener}, env, true});
        if (listener->ReadLineStartingWith("listening", kStartBoundMs)) bus->listener_ = std::move(listener);
    }
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address->c_str(), 1);
    ::setenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1", 1);
    ::setenv("QT_ACCESSIBILITY", "1", 1);
    ::unsetenv("AT_SPI_BUS_ADDRESS");
    return bus;
}

AccessibilityBus::~AccessibilityBus() {
    End(listener_);
    End(launcher_);  // it takes the accessibility bus it started along
    End(session_);
}

void KeepAccessibilityOff() {
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    ::unsetenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON");
    ::unsetenv("AT_SPI_BUS_ADDRESS");
}

}  // namespace bench
