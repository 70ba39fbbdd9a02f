#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace protocols {

// Reads bytes written as pairs of hexadecimal digits (either case) with one
// blank between pairs and none before the first or after the last, e.g.
// "36 0A ff". Gives the number of bytes stored in `out`; nothing when the
// text has another shape, is empty or holds more bytes than `out` takes.
[[nodiscard]] std::optional<std::size_t> ReadHexPairs(std::string_view text, std::span<std::uint8_t> out);

}  // namespace protocols
