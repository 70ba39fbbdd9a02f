#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kmsim {

// What a UART receiver set to `readRate` makes of `bytes` that a sender at
// `sendRate` put on the line back to back (8N1, the line idle high before
// and after). The receiver starts a character at each fall of the line
// from high to low, checks the start bit in its middle (a high there is
// no character), samples the eight data bits and the stop bit in their
// middles at its own rate, and drops a character whose stop bit reads low
// (a framing error). It then waits for the next fall. At equal rates the
// bytes come through unchanged; at a wrong rate they come out misframed,
// shifted or lost, as on a real line, never as silence or filler.
// Rates that are not positive read nothing.
[[nodiscard]] std::vector<std::uint8_t> ReadAtRate(std::span<const std::uint8_t> bytes, std::int64_t sendRate,
                                                   std::int64_t readRate);

}  // namespace kmsim
