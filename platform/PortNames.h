#pragma once

#include <optional>
#include <string>

namespace platform {

// "COM%u" names, resolved by each system its own way.
//
// On Windows COMn is the system's own name (\\.\COMn): there is no port
// directory and nothing to register.
//
// On Linux a port number n resolves, in this order, to:
//  1. the link or file named "COMn" in the port directory
//     ($XDG_RUNTIME_DIR/zonter/ports, else /tmp/zonter-<uid>/ports) --
//     the controller simulator and the tests register pseudo-terminals
//     there, and a user may pin a number to /dev/serial/by-id/... This
//     step is taken only while the port directory (and /tmp/zonter-<uid>
//     when it lies there) is a real directory of this user's that no one
//     else may write to;
//  2. otherwise the n-th serial port present: on-board UARTs (ttyS* whose
//     /sys/class/tty/ttySk/type is not 0) first, then ttyUSB*, then
//     ttyACM*, each by number, leaving out the system console.

// The port directory in force (created on demand by RegisterPort).
[[nodiscard]] std::string PortDirectory();

// Points the port directory elsewhere (tests); empty restores the default.
void SetPortDirectory(const std::string& dir);

// When set, step 2 is skipped: only the port directory is searched.
// Tests set it so that no test ever opens a real device.
void SetPortDirectoryOnly(bool only);

// "COM" followed by n.
[[nodiscard]] std::string ComName(unsigned n);

// The device path that COMn resolves to, or nothing.
[[nodiscard]] std::optional<std::string> ResolveComPort(unsigned n);

// Creates the port directory if needed and makes COMn a symlink to
// `device`, replacing an earlier link of that name. Returns the link path;
// nothing when the link cannot be made or the port directory is not
// private by the rule of step 1.
[[nodiscard]] std::optional<std::string> RegisterPort(unsigned n, const std::string& device);

// Removes the COMn link if it still points at `device`.
void UnregisterPort(unsigned n, const std::string& device);

}  // namespace platform
