#include "platform/PortNames.h"

namespace platform {

// How a number becomes a device is each system's own (posix/, win32/);
// the name is the same everywhere.
std::string ComName(unsigned n) { return "COM" + std::to_string(n); }

}  // namespace platform
