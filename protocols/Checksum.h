#pragma once

#include <cstdint>
#include <span>

namespace protocols {

// Exclusive OR of all given bytes; the checksum of both display frames.
[[nodiscard]] std::uint8_t XorOf(std::span<const std::uint8_t> bytes);

}  // namespace protocols
