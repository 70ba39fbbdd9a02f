#include "platform/IntegerScan.h"

#include <cstdint>
#include <limits>

namespace platform {

namespace {

constexpr std::size_t kScannedChars = 63;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool ScanDialogInteger(std::string_view text, int& value) {
    text = text.substr(0, kScannedChars);
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;

    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size() || !IsDigit(text[i])) return false;

    // Past this magnitude every value saturates; stop growing to avoid overflow.
    constexpr std::int64_t kCap = std::int64_t{1} << 32;
    std::int64_t magnitude = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        if (magnitude < kCap) magnitude = magnitude * 10 + (text[i] - '0');
    }

    const std::int64_t signedValue = negative ? -magnitude : magnitude;
    constexpr std::int64_t kMin = std::numeric_limits<int>::min();
    constexpr std::int64_t kMax = std::numeric_limits<int>::max();
    value = static_cast<int>(signedValue < kMin ? kMin : (signedValue > kMax ? kMax : signedValue));
    return true;
}

}  // namespace platform
