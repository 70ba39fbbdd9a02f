#include "platform/NewFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace platform {

namespace {

constexpr int kMostNames = 999;

bool WriteAll(int fd, std::string_view text) {
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

}  // namespace

NewFileResult WriteNewFile(const std::string& dir, const std::function<std::string(int)>& nameFor,
                           std::string_view contents) {
    NewFileResult result;
    result.name = nameFor(1);
    const std::string prefix = dir.empty() ? std::string() : dir + "/";

    std::string temp = prefix + "." + result.name + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        result.error = errno;
        return result;
    }
    // mkstemp creates the file private; the result is an ordinary document.
    static_cast<void>(::fchmod(fd, 0644));  // a private file is still a whole one
    const bool complete = WriteAll(fd, contents) && ::fsync(fd) == 0;
    const int writeError = errno;
    const bool closed = ::close(fd) == 0;
    if (!complete || !closed) {
        result.error = complete ? errno : writeError;
        ::unlink(temp.c_str());
        return result;
    }
    // link() never replaces an existing file: a taken name moves on to the
    // next one.
    for (int n = 1; n <= kMostNames; ++n) {
        const std::string candidate = nameFor(n);
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

LocalTime LocalTimeNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    localtime_r(&now.tv_sec, &local);
    return {static_cast<unsigned>(local.tm_year + 1900), static_cast<unsigned>(local.tm_mon + 1),
            static_cast<unsigned>(local.tm_mday),        static_cast<unsigned>(local.tm_hour),
            static_cast<unsigned>(local.tm_min),         static_cast<unsigned>(local.tm_sec),
            static_cast<unsigned>(now.tv_nsec / 1000000)};
}

}  // namespace platform
