#include "platform/posix/SystemCalls.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>

namespace platform::posix {

namespace {

const SystemCalls kSystem = {
    [](const char* path, int flags) { return ::open(path, flags); },
    [](int fd, unsigned long request, void* arg) { return ::ioctl(fd, request, arg); },
    [](int fd, void* buf, std::size_t n) { return ::read(fd, buf, n); },
    [](int fd, const void* buf, std::size_t n) { return ::write(fd, buf, n); },
    [](pollfd* fds, nfds_t count, int timeoutMs) { return ::poll(fds, count, timeoutMs); },
    [](int fd, int operation) { return ::flock(fd, operation); },
    [](int fd, int queues) { return ::tcflush(fd, queues); },
    [](int fd) { return ::tcdrain(fd); },
    [](int fd) { return ::close(fd); },
};

std::atomic<const SystemCalls*> current{&kSystem};

}  // namespace

const SystemCalls& Calls() { return *current.load(std::memory_order_acquire); }

const SystemCalls& SystemTable() { return kSystem; }

ScopedSystemCalls::ScopedSystemCalls(const SystemCalls& calls)
    : previous_(current.exchange(&calls, std::memory_order_acq_rel)) {}

ScopedSystemCalls::~ScopedSystemCalls() { current.store(previous_, std::memory_order_release); }

}  // namespace platform::posix
