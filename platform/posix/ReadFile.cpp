#include "platform/ReadFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

ReadFileResult ReadWholeFile(const std::string& path, std::size_t limit) {
    ReadFileResult result;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        result.error = errno;
        return result;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        result.error = errno != 0 ? errno : EINVAL;
        ::close(fd);
        return result;
    }
    // The size is read again to the end, so a file that grows while being
    // read is caught by the limit too.
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            result.error = errno;
            result.contents.clear();
            ::close(fd);
            return result;
        }
        if (n == 0) break;
        if (result.contents.size() + static_cast<std::size_t>(n) > limit) {
            result.tooLarge = true;
            result.contents.clear();
            ::close(fd);
            return result;
        }
        result.contents.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    result.read = true;
    return result;
}

}  // namespace platform
