#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace protocols {

// Bytes as shown on screen and in the capture file: "%.2X " per byte, two
// upper-case hexadecimal digits and a blank, so n bytes give 3n characters.
[[nodiscard]] std::string HexBytes(std::span<const std::uint8_t> bytes);

}  // namespace protocols
