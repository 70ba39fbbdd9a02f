// What every system's serial port shares: the record of a line that went,
// the time the line takes for what was written, the purge and the
// read-ahead.
#include "platform/SerialPort.h"

#include <algorithm>
#include <cstring>
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

void SerialPort::Purge() {
    // A read of the driver comes wholly before the purge (and its bytes
    // are dropped, the count having moved on) or wholly after it.
    const std::lock_guard<std::mutex> lock(driverReadMutex_);
    purges_.fetch_add(1);
    PurgeDriver();
}

std::size_t SerialPort::ReadAhead() const { return purges_.load() == aheadPurges_ ? aheadEnd_ - aheadBegin_ : 0; }

std::size_t SerialPort::TakeAhead(std::uint8_t* dest, std::size_t n) {
    // What a purge found here is gone. A purge that begins after this
    // check finds these bytes handed out already.
    if (purges_.load() != aheadPurges_) {
        aheadBegin_ = aheadEnd_ = 0;
        return 0;
    }
    const std::size_t k = std::min(n, aheadEnd_ - aheadBegin_);
    if (k > 0) std::memcpy(dest, ahead_.data() + aheadBegin_, k);
    aheadBegin_ += k;
    return k;
}

std::uint8_t* SerialPort::AheadRoom() {
    // Called with driverReadMutex_ held and the read-ahead empty.
    aheadBegin_ = aheadEnd_ = 0;
    aheadPurges_ = purges_.load();
    return ahead_.data();
}

std::size_t SerialPort::TakeRead(std::size_t k, std::uint8_t* dest, std::size_t n) {
    // The read took its caller's bytes before any purge that came since;
    // the rest a purge discards.
    const std::size_t mine = std::min(k, n);
    if (mine > 0) std::memcpy(dest, ahead_.data(), mine);
    if (purges_.load() == aheadPurges_) {
        aheadBegin_ = mine;
        aheadEnd_ = std::min(k, kReadAheadBytes);
    }
    return mine;
}

bool SerialPort::AwaitLineFree(const Event* stop) const {
    const auto freeAt = LineFreeAt();
    if (stop) return PauseUntilUnlessStopped(*stop, freeAt);
    std::this_thread::sleep_until(freeAt);
    return true;
}

}  // namespace platform
