#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "link/RefreshRequest.h"
#include "tools/bench/support/Clock.h"

namespace bench {

// A main window stand-in for link-level benchmarks: each refresh request
// is answered at once and recorded with the time it came and the link
// status it found.
class RecordingWindow : public linkcore::RefreshSink {
public:
    struct Request {
        unsigned code;
        int status;
        Clock::time_point at;
    };

    bool Refresh(unsigned code, const platform::Event& stop) override;
    void CaptureEnded(const std::string&) override {}

    // Waits up to boundMs until `done` holds over the requests so far.
    bool WaitFor(const std::function<bool(const std::vector<Request>&)>& done, int boundMs);

    std::vector<Request> Requests();
    std::size_t Count();
    void Clear();
    void Reserve(std::size_t n);

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Request> requests_;
};

}  // namespace bench
