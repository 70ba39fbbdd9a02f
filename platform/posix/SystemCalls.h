#pragma once

#include <poll.h>
#include <sys/types.h>

#include <cstddef>

// The system calls a serial port makes, in one table: in production each
// entry is the system's own call; a test installs a table of its own (see
// ScopedSystemCalls) that answers as a given driver is known to answer, and
// everything above it (SerialPort, the link, the workers) runs as it is.
// Each entry keeps its system call's contract: a failure returns -1 with
// errno set.
namespace platform::posix {

struct SystemCalls {
    int (*open)(const char* path, int flags);
    // The terminal's requests: TCGETS2/TCSETS2, FIONREAD, TIOCOUTQ,
    // TIOCEXCL/TIOCNXCL.
    int (*ioctl)(int fd, unsigned long request, void* arg);
    ssize_t (*read)(int fd, void* buf, std::size_t n);
    ssize_t (*write)(int fd, const void* buf, std::size_t n);
    // Every bounded wait of this layer (Poll.h) goes through here.
    int (*poll)(pollfd* fds, nfds_t count, int timeoutMs);
    int (*flock)(int fd, int operation);
    int (*purge)(int fd, int queues);  // tcflush
    int (*drain)(int fd);              // tcdrain
    int (*close)(int fd);
};

// The table in force: the system's, unless a test installed its own.
[[nodiscard]] const SystemCalls& Calls();

// The system's own table, for a test table to pass calls on to.
[[nodiscard]] const SystemCalls& SystemTable();

// Puts `calls` in force for its lifetime, then the table before it again.
// Installed and removed while no port is in use.
class ScopedSystemCalls {
public:
    explicit ScopedSystemCalls(const SystemCalls& calls);
    ~ScopedSystemCalls();
    ScopedSystemCalls(const ScopedSystemCalls&) = delete;
    ScopedSystemCalls& operator=(const ScopedSystemCalls&) = delete;

private:
    const SystemCalls* previous_;
};

}  // namespace platform::posix
