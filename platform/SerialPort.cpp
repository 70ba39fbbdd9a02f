// What every system's serial port shares: the record of a line that went,
// and the time the line takes for what was written.
#include "platform/SerialPort.h"

#include <algorithm>
#include <thread>

#include "platform/Event.h"
#include "platform/LineTime.h"

namespace platform {

std::string SerialPort::GoneReason() const {
    const std::lock_guard<std::mutex> lock(goneMutex_);
    return goneReason_;
}

void SerialPort::MarkGone(std::string reason) {
    {
        const std::lock_guard<std::mutex> lock(goneMutex_);
        if (gone_.load(std::memory_order_relaxed)) return;
        goneReason_ = std::move(reason);
    }
    gone_.store(true, std::memory_order_release);
}

std::chrono::steady_clock::time_point SerialPort::LineFreeAt() const {
    using Clock = std::chrono::steady_clock;
    return Clock::time_point(Clock::duration(lineFreeAt_.load(std::memory_order_acquire)));
}

void SerialPort::NoteWritten(std::chrono::steady_clock::time_point begun, std::size_t n, std::int64_t rate) {
    // One thread writes at a time; the line sends one byte after another,
    // so bytes written while earlier ones are still going out follow them.
    const auto lineTime = std::chrono::microseconds(LineTimeUs(n, rate));
    const auto freeAt = std::max(LineFreeAt(), begun) + lineTime;
    lineFreeAt_.store(freeAt.time_since_epoch().count(), std::memory_order_release);
}

bool SerialPort::AwaitLineFree(const Event* stop) const {
    const auto freeAt = LineFreeAt();
    if (stop) return PauseUntilUnlessStopped(*stop, freeAt);
    std::this_thread::sleep_until(freeAt);
    return true;
}

}  // namespace platform
