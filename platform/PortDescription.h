#pragma once

#include <string>

namespace platform {

// What the system calls port COMn for people, such as
// "USB-SERIAL CH340 (COM5)", for the state line's tooltip. Empty when the
// system has no such name for it.
[[nodiscard]] std::string PortFriendlyName(unsigned n);

}  // namespace platform
