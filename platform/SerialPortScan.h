#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {

// The serial ports present, looked up in the system's tree of devices (a
// folder of terminal classes, a folder of device nodes, the kernel's
// command line). The system's implementation knows where the live tree
// is; tests point the scan at a tree of their own.
struct SerialScanRoots {
    std::string ttyClassDir;
    std::string devDir;
    std::string cmdlineFile;
};

// Where the live system keeps that tree.
[[nodiscard]] SerialScanRoots SystemScanRoots();

// Device paths of the serial ports present, in the order port numbers are
// given to them: on-board UARTs (ttyS* with a non-zero type), then ttyUSB*,
// then ttyACM*, each by number; the system console is left out.
[[nodiscard]] std::vector<std::string> ListSerialPorts(const SerialScanRoots& roots);

// ResolveComPort (PortNames.h) with the real ports looked up under `roots`.
[[nodiscard]] std::optional<std::string> ResolveComPort(unsigned n, const SerialScanRoots& roots);

}  // namespace platform
