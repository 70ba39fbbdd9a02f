#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace platform {

// Line-settings record, the stand-in for a DCB.
// Filled either from a mode string (BuildLineSettings) or from a port
// (SerialPort::ReadSettings); in the latter case it keeps the port's whole
// native state so that writing it back restores the port exactly.
struct LineSettings {
    std::int64_t baud = 0;                     // bit/s; 0 = not set
    char parity = 'N';                         // 'N', 'E', 'O', 'M', 'S'
    int dataBits = 8;                          // 5..8
    int stopBits = 1;                          // 1 or 2
    bool fromPort = false;                     // snapshot below is valid
    std::array<unsigned char, 64> snapshot{};  // opaque image of the native state
};

// Fills `out` from a mode string such as "baud=1200 parity=N data=8 stop=1"
// (the form BuildCommDCB takes). Keys may come in any order and are
// case-insensitive; absent keys keep the defaults above.
// Returns false (and leaves `out` unchanged) for text it cannot read.
[[nodiscard]] bool BuildLineSettings(std::string_view mode, LineSettings& out);

// Fastest rate a port is asked for; common UARTs and USB adapters end here.
inline constexpr std::int64_t kMaxRate = 4'000'000;

// Whether a port is asked for `rate` at all: above zero, at most kMaxRate.
[[nodiscard]] inline bool RateAcceptable(std::int64_t rate) { return rate > 0 && rate <= kMaxRate; }

// Whether a driver that was asked for `wanted` bit/s and reports `got` has
// taken the rate. Drivers round the divisor; a UART tolerates about 2%
// between the ends.
[[nodiscard]] inline bool RateTaken(std::int64_t wanted, std::int64_t got) {
    const std::int64_t diff = got > wanted ? got - wanted : wanted - got;
    return diff * 50 <= wanted;
}

}  // namespace platform
