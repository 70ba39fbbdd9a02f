#include "protocols/CaptureReader.h"

#include <charconv>
#include <string>
#include <system_error>

#include "protocols/HexPairs.h"
#include "protocols/TextLines.h"

namespace protocols {

namespace {

constexpr std::string_view kSeparatorUtf8 = "--Доп-------------------";
// The frame's bytes as HexBytes writes them, each pair followed by a blank.
constexpr std::size_t kBytesText = 3 * kCaptureFrameBytes;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads `fewest` to `most` digits at `at`, moving `at` past them.
bool ReadNumber(std::string_view s, std::size_t& at, std::size_t fewest, std::size_t most, int& value) {
    const std::size_t start = at;
    value = 0;
    while (at < s.size() && IsDigit(s[at]) && at - start < most) value = value * 10 + (s[at++] - '0');
    return at - start >= fewest && (at == s.size() || !IsDigit(s[at]));
}

bool Expect(std::string_view s, std::size_t& at, char c) {
    if (at >= s.size() || s[at] != c) return false;
    ++at;
    return true;
}

// "д.м.гггг ч:м", as the writer's "%u.%u.%u %u:%u" gives it for a year of
// four digits (a leading zero elsewhere is taken too); the message when it
// is not.
std::optional<std::string> ReadHeader(std::string_view s, WallTime& t) {
    std::size_t at = 0;
    t = WallTime{0, 0, 0, 0, 0, 0, 0};
    const bool shaped = ReadNumber(s, at, 1, 2, t.day) && Expect(s, at, '.') && ReadNumber(s, at, 1, 2, t.month) &&
                        Expect(s, at, '.') && ReadNumber(s, at, 4, 4, t.year) && Expect(s, at, ' ') &&
                        ReadNumber(s, at, 1, 2, t.hour) && Expect(s, at, ':') && ReadNumber(s, at, 1, 2, t.minute) &&
                        at == s.size() && t.year >= 1000;
    if (!shaped) return "заголовок: ожидаются дата и время записи «д.м.гггг ч:м»";
    if (!IsValidWallTime(t)) return "заголовок: такой даты или времени суток не бывает";
    return std::nullopt;
}

// "XX XX ... XX ;k" for frame k. Messages are made only for a bad line:
// a good file is read without building any text.
std::optional<std::string> ReadFrameLine(std::string_view s, std::size_t k,
                                         std::array<std::uint8_t, kCaptureFrameBytes>& frame) {
    const bool bytesRead = s.size() >= kBytesText && s[kBytesText - 1] == ' ' &&
                           ReadHexPairs(s.substr(0, kBytesText - 1), frame) == kCaptureFrameBytes;
    if (!bytesRead) {
        return "кадр " + std::to_string(k) + ": ожидаются " + std::to_string(kCaptureFrameBytes) +
               " байтов — пары шестнадцатеричных цифр, за каждой пробел";
    }
    char index[24];
    index[0] = ';';
    const auto [end, error] = std::to_chars(index + 1, index + sizeof index, k);
    const std::string_view expected(index, error == std::errc{} ? static_cast<std::size_t>(end - index) : 0);
    if (s.substr(kBytesText) != expected) {
        return "кадр " + std::to_string(k) + ": после байтов ожидается «" + std::string(expected) + "»";
    }
    return std::nullopt;
}

}  // namespace

CaptureReadResult ReadCaptureFile(std::string_view text) {
    // A file that ends early is named by its last line, where it ends.
    CaptureReadResult result;
    TextLines lines(text);
    std::string_view line;
    if (!lines.Next(line)) {
        result.error = ReadError{1, "файл пуст: нет заголовка"};
        return result;
    }
    if (auto message = ReadHeader(line, result.time)) {
        result.error = ReadError{1, std::move(*message)};
        return result;
    }
    result.frames.reserve(kCaptureFrames);
    for (std::size_t k = 0; k < kCaptureFrames; ++k) {
        if (!lines.Next(line)) {
            result.error = ReadError{
                lines.Number(), "файл кончился: кадров " + std::to_string(k) + " из " + std::to_string(kCaptureFrames)};
            return result;
        }
        std::array<std::uint8_t, kCaptureFrameBytes> frame{};
        if (auto message = ReadFrameLine(line, k, frame)) {
            result.error = ReadError{lines.Number(), std::move(*message)};
            return result;
        }
        result.frames.push_back(frame);
    }
    const std::string expected =
        "ожидается разделитель «--Доп-------------------» после кадра " + std::to_string(kCaptureFrames - 1);
    if (!lines.Next(line)) {
        result.error = ReadError{lines.Number(), "файл кончился: " + expected};
    } else if (line != kCaptureSeparator && line != kSeparatorUtf8) {
        result.error = ReadError{lines.Number(), expected};
    }
    return result;
}

}  // namespace protocols
