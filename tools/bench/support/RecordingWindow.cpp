#include "tools/bench/support/RecordingWindow.h"

#include "link/LinkState.h"

namespace bench {

bool RecordingWindow::Refresh(unsigned code, const platform::Event&) {
    const Request r{code, linkcore::Link().linkStatus.load(), Clock::now()};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(r);
    }
    changed_.notify_all();
    return true;
}

bool RecordingWindow::WaitFor(const std::function<bool(const std::vector<Request>&)>& done, int boundMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(boundMs), [&] { return done(requests_); });
}

std::vector<RecordingWindow::Request> RecordingWindow::Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::size_t RecordingWindow::Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_.size();
}

void RecordingWindow::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
}

void RecordingWindow::Reserve(std::size_t n) {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.reserve(n);
}

}  // namespace bench
