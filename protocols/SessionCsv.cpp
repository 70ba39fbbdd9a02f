#include "protocols/SessionCsv.h"

#include <array>
#include <charconv>
#include <string>
#include <system_error>

#include "protocols/FrameText.h"
#include "protocols/HexPairs.h"
#include "protocols/TextLines.h"

namespace protocols {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kHeader = "время;направление;dt_мс;байты;V/T;P";
constexpr std::string_view kLineEnd = "\r\n";
constexpr char kSeparator = ';';
constexpr std::size_t kFields = 6;
// A row of the longest values takes under 200 bytes.
constexpr std::size_t kMaxLineBytes = 1024;
// Δt of an int64 ns clock has at most 13 digits before the point; with no
// more, a value written with one decimal reads back to the same text.
constexpr std::size_t kMaxDtIntegerDigits = 13;
constexpr std::size_t kMaxDtFractionDigits = 9;
constexpr std::size_t kMaxIntegerDigits = 10;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Counts the digits at `at` onwards.
std::size_t DigitsAt(std::string_view s, std::size_t at) {
    std::size_t n = 0;
    while (at + n < s.size() && IsDigit(s[at + n])) ++n;
    return n;
}

// A fixed-width decimal field of the time text.
int Number(std::string_view s, std::size_t at, std::size_t width) {
    int value = 0;
    for (std::size_t i = at; i < at + width; ++i) value = value * 10 + (s[i] - '0');
    return value;
}

// "ГГГГ-ММ-ДДTчч:мм:сс.ммм"; the message when it is not.
std::optional<std::string> ReadTime(std::string_view s, WallTime& t) {
    static constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:dd.ddd";
    bool shaped = s.size() == kShape.size();
    for (std::size_t i = 0; shaped && i < s.size(); ++i) {
        shaped = kShape[i] == 'd' ? IsDigit(s[i]) : s[i] == kShape[i];
    }
    if (!shaped) return "время: ожидается ГГГГ-ММ-ДДTчч:мм:сс.ммм";
    t = WallTime{Number(s, 0, 4),  Number(s, 5, 2),  Number(s, 8, 2), Number(s, 11, 2),
                 Number(s, 14, 2), Number(s, 17, 2), Number(s, 20, 3)};
    if (!IsValidWallTime(t)) return "время: такой даты или времени суток не бывает";
    return std::nullopt;
}

std::optional<std::string> ReadDirection(std::string_view s, Direction& d) {
    for (const Direction candidate : {Direction::FromController, Direction::ToController}) {
        if (s == DirectionText(candidate)) {
            d = candidate;
            return std::nullopt;
        }
    }
    return "направление: ожидается «КМ→» или «→КМ»";
}

// Empty, or an optional minus, digits, and optionally a point and digits.
std::optional<std::string> ReadDt(std::string_view s, std::optional<double>& dt) {
    if (s.empty()) return std::nullopt;
    static const std::string kMessage = "dt_мс: ожидается число миллисекунд (например 160.3) или пустое поле";
    const std::size_t sign = s[0] == '-' ? 1 : 0;
    const std::size_t whole = DigitsAt(s, sign);
    if (whole == 0 || whole > kMaxDtIntegerDigits) return kMessage;
    std::size_t end = sign + whole;
    if (end < s.size() && s[end] == '.') {
        const std::size_t fraction = DigitsAt(s, end + 1);
        if (fraction == 0 || fraction > kMaxDtFractionDigits) return kMessage;
        end += 1 + fraction;
    }
    if (end != s.size()) return kMessage;
    double value = 0;
    const auto [ptr, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (error != std::errc{} || ptr != s.data() + s.size()) return kMessage;
    dt = value;
    return std::nullopt;
}

std::optional<std::string> ReadBytes(std::string_view s, std::vector<std::uint8_t>& bytes) {
    if (s.empty()) return "байты: нет ни одного байта";
    // Room for every pair a line can hold, so that a long list is told from
    // a malformed one.
    std::array<std::uint8_t, kMaxLineBytes / 3 + 1> read{};
    const std::optional<std::size_t> count = ReadHexPairs(s, read);
    if (!count) return "байты: ожидаются пары шестнадцатеричных цифр через пробел";
    if (*count > kSessionRowMaxBytes) {
        return "байты: их " + std::to_string(*count) + ", а в кадре не больше " + std::to_string(kSessionRowMaxBytes);
    }
    bytes.assign(read.begin(), read.begin() + static_cast<std::ptrdiff_t>(*count));
    return std::nullopt;
}

// Empty, or a whole number that fits an int.
std::optional<std::string> ReadValue(std::string_view s, std::string_view name, std::optional<int>& value) {
    if (s.empty()) return std::nullopt;
    const std::size_t sign = s[0] == '-' ? 1 : 0;
    const std::size_t digits = DigitsAt(s, sign);
    int v = 0;
    if (digits > 0 && digits <= kMaxIntegerDigits && sign + digits == s.size()) {
        const auto [ptr, error] = std::from_chars(s.data(), s.data() + s.size(), v);
        if (error == std::errc{} && ptr == s.data() + s.size()) {
            value = v;
            return std::nullopt;
        }
    }
    return std::string(name) + ": ожидается целое число или пустое поле";
}

// One data line; the message of the first field that is wrong.
std::optional<std::string> ReadRow(std::string_view line, SessionRow& row) {
    if (line.size() > kMaxLineBytes) return "строка длиннее " + std::to_string(kMaxLineBytes) + " байтов";
    std::array<std::string_view, kFields> fields;
    std::size_t count = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = line.find(kSeparator, start);
        const std::string_view field = line.substr(start, end == std::string_view::npos ? line.npos : end - start);
        if (count < kFields) fields[count] = field;
        ++count;
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    if (count != kFields) {
        return "ожидается " + std::to_string(kFields) + " полей через «;», а их " + std::to_string(count);
    }
    if (auto e = ReadTime(fields[0], row.time)) return e;
    if (auto e = ReadDirection(fields[1], row.direction)) return e;
    if (auto e = ReadDt(fields[2], row.dtMs)) return e;
    if (auto e = ReadBytes(fields[3], row.bytes)) return e;
    if (auto e = ReadValue(fields[4], "V/T", row.vt)) return e;
    if (auto e = ReadValue(fields[5], "P", row.p)) return e;
    return std::nullopt;
}

}  // namespace

std::string SessionCsvHeader() {
    std::string text(kByteOrderMark);
    text += kHeader;
    text += kLineEnd;
    return text;
}

std::string SessionCsvLine(const SessionRow& row) {
    std::string line = IsoTimeText(row.time);
    line += kSeparator;
    line += DirectionText(row.direction);
    line += kSeparator;
    line += DeltaText(row.dtMs);
    line += kSeparator;
    std::string bytes = HexBytes(row.bytes);
    if (!bytes.empty()) bytes.pop_back();  // the blank after the last pair
    line += bytes;
    line += kSeparator;
    if (row.vt) line += std::to_string(*row.vt);
    line += kSeparator;
    if (row.p) line += std::to_string(*row.p);
    line += kLineEnd;
    return line;
}

SessionReadResult ReadSessionCsv(std::string_view text) { return ReadSessionCsv(text, kSessionMaxRows); }

SessionReadResult ReadSessionCsv(std::string_view text, std::size_t maxRows) {
    SessionReadResult result;
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    TextLines lines(text);
    std::string_view line;
    if (!lines.Next(line)) {
        result.error = ReadError{1, "файл пуст: нет строки заголовка"};
        return result;
    }
    if (line != kHeader) {
        result.error = ReadError{1, "заголовок: ожидается «" + std::string(kHeader) + "»"};
        return result;
    }
    while (lines.Next(line)) {
        if (result.rows.size() == maxRows) {
            result.error = ReadError{lines.Number(), "больше " + std::to_string(maxRows) + " строк данных"};
            return result;
        }
        SessionRow row;
        if (auto message = ReadRow(line, row)) {
            result.error = ReadError{lines.Number(), std::move(*message)};
            return result;
        }
        result.rows.push_back(std::move(row));
    }
    return result;
}

}  // namespace protocols
