#include "workers/LineListener.h"

#include <chrono>

#include "link/LinkState.h"
#include "link/PortOps.h"

namespace workers {

protocols::Finding ListenAtSpeed(linkcore::LinkState& s, unsigned speed, const platform::Event& stop) {
    using Clock = std::chrono::steady_clock;
    protocols::ListenWindow window(speed);
    const Clock::time_point start = Clock::now();
    auto elapsed = [start] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    };
    while (s.portOpen.load()) {
        const std::int64_t now = elapsed();
        if (window.Done(now)) break;
        std::uint8_t byte = 0;
        const auto outcome = linkcore::ReadExact(s, &byte, 1, static_cast<int>(window.WaitMs(now)), stop);
        if (outcome == platform::ReadOutcome::Completed) {
            window.Add(byte, elapsed());
        } else if (outcome != platform::ReadOutcome::TimedOut) {
            break;
        }
    }
    return window.Result();
}

void LineListener::Start(unsigned speed) {
    if (!CanListen()) return;
    thread_.Join();
    stop_.Reset();
    thread_.Start([this, speed] {
        const protocols::Finding finding = ListenAtSpeed(s_, speed, stop_);
        if (!stop_.IsSet()) sink_.Listened(finding);
    });
}

void LineListener::Stop() {
    stop_.Set();
    thread_.Join();
}

}  // namespace workers
