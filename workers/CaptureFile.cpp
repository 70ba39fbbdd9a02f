#include "workers/CaptureFile.h"

#include <cstdio>

#include "platform/NewFile.h"
#include "protocols/CaptureFormat.h"
#include "protocols/FrameText.h"

namespace workers {

namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr std::size_t kKeyByte = protocols::kCaptureKeyByte;
constexpr std::size_t kMarkByte = protocols::kCaptureMarkByte;
constexpr int kKeysPerLine = 16;

std::string Numbered(const std::string& name, int n) {
    if (n < 2) return name;
    const std::size_t dot = name.rfind(".txt");
    return name.substr(0, dot) + "-" + std::to_string(n) + name.substr(dot);
}

}  // namespace

CaptureTime LocalCaptureTime() {
    const platform::LocalTime now = platform::LocalTimeNow();
    return {now.year, now.month, now.day, now.hour, now.minute};
}

std::string CaptureFileName(const CaptureTime& t) {
    char name[64];
    std::snprintf(name, sizeof name, "km%02u%02u%02u%02u.txt", t.month, t.day, t.hour, t.minute);
    return name;
}

std::string CaptureFileText(std::span<const std::uint8_t, kCaptureBytes> frames, const CaptureTime& t) {
    std::string text;
    text.reserve(kCaptureFrames * 52 + 4000);

    char header[96];
    std::snprintf(header, sizeof header, "%u.%u.%u %u:%u", t.day, t.month, t.year, t.hour, t.minute);
    text += header;
    text += kLineEnd;

    for (int k = 0; k < kCaptureFrames; ++k) {
        text +=
            protocols::HexBytes(frames.subspan(static_cast<std::size_t>(k) * kCaptureFrameBytes, kCaptureFrameBytes));
        text += ';';
        text += std::to_string(k);
        text += kLineEnd;
    }

    text += protocols::kCaptureSeparator;
    text += kLineEnd;

    int first = 0;
    while (first < kCaptureFrames && frames[static_cast<std::size_t>(first) * kCaptureFrameBytes + kMarkByte] != 0x00)
        ++first;
    int onLine = 0;
    for (int k = first; k < kCaptureFrames; ++k) {
        char value[8];
        std::snprintf(value, sizeof value, "%.2X,",
                      frames[static_cast<std::size_t>(k) * kCaptureFrameBytes + kKeyByte]);
        text += value;
        if (++onLine == kKeysPerLine) {
            text += kLineEnd;
            onLine = 0;
        }
    }
    return text;
}

CaptureWriteResult WriteCaptureFile(const std::string& dir, const std::string& name, const std::string& text,
                                    const platform::Event* stop) {
    return platform::WriteNewFile(
        dir, [&name](int n) { return Numbered(name, n); }, text, stop);
}

}  // namespace workers
