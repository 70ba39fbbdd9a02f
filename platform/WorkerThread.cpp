#include "platform/WorkerThread.h"

#include <system_error>

#include "platform/ThreadPriority.h"

namespace platform {

namespace {

std::atomic<int> g_liveWorkers{0};

}  // namespace

WorkerThread::~WorkerThread() { Join(); }

void WorkerThread::Start(std::function<void()> body) {
    Join();
    running_.store(true, std::memory_order_release);
    g_liveWorkers.fetch_add(1, std::memory_order_acq_rel);
    try {
        thread_ = std::thread([this, body = std::move(body)] {
            SetCurrentThreadBelowNormal();
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
