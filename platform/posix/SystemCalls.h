#pragma once

#include <poll.h>
#include <sys/types.h>

#include <cstddef>

#include "platform/CallTable.h"

// The system calls a serial port makes, in one table (CallTable.h): in
// production each entry is the system's own call; with a test's table in
// force, everything above it (SerialPort, the link, the workers) runs as
// it is.
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

// The system's own table, and the one in force (CallTable.h).
[[nodiscard]] const SystemCalls& SystemTable();
[[nodiscard]] inline const SystemCalls& Calls() { return CallsInForce(SystemTable()); }
using ScopedSystemCalls = ScopedCalls<SystemCalls>;

}  // namespace platform::posix
