#pragma once

#include <functional>
#include <memory>

namespace platform {

// Watches for COMn to come (back), so that a line that has gone can be
// opened again as soon as its adapter is plugged in.
//
// `changed` runs on the watch's own thread each time the system reports
// something that may have brought COMn: on Linux a device node made or
// given new rights in /dev, or a link placed in the port directory or in
// the folder its COMn link points into; on Windows the arrival of a
// serial device. Where the system may report nothing it also runs once a
// second: on Linux when no watch could be set up, on Windows always (a
// port that comes back need not announce itself; Wine's COM mapping never
// does). It may run while COMn is still missing: the caller tries the
// open and goes on waiting. On Linux nothing wakes between events.
class PortWatch {
public:
    PortWatch(unsigned portNumber, std::function<void()> changed);
    ~PortWatch();  // no call of `changed` runs once this has returned
    PortWatch(const PortWatch&) = delete;
    PortWatch& operator=(const PortWatch&) = delete;

    struct System;  // each system's own

private:
    std::unique_ptr<System> system_;
};

}  // namespace platform
