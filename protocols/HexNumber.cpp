#include "protocols/HexNumber.h"

#include <cstddef>
#include <limits>

namespace protocols {
namespace {

bool IsCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::int32_t ReadHexNumber(std::string_view text) {
    std::size_t i = 0;
    const auto at = [&](std::size_t k) { return k < text.size() ? text[k] : '\0'; };

    while (IsCSpace(at(i))) ++i;

    bool negative = false;
    if (at(i) == '+' || at(i) == '-') {
        negative = at(i) == '-';
        ++i;
    }

    // The prefix counts only when a digit follows it; otherwise the "0" alone
    // is the number.
    if (at(i) == '0' && (at(i + 1) == 'x' || at(i + 1) == 'X') && HexDigitValue(at(i + 2)) >= 0) {
        i += 2;
    }

    // Magnitudes beyond 2^31 all saturate alike, so accumulation stops growing there.
    constexpr std::uint64_t kCap = std::uint64_t{1} << 32;
    std::uint64_t magnitude = 0;
    for (int digit = HexDigitValue(at(i)); digit >= 0; digit = HexDigitValue(at(++i))) {
        magnitude = magnitude * 16 + static_cast<std::uint64_t>(digit);
        if (magnitude > kCap) magnitude = kCap;
    }

    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    const std::int64_t value = negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    if (value > kMax) return static_cast<std::int32_t>(kMax);
    if (value < kMin) return static_cast<std::int32_t>(kMin);
    return static_cast<std::int32_t>(value);
}

}  // namespace protocols
