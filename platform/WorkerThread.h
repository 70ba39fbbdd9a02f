#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace platform {

class Event;

// A worker thread started at below-normal priority (ThreadPriority.h),
// kept so that the stop procedure can wait for its end.
class WorkerThread {
public:
    WorkerThread() = default;
    ~WorkerThread();  // joins a thread still held
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Joins any earlier thread held here first, then starts `body`.
    void Start(std::function<void()> body);

    // True while the body has not yet returned.
    bool Running() const { return running_.load(std::memory_order_acquire); }

    // Waits until the body has returned and the thread is joined.
    // Returns at once when no thread is held.
    void Join();

    // Number of worker bodies running in the whole process (for tests).
    [[nodiscard]] static int LiveCount();

private:
    std::thread thread_;
    std::atomic<bool> running_{false};
};

}  // namespace platform
