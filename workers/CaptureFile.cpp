#include "workers/CaptureFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <ctime>

#include "protocols/FrameText.h"

namespace workers {

namespace {

constexpr const char* kLineEnd = "\r\n";
// "--Доп-------------------" with the letters in cp1251.
constexpr const char kSeparator[] = "--\xC4\xEE\xEF-------------------";
constexpr int kKeyByte = 13;
constexpr int kMarkByte = 1;
constexpr int kKeysPerLine = 16;

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string Numbered(const std::string& name, int n) {
    if (n < 2) return name;
    const std::size_t dot = name.rfind(".txt");
    return name.substr(0, dot) + "-" + std::to_string(n) + name.substr(dot);
}

}  // namespace

CaptureTime LocalCaptureTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {static_cast<unsigned>(local.tm_year + 1900), static_cast<unsigned>(local.tm_mon + 1),
            static_cast<unsigned>(local.tm_mday), static_cast<unsigned>(local.tm_hour),
            static_cast<unsigned>(local.tm_min)};
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

    text += kSeparator;
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

CaptureWriteResult WriteCaptureFile(const std::string& dir, const std::string& name, const std::string& text) {
    CaptureWriteResult result;
    result.name = name;
    const std::string prefix = dir.empty() ? std::string() : dir + "/";

    std::string temp = prefix + "." + name + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        result.error = errno;
        return result;
    }
    // mkstemp creates the file private; a capture is an ordinary document.
    ::fchmod(fd, 0644);
    const bool complete = WriteAll(fd, text) && ::fsync(fd) == 0;
    const int writeError = errno;
    const bool closed = ::close(fd) == 0;
    if (!complete || !closed) {
        result.error = complete ? errno : writeError;
        ::unlink(temp.c_str());
        return result;
    }
    // link() never replaces an existing file: a taken name moves on to the
    // next suffix.
    for (int n = 1; n < 1000; ++n) {
        const std::string candidate = Numbered(name, n);
        if (::link(temp.c_str(), (prefix + candidate).c_str()) == 0) {
            ::unlink(temp.c_str());
            result.written = true;
            result.name = candidate;
            return result;
        }
        if (errno != EEXIST) {
            result.error = errno;
            break;
        }
    }
    if (result.error == 0) result.error = EEXIST;
    ::unlink(temp.c_str());
    return result;
}

}  // namespace workers
