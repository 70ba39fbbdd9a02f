#pragma once

#include <memory>
#include <string>

#include "tools/bench/support/ChildProcess.h"

namespace bench {

// A private D-Bus session bus with the AT-SPI bus launcher on it, as a
// desktop with a screen reader has them, and this process's environment
// set so that Qt's accessibility bridge comes up on them
// (QT_LINUX_ACCESSIBILITY_ALWAYS_ON). Where the AT-SPI Python bindings are
// installed, a client listens to every object event, as a screen reader
// does: without a listener Qt's bridge sends few of its events. Ended with
// the object.
class AccessibilityBus {
public:
    // Nothing when dbus-daemon or the launcher is missing or did not come
    // up; `display` is the X display the launcher is told of.
    static std::unique_ptr<AccessibilityBus> Start(const std::string& display);
    ~AccessibilityBus();
    AccessibilityBus(const AccessibilityBus&) = delete;
    AccessibilityBus& operator=(const AccessibilityBus&) = delete;

private:
    AccessibilityBus() = default;
    std::unique_ptr<ChildProcess> session_;
    std::unique_ptr<ChildProcess> launcher_;
    std::unique_ptr<ChildProcess> listener_;

public:
    bool listening() const { return listener_ != nullptr; }
};

// Leaves Qt's accessibility bridge off: no session bus, nothing forcing it.
void KeepAccessibilityOff();

}  // namespace bench
