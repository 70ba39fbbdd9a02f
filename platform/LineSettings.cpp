#include "platform/LineSettings.h"

#include <cstdint>
#include <limits>
#include <string>

namespace platform {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string Lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = Lower(c);
    return out;
}

// A whole signed decimal number; the rate is kept as written, and the
// port decides later whether it can run at it.
bool ParseRate(std::string_view text, std::int64_t& rate) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size()) return false;
    // Built up below zero: the negative range is one larger, so the most
    // negative rate fits as well.
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return false;
        const int digit = c - '0';
        if (value < (kMin + digit) / 10) return false;
        value = value * 10 - digit;
    }
    if (!negative && value == kMin) return false;
    rate = negative ? value : -value;
    return true;
}

}  // namespace

bool BuildLineSettings(std::string_view mode, LineSettings& out) {
    LineSettings next = out;
    // A record built from text describes a line, not a port's saved state.
    next.fromPort = false;

    std::size_t pos = 0;
    for (;;) {
        while (pos < mode.size() && IsSpace(mode[pos])) ++pos;
        if (pos == mode.size()) break;
        std::size_t end = pos;
        while (end < mode.size() && !IsSpace(mode[end])) ++end;
        const std::string_view item = mode.substr(pos, end - pos);
        pos = end;

        const std::size_t eq = item.find('=');
        if (eq == std::string_view::npos || eq == 0) return false;
        const std::string key = Lowered(item.substr(0, eq));
        const std::string_view value = item.substr(eq + 1);
        if (value.empty()) return false;

        if (key == "baud") {
            if (!ParseRate(value, next.baud)) return false;
        } else if (key == "parity") {
            const char p = value.size() == 1 ? Upper(value[0]) : '\0';
            if (p != 'N' && p != 'E' && p != 'O' && p != 'M' && p != 'S') return false;
            next.parity = p;
        } else if (key == "data") {
            if (value.size() != 1 || value[0] < '5' || value[0] > '8') return false;
            next.dataBits = value[0] - '0';
        } else if (key == "stop") {
            // 1.5 stop bits have no termios form, so they are refused.
            if (value == "1") {
                next.stopBits = 1;
            } else if (value == "2") {
                next.stopBits = 2;
            } else {
                return false;
            }
        } else {
            return false;
        }
    }

    out = next;
    return true;
}

}  // namespace platform
