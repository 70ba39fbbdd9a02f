#pragma once

#include <cstdint>

#include "platform/LineSettings.h"

// The line settings of a terminal device: the part of the serial port that
// each POSIX system does its own way (Linux through termios2, for any bit
// rate). A failing call returns false with errno as the system set it;
// what is refused before it reaches the driver sets EINVAL.
namespace platform::terminal {

// Reads the terminal's whole state into `out` (LineSettings::snapshot).
[[nodiscard]] bool Read(int fd, LineSettings& out);

// Makes the line raw on top of `state`, a record Read gave: 8N1, no flow
// control, modem lines ignored, reads returning as soon as a byte is there.
[[nodiscard]] bool MakeRaw(int fd, const LineSettings& state);

// SerialPort::ApplySettings on the terminal `fd`.
[[nodiscard]] bool Apply(int fd, const LineSettings& s);

// The output rate the line runs at; 0 when it is hung up (rate 0) or its
// state cannot be read.
[[nodiscard]] std::int64_t Rate(int fd);

}  // namespace platform::terminal
