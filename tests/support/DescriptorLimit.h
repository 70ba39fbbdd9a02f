#pragma once

#include <fcntl.h>
#include <sys/resource.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace testing_support {

// Lowers the descriptor limit so that exactly `spare` more descriptors
// can be opened: the ones below the limit that are free now. Meant for a
// death test's child, which ends before anything else needs a descriptor.
inline bool LeaveSpareDescriptors(int spare) {
    int fd = 0;
    for (int free = 0;; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        if (free == spare) break;
        ++free;
    }
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return false;
    limit.rlim_cur = static_cast<rlim_t>(fd);
    return ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

}  // namespace testing_support

// A check inside a death test's child: a failure is named on stderr, where
// the death test shows it, and ends the child with status 1.
#define CHILD_CHECK(condition)                                                           \
    do {                                                                                 \
        if (!(condition)) {                                                              \
            std::fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
            std::_Exit(1);                                                               \
        }                                                                                \
    } while (false)
