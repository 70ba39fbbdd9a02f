#include "protocols/SessionCsv.h"

#include <algorithm>
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
constexpr std::string_view kTimeShape = "dddd-dd-ddTdd:dd:dd.ddd";
// The shortest data line, with its line end: a time, a direction, one
// byte, the separators.
constexpr std::size_t kShortestLineBytes = kTimeShape.size() + std::string_view("КМ→").size() + 2 + (kFields - 1) + 1;

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
std::optional<std::string> ReadTime(std::string_view s, std::int64_t& ms) {
    bool shaped = s.size() == kTimeShape.size();
    for (std::size_t i = 0; shaped && i < s.size(); ++i) {
        shaped = kTimeShape[i] == 'd' ? IsDigit(s[i]) : s[i] == kTimeShape[i];
    }
    if (!shaped) return "время: ожидается ГГГГ-ММ-ДДTчч:мм:сс.ммм";
    const WallTime t{Number(s, 0, 4),  Number(s, 5, 2),  Number(s, 8, 2), Number(s, 11, 2),
                     Number(s, 14, 2), Number(s, 17, 2), Number(s, 20, 3)};
    if (!IsValidWallTime(t)) return "время: такой даты или времени суток не бывает";
    ms = MillisecondsBetween(kSessionEpoch, t);
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
std::optional<std::string> ReadDt(std::string_view s, SessionRecord& row) {
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
    row.dtMs = value;
    row.present |= SessionRecord::kHasDt;
    return std::nullopt;
}

std::optional<std::string> ReadBytes(std::string_view s, SessionRecord& row) {
    if (s.empty()) return "байты: нет ни одного байта";
    if (const std::optional<std::size_t> count = ReadHexPairs(s, row.bytes)) {
        row.length = static_cast<std::uint8_t>(*count);
        return std::nullopt;
    }
    // Too many for a frame, or no pairs: told apart with room for every
    // pair a line can hold.
    std::array<std::uint8_t, kMaxLineBytes / 3 + 1> read;
    const std::optional<std::size_t> count = ReadHexPairs(s, read);
    if (!count) return "байты: ожидаются пары шестнадцатеричных цифр через пробел";
    return "байты: их " + std::to_string(*count) + ", а в кадре не больше " + std::to_string(kSessionRowMaxBytes);
}

// Empty, or a whole number that fits an int.
std::optional<std::string> ReadValue(std::string_view s, std::string_view name, std::int32_t& value, std::uint8_t bit,
                                     std::uint8_t& present) {
    if (s.empty()) return std::nullopt;
    const std::size_t sign = s[0] == '-' ? 1 : 0;
    const std::size_t digits = DigitsAt(s, sign);
    if (digits > 0 && digits <= kMaxIntegerDigits && sign + digits == s.size()) {
        const auto [ptr, error] = std::from_chars(s.data(), s.data() + s.size(), value);
        if (error == std::errc{} && ptr == s.data() + s.size()) {
            present |= bit;
            return std::nullopt;
        }
    }
    return std::string(name) + ": ожидается целое число или пустое поле";
}

// One data line; the message of the first field that is wrong.
std::optional<std::string> ReadRow(std::string_view line, SessionRecord& row) {
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
    if (auto e = ReadTime(fields[0], row.timeMs)) return e;
    if (auto e = ReadDirection(fields[1], row.direction)) return e;
    if (auto e = ReadDt(fields[2], row)) return e;
    if (auto e = ReadBytes(fields[3], row)) return e;
    if (auto e = ReadValue(fields[4], "V/T", row.vt, SessionRecord::kHasVt, row.present)) return e;
    if (auto e = ReadValue(fields[5], "P", row.p, SessionRecord::kHasP, row.present)) return e;
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

SessionRow RowOf(const SessionRecord& record) {
    SessionRow row;
    row.time = WallTimeAfter(kSessionEpoch, record.timeMs);
    row.direction = record.direction;
    if (record.present & SessionRecord::kHasDt) row.dtMs = record.dtMs;
    row.bytes.assign(record.bytes.begin(), record.bytes.begin() + record.length);
    if (record.present & SessionRecord::kHasVt) row.vt = record.vt;
    if (record.present & SessionRecord::kHasP) row.p = record.p;
    return row;
}

SessionLog ParseSessionCsv(std::string_view text, std::size_t maxRows, const SessionProgress& progress) {
    SessionLog log;
    // The progress counts from the start of the whole text.
    const std::size_t mark = text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
    text.remove_prefix(mark);
    TextLines lines(text);
    std::string_view line;
    if (!lines.Next(line)) {
        log.error = ReadError{1, "файл пуст: нет строки заголовка"};
        return log;
    }
    if (line != kHeader) {
        log.error = ReadError{1, "заголовок: ожидается «" + std::string(kHeader) + "»"};
        return log;
    }
    // Room for as many rows as the text can hold: what stays unused is
    // never touched, so takes no memory.
    log.rows.reserve(std::min(maxRows, text.size() / kShortestLineBytes + 1));
    std::size_t nextProgress = kSessionProgressBytes;
    while (lines.Next(line)) {
        if (log.rows.size() == maxRows) {
            log.error = ReadError{lines.Number(), "больше " + std::to_string(maxRows) + " строк данных"};
            return log;
        }
        if (auto message = ReadRow(line, log.rows.emplace_back())) {
            log.rows.pop_back();
            log.error = ReadError{lines.Number(), std::move(*message)};
            return log;
        }
        const std::size_t read = mark + lines.Position();
        if (progress && read >= nextProgress) {
            nextProgress = read + kSessionProgressBytes;
            if (!progress(read)) {
                log.stopped = true;
                return log;
            }
        }
    }
    return log;
}

SessionReadResult ReadSessionCsv(std::string_view text) { return ReadSessionCsv(text, kSessionMaxRows); }

SessionReadResult ReadSessionCsv(std::string_view text, std::size_t maxRows) {
    SessionLog log = ParseSessionCsv(text, maxRows);
    SessionReadResult result;
    result.rows.reserve(log.rows.size());
    for (const SessionRecord& record : log.rows) result.rows.push_back(RowOf(record));
    result.error = std::move(log.error);
    return result;
}

}  // namespace protocols
