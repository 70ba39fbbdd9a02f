// What every system's serial port shares: the record of a line that went.
#include "platform/SerialPort.h"

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

}  // namespace platform
