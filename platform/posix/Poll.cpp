#include "platform/posix/Poll.h"

#include <cerrno>

#include "platform/posix/SystemCalls.h"

namespace platform {

int PollUntil(pollfd* fds, std::size_t count, const Deadline& deadline) {
    for (;;) {
        const int r = posix::Calls().poll(fds, static_cast<nfds_t>(count), deadline.RemainingMs());
        if (r > 0) return r;
        if (r < 0 && errno != EINTR) return -1;
        if (r == 0 && deadline.Passed()) return 0;
    }
}

}  // namespace platform
