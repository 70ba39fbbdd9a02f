#include "platform/ThreadPriority.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace platform {

namespace {

// Below-normal priority: a few nice steps above the creator's.
constexpr int kBelowNormalNice = 5;
constexpr int kWeakestNice = 19;

}  // namespace

// Linux keeps a nice value per thread, so this lowers the calling thread
// only.
void SetCurrentThreadBelowNormal() {
    const pid_t tid = ::gettid();
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (current == -1 && errno != 0) return;
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), std::min(current + kBelowNormalNice, kWeakestNice));
}

}  // namespace platform
