#include "platform/NewFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/FileCalls.h"

namespace platform {

namespace {

int CreateNew(const std::string& path, NativeHandle* file) {
    // An ordinary document: the user's umask decides who else may read it.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    *file = fd;
    return 0;
}

int WriteAll(NativeHandle fd, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

int Flush(NativeHandle fd) { return ::fsync(fd) == 0 ? 0 : errno; }

int Close(NativeHandle fd) { return ::close(fd) == 0 ? 0 : errno; }

// link() never replaces an existing file, as rename() would.
int MoveNew(const std::string& from, const std::string& to) {
    if (::link(from.c_str(), to.c_str()) != 0) return errno;
    ::unlink(from.c_str());
    return 0;
}

int Remove(const std::string& path) { return ::unlink(path.c_str()) == 0 ? 0 : errno; }

constexpr FileCalls kSystemCalls{CreateNew, WriteAll, Flush, Close, MoveNew, Remove, PauseBetweenTries};

}  // namespace

const FileCalls& SystemFileCalls() { return kSystemCalls; }

const char kFolderSeparator = '/';

bool NameTaken(int error) { return error == EEXIST; }

// A local file system lets a file be renamed whoever holds it open. A
// Windows share does not: the SMB client answers the server's sharing
// violation with EBUSY and its refusal with EACCES (link(2), rename(2)).
bool HeldByAnother(int error) { return error == EBUSY || error == EACCES; }

unsigned ProcessNumber() { return static_cast<unsigned>(::getpid()); }

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
