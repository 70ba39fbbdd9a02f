#include "platform/SerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "platform/Event.h"
#include "platform/LineTime.h"
#include "platform/SystemError.h"
#include "platform/posix/Poll.h"
#include "platform/posix/TerminalSettings.h"

namespace platform {

namespace {

OpenError OpenErrorOf(int err) {
    switch (err) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case ENOTDIR:
            return OpenError::NotFound;
        case EACCES:
        case EPERM:
        case EROFS:
            return OpenError::AccessDenied;
        case EBUSY:
        case EWOULDBLOCK:
            return OpenError::Busy;
        case ENOTTY:
        case EINVAL:
        case EISDIR:
            return OpenError::NotATerminal;
        default:
            return OpenError::Other;
    }
}

// Without flow control a line takes bytes at its rate, so a write that
// has made no progress for longer than sending a full driver buffer takes,
// and then some, is on a line that no longer works.
constexpr std::int64_t kDriverBufferBytes = 4096;
constexpr std::int64_t kWriteSlackMs = 2000;

int WriteStallMs(std::int64_t rate) {
    const std::int64_t lineMs = rate > 0 ? kDriverBufferBytes * 10 * 1000 / rate : 0;
    return static_cast<int>(std::min<std::int64_t>(kWriteSlackMs + lineMs, INT_MAX));
}

// What the driver holds now, up to `n` bytes, without waiting.
std::size_t ReadAvailable(int fd, std::uint8_t* dest, std::size_t n) {
    for (;;) {
        const ssize_t k = ::read(fd, dest, n);
        if (k > 0) return static_cast<std::size_t>(k);
        if (k < 0 && errno == EINTR) continue;
        return 0;
    }
}

// A hung-up or failing line: spend the rest of the bound waiting for a
// stop only, so that a caller looping on reads never spins.
ReadOutcome WaitOutDeadLine(const Deadline& deadline, const Event* stop) {
    if (stop) return stop->Wait(deadline.RemainingMs()) ? ReadOutcome::Stopped : ReadOutcome::TimedOut;
    PollUntil(nullptr, 0, deadline);
    return ReadOutcome::TimedOut;
}

}  // namespace

std::unique_ptr<SerialPort> SerialPort::Open(const std::string& device, OpenFailure* failure) {
    // Called with errno still that of the failed call: it goes out with
    // the kind of failure, before close() can change it.
    auto fail = [&](int fd, OpenError kind) -> std::unique_ptr<SerialPort> {
        const int systemError = errno;
        if (fd >= 0) ::close(fd);
        if (failure) *failure = {kind, systemError};
        return nullptr;
    };

    int fd;
    do {
        fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return fail(-1, OpenErrorOf(errno));

    LineSettings original;
    if (!terminal::Read(fd, original)) {
        return fail(fd, (errno == ENOTTY || errno == EINVAL) ? OpenError::NotATerminal : OpenError::Other);
    }

    // Nobody shares a port: TIOCEXCL turns away later opens by ordinary
    // users, the lock also those with CAP_SYS_ADMIN, which TIOCEXCL lets in.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return fail(fd, errno == EWOULDBLOCK ? OpenError::Busy : OpenError::Other);
    }
    if (::ioctl(fd, TIOCEXCL) != 0) return fail(fd, OpenError::Other);

    if (!terminal::MakeRaw(fd, original)) {
        const int setError = errno;
        ::ioctl(fd, TIOCNXCL);
        errno = setError;
        return fail(fd, OpenError::Other);
    }

    std::unique_ptr<SerialPort> port(new SerialPort(fd, device));
    port->settingsAtOpen_ = original;
    if (failure) *failure = {};
    return port;
}

SerialPort::~SerialPort() {
    ::ioctl(handle_, TIOCNXCL);
    ::close(handle_);
}

bool SerialPort::ReadSettings(LineSettings& out) const { return terminal::Read(handle_, out); }

bool SerialPort::ApplySettings(const LineSettings& s) { return terminal::Apply(handle_, s); }

std::int64_t SerialPort::CurrentSpeed() const { return terminal::Rate(handle_); }

void SerialPort::Purge() { ::tcflush(handle_, TCIOFLUSH); }

void SerialPort::NoteDelivery(std::size_t asked, std::size_t taken) {
    // A single byte asked for says nothing by itself: what else the driver
    // holds at that moment does.
    std::size_t came = taken;
    if (asked == 1) {
        int queued = 0;
        if (::ioctl(handle_, FIONREAD, &queued) != 0 || queued < 0) return;
        came += static_cast<std::size_t>(queued);
    }
    packets_.store(came > 1, std::memory_order_relaxed);
}

ReadOutcome SerialPort::ReadExact(std::uint8_t* dest, std::size_t n, int boundMs, const Event* stop) {
    // A stop event that could not be made counts as set (Event.h).
    if (stop && !stop->Valid()) return ReadOutcome::Stopped;
    if (Gone()) return ReadOutcome::Gone;
    const Deadline deadline(boundMs);
    std::int64_t rate = 0;  // read once, at the first partial read
    std::size_t got = 0;
    for (bool first = true; got < n; first = false) {
        // Bytes trickling in do not stretch the bound; what came before it
        // passed is still taken (ReadAvailable below).
        if (!first && deadline.Passed()) break;
        pollfd fds[2] = {{handle_, POLLIN, 0}, {stop ? stop->Handle() : -1, POLLIN, 0}};
        // Only a read that had to sleep until bytes came shows how the line
        // delivers them; what was queued already says nothing about it.
        int r = PollNow(fds, 2);
        const bool woke = r == 0;
        if (woke) r = PollUntil(fds, 2, deadline);
        if (r == 0) return ReadOutcome::TimedOut;
        if (r < 0) return WaitOutDeadLine(deadline, stop);
        if (fds[1].revents & POLLIN) return ReadOutcome::Stopped;

        const short ev = fds[0].revents;
        if (ev & POLLIN) {
            // Never more than this read still needs: later bytes stay
            // queued in the driver for the next read.
            const ssize_t k = ::read(handle_, dest + got, n - got);
            if (k > 0) {
                if (woke) NoteDelivery(n - got, static_cast<std::size_t>(k));
                got += static_cast<std::size_t>(k);
                if (got == n) break;
                // Bytes that come in packets wake the poll once a packet.
                // Bytes that trickle in one by one would wake it for each:
                // wait instead the line time of those still missing (on the
                // stop event, within the bound), then take them in one read.
                if (packets_.load(std::memory_order_relaxed)) continue;
                if (rate == 0) rate = CurrentSpeed();
                const int wait = std::min(LineTimeMs(n - got, rate), deadline.RemainingMs());
                if (wait > 0 && stop && stop->Wait(wait)) return ReadOutcome::Stopped;
                if (wait > 0 && !stop) PollUntil(nullptr, 0, Deadline(wait));
                continue;
            }
            if (k < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            // 0 (hung up) or an error such as EIO: the line is gone.
            MarkGone(SystemErrorText(k < 0 ? errno : EIO));
            return ReadOutcome::Gone;
        }
        if (ev & (POLLHUP | POLLERR)) {
            MarkGone(SystemErrorText(EIO));
            return ReadOutcome::Gone;
        }
        if (ev & POLLNVAL) return WaitOutDeadLine(deadline, stop);
    }
    if (got < n) got += ReadAvailable(handle_, dest + got, n - got);
    return got == n ? ReadOutcome::Completed : ReadOutcome::TimedOut;
}

int SerialPort::AwaitBytes(std::size_t count, int boundMs, const Event* stop) {
    if (stop && !stop->Valid()) return -1;
    // Packets wake the read that follows once each, with no wait here.
    if (packets_.load(std::memory_order_relaxed)) return 0;
    int queued = 0;
    if (::ioctl(handle_, FIONREAD, &queued) != 0 || queued < 0) queued = 0;
    if (static_cast<std::size_t>(queued) >= count) return 0;
    const int wait = std::min(LineTimeMs(count - static_cast<std::size_t>(queued), CurrentSpeed()), boundMs);
    if (wait <= 0) return 0;
    if (stop) return stop->Wait(wait) ? -1 : wait;
    PollUntil(nullptr, 0, Deadline(wait));
    return wait;
}

bool SerialPort::Write(const std::uint8_t* data, std::size_t n, const Event* stop) {
    if (stop && !stop->Valid()) return false;
    const int stallMs = WriteStallMs(CurrentSpeed());
    std::size_t done = 0;
    while (done < n) {
        pollfd fds[2] = {{handle_, POLLOUT, 0}, {stop ? stop->Handle() : -1, POLLIN, 0}};
        if (PollUntil(fds, 2, Deadline(stallMs)) <= 0) return false;
        if (fds[1].revents & POLLIN) return false;
        if (fds[0].revents & (POLLERR | POLLHUP)) {
            MarkGone(SystemErrorText(EIO));
            return false;
        }
        if (fds[0].revents & POLLNVAL) return false;
        if (!(fds[0].revents & POLLOUT)) continue;

        const ssize_t k = ::write(handle_, data + done, n - done);
        if (k > 0) {
            done += static_cast<std::size_t>(k);
        } else if (k < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
    }
    return true;
}

std::chrono::microseconds SerialPort::QueuedOutputTime() const {
    int queued = 0;
    if (::ioctl(handle_, TIOCOUTQ, &queued) != 0 || queued <= 0) return std::chrono::microseconds::zero();
    return std::chrono::microseconds(LineTimeUs(static_cast<std::size_t>(queued), CurrentSpeed()));
}

void SerialPort::Drain(const Event* stop) {
    // tcdrain cannot be woken by a stop, so first wait out the line time
    // of what is still queued; the drain then has little or nothing left.
    int queued = 0;
    if (::ioctl(handle_, TIOCOUTQ, &queued) == 0 && queued > 0) {
        const std::int64_t rate = CurrentSpeed();
        if (rate > 0) {
            const std::int64_t ms = std::min<std::int64_t>(std::int64_t{queued} * 10 * 1000 / rate + 1, INT_MAX);
            if (stop) {
                if (stop->Wait(static_cast<int>(ms))) return;
            } else {
                PollUntil(nullptr, 0, Deadline(static_cast<int>(ms)));
            }
        }
    }
    if (stop && stop->IsSet()) return;
    int r;
    do {
        r = ::tcdrain(handle_);
    } while (r < 0 && errno == EINTR);
}

}  // namespace platform
