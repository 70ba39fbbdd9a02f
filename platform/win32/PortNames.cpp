#include "platform/PortNames.h"

namespace platform {

// COMn is the system's own name on Windows: there is no port directory,
// nothing to register, and the number is never mapped to another device.

std::string PortDirectory() { return {}; }

void SetPortDirectory(const std::string&) {}

void SetPortDirectoryOnly(bool) {}

// The \\.\ form reaches COM10 and above as well as COM1..COM9.
std::optional<std::string> ResolveComPort(unsigned n) {
    if (n == 0) return std::nullopt;
    return "\\\\.\\" + ComName(n);
}

std::optional<std::string> RegisterPort(unsigned, const std::string&) { return std::nullopt; }

void UnregisterPort(unsigned, const std::string&) {}

}  // namespace platform
