#include "platform/Event.h"

#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <vector>

#include "platform/TimedPause.h"
#include "platform/posix/Poll.h"

namespace platform {

// The eventfd counter is non-zero exactly while the event is set; waits
// only poll it, so any number of waiters see the same state.
Event::Event() : handle_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

Event::~Event() {
    if (handle_ >= 0) ::close(handle_);
}

void Event::Set() {
    if (!Valid()) return;
    const std::uint64_t one = 1;
    // EAGAIN would mean the counter is saturated: the event is set anyway.
    while (::write(handle_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void Event::Reset() {
    if (!Valid()) return;
    std::uint64_t value = 0;
    // One read takes the whole counter back to zero; EAGAIN: already clear.
    while (::read(handle_, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

bool Event::Wait(int ms) const {
    if (!Valid()) return true;
    pollfd p{handle_, POLLIN, 0};
    return PollUntil(&p, 1, Deadline(ms)) > 0 && (p.revents & POLLIN) != 0;
}

int WaitAny(std::initializer_list<const Event*> events, int ms) {
    std::vector<pollfd> fds;
    fds.reserve(events.size());
    int index = 0;
    for (const Event* e : events) {
        if (e && !e->Valid()) return index;
        fds.push_back(pollfd{e ? e->Handle() : -1, POLLIN, 0});
        ++index;
    }
    if (PollUntil(fds.data(), fds.size(), Deadline(ms)) <= 0) return -1;
    for (std::size_t i = 0; i < fds.size(); ++i) {
        if (fds[i].revents & POLLIN) return static_cast<int>(i);
    }
    return -1;
}

bool TimedPause(const Event& stop, std::chrono::nanoseconds left, int ms) {
    // poll()'s time-out is whole milliseconds with a slack that grows with
    // the thread's nice value (a paced worker's pause came out about 1 ms
    // long); a timer on the monotonic clock ends the pause on time.
    const int timer = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (timer < 0) return !stop.Wait(ms);
    itimerspec timing{};
    timing.it_value.tv_sec = static_cast<time_t>(left.count() / 1000000000);
    timing.it_value.tv_nsec = static_cast<long>(left.count() % 1000000000);
    if (::timerfd_settime(timer, 0, &timing, nullptr) < 0) {
        ::close(timer);
        return !stop.Wait(ms);
    }
    pollfd fds[2] = {{stop.Handle(), POLLIN, 0}, {timer, POLLIN, 0}};
    // The poll's own bound is only a safety net behind the timer.
    const int r = PollUntil(fds, 2, Deadline(ms + kPauseSafetyMs));
    ::close(timer);
    return !(r > 0 && (fds[0].revents & POLLIN));
}

// timerfd pauses end on time as they are.
FineTimerTick::FineTimerTick() = default;
FineTimerTick::~FineTimerTick() = default;

}  // namespace platform
