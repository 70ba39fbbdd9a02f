#include "platform/WorkerThread.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace platform {

namespace {

// Below-normal priority: a few nice steps above the creator's.
constexpr int kBelowNormalNice = 5;
constexpr int kWeakestNice = 19;

std::atomic<int> g_liveWorkers{0};

// Linux keeps a nice value per thread, so this lowers the calling thread
// only. A failure leaves the worker at normal priority, which is harmless.
void LowerOwnPriority() {
    const pid_t tid = ::gettid();
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (current == -1 && errno != 0) return;
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), std::min(current + kBelowNormalNice, kWeakestNice));
}

}  // namespace

WorkerThread::~WorkerThread() { Join(); }

void WorkerThread::Start(std::function<void()> body) {
    Join();
    running_.store(true, std::memory_order_release);
    g_liveWorkers.fetch_add(1, std::memory_order_acq_rel);
    try {
        thread_ = std::thread([this, body = std::move(body)] {
            LowerOwnPriority();
            if (body) body();
            g_liveWorkers.fetch_sub(1, std::memory_order_acq_rel);
            running_.store(false, std::memory_order_release);
        });
    } catch (const std::system_error&) {
        // No thread could be made: the worker simply does not run.
        g_liveWorkers.fetch_sub(1, std::memory_order_acq_rel);
        running_.store(false, std::memory_order_release);
    }
}

void WorkerThread::Join() {
    if (!thread_.joinable()) return;
    // A body that ends its own worker cannot wait for itself.
    if (thread_.get_id() == std::this_thread::get_id()) return;
    thread_.join();
}

int WorkerThread::LiveCount() { return g_liveWorkers.load(std::memory_order_acquire); }

}  // namespace platform
