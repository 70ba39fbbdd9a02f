#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {

// Where the serial ports present are looked up; the defaults are the
// live system, tests point them at a tree of their own.
struct SerialScanRoots {
    std::string ttyClassDir = "/sys/class/tty";
    std::string devDir = "/dev";
    std::string cmdlineFile = "/proc/cmdline";
};

// Device paths of the serial ports present, in the order port numbers are
// given to them: on-board UARTs (ttyS* with a non-zero type), then ttyUSB*,
// then ttyACM*, each by number; the system console is left out.
[[nodiscard]] std::vector<std::string> ListSerialPorts(const SerialScanRoots& roots);

// ResolveComPort (PortNames.h) with the real ports looked up under `roots`.
[[nodiscard]] std::optional<std::string> ResolveComPort(unsigned n, const SerialScanRoots& roots);

}  // namespace platform
