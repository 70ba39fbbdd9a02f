#pragma once

#include <memory>
#include <optional>
#include <string>

#include "tools/bench/support/ChildProcess.h"
#include "tools/bench/support/Clock.h"

namespace bench {

// A private X server (Xvfb) with a watch on its top-level windows, so that
// the moment a program's window is mapped can be seen from outside it.
class VirtualDisplay {
public:
    // Nothing when Xvfb is not installed, the benchmarks were built without
    // xcb, or the server did not come up.
    static std::unique_ptr<VirtualDisplay> Start();
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // ":N", for DISPLAY.
    const std::string& name() const { return name_; }

    // Forgets the windows mapped so far.
    void Drain();

    // Waits up to boundMs for a top-level window to be mapped; when it was.
    std::optional<Clock::time_point> WaitForMap(int boundMs);

private:
    VirtualDisplay() = default;
    std::unique_ptr<ChildProcess> server_;
    std::string name_;
    void* connection_ = nullptr;  // xcb_connection_t
};

// The full path of `program` found on PATH; empty when absent.
std::string FindOnPath(const std::string& program);

}  // namespace bench
