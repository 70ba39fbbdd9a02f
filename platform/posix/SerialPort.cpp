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
#include "platform/posix/SystemCalls.h"
#include "platform/posix/TerminalSettings.h"

namespace platform {

namespace {

using posix::Calls;

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

// What a removed device (EIO, ENODEV: an unplugged USB adapter) or a line
// with nothing behind it any more (ENXIO) answers to reads, writes and the
// terminal's requests (tty_ioctl(4), read(2)).
bool IsGoneError(int error) { return error == EIO || error == ENXIO || error == ENODEV; }

// A hang-up that came without an error number of its own (POLLHUP,
// POLLERR, a read at end of file) is worded as reads of a hung-up terminal
// fail.
constexpr int kHangUpError = EIO;

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
        if (fd >= 0) Calls().close(fd);
        if (failure) *failure = {kind, systemError};
        return nullptr;
    };

    int fd;
    do {
        fd = Calls().open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return fail(-1, OpenErrorOf(errno));

    LineSettings original;
    if (!terminal::Read(fd, original)) {
        return fail(fd, (errno == ENOTTY || errno == EINVAL) ? OpenError::NotATerminal : OpenError::Other);
    }

    // Nobody shares a port: TIOCEXCL turns away later opens by ordinary
    // users, the lock also those with CAP_SYS_ADMIN, which TIOCEXCL lets in.
    if (Calls().flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return fail(fd, errno == EWOULDBLOCK ? OpenError::Busy : OpenError::Other);
    }
    if (Calls().ioctl(fd, TIOCEXCL, nullptr) != 0) return fail(fd, OpenError::Other);

    if (!terminal::MakeRaw(fd, original)) {
        const int setError = errno;
        Calls().ioctl(fd, TIOCNXCL, nullptr);
        errno = setError;
        return fail(fd, OpenError::Other);
    }

    std::unique_ptr<SerialPort> port(new SerialPort(fd, device));
    port->settingsAtOpen_ = original;
    if (failure) *failure = {};
    return port;
}

SerialPort::~SerialPort() {
    Calls().ioctl(handle_, TIOCNXCL, nullptr);
    Calls().close(handle_);
}

bool SerialPort::ReadSettings(LineSettings& out) const { return terminal::Read(handle_, out); }

bool SerialPort::ApplySettings(const LineSettings& s) {
    const bool applied = terminal::Apply(handle_, s);
    settingsError_.store(applied ? 0 : errno, std::memory_order_relaxed);
    return applied;
}

std::int64_t SerialPort::CurrentSpeed() const { return terminal::Rate(handle_); }

void SerialPort::PurgeDriver() { Calls().purge(handle_, TCIOFLUSH); }

ReadOutcome SerialPort::ReadExact(std::uint8_t* dest, std::size_t n, int boundMs, const Event* stop) {
    // A stop event that could not be made counts as set (Event.h).
    if (stop && !stop->Valid()) return ReadOutcome::Stopped;
    if (Gone()) return ReadOutcome::Gone;
    // What an earlier read took from the driver comes first, without a
    // call to the system.
    std::size_t got = TakeAhead(dest, n);
    if (got == n) return ReadOutcome::Completed;

    // Everything the driver holds, in one read into the read-ahead (empty
    // here): what this read does not need stays there for the next.
    auto readDriver = [&]() -> ssize_t {
        ssize_t k;
        do {
            const std::lock_guard<std::mutex> lock(driverReadMutex_);
            k = Calls().read(handle_, AheadRoom(), kReadAheadBytes);
        } while (k < 0 && errno == EINTR);
        if (k > 0) got += TakeRead(static_cast<std::size_t>(k), dest + got, n - got);
        return k;
    };

    const Deadline deadline(boundMs);
    std::int64_t rate = 0;  // read once, at the first partial read
    bool lineTimeWaited = false;
    for (bool first = true;; first = false) {
        // Bytes trickling in do not stretch the bound; what came before it
        // passed is still taken (below the loop).
        if (!first && deadline.Passed()) break;
        pollfd fds[2] = {{handle_, POLLIN, 0}, {stop ? stop->Handle() : -1, POLLIN, 0}};
        const int r = PollUntil(fds, 2, deadline);
        if (r == 0) return ReadOutcome::TimedOut;
        if (r < 0) return WaitOutDeadLine(deadline, stop);
        if (fds[1].revents & POLLIN) return ReadOutcome::Stopped;

        // A hang-up or an error comes with what the line still held: the
        // read takes that first, and its answer names the failure.
        const short ev = fds[0].revents;
        const bool hungUp = (ev & (POLLHUP | POLLERR)) != 0;
        if (ev & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t k = readDriver();
            if (k > 0) {
                // Bytes gathered by a wait for their line time say nothing
                // of how the line delivers; any other read took a delivery
                // (or what came while the reader was busy).
                if (!lineTimeWaited) packets_.store(k > 1, std::memory_order_relaxed);
                if (got == n) return ReadOutcome::Completed;
                if (hungUp) continue;
                // Bytes that come in packets wake the poll once a packet.
                // Bytes that trickle in one by one would wake it for each:
                // wait instead the line time of those still missing (on the
                // stop event, within the bound), then take them in one read.
                if (packets_.load(std::memory_order_relaxed)) continue;
                if (rate == 0) rate = CurrentSpeed();
                const int wait = std::min(LineTimeMs(n - got, rate), deadline.RemainingMs());
                if (wait <= 0) continue;
                lineTimeWaited = true;
                if (stop && stop->Wait(wait)) return ReadOutcome::Stopped;
                if (!stop) PollUntil(nullptr, 0, Deadline(wait));
                continue;
            }
            const int error = k < 0 ? errno : 0;
            if (error == EAGAIN && !hungUp) continue;
            // End of file (0), an error of a removed device, or a hang-up
            // with nothing left to read: the line is gone.
            if (error == 0 || error == EAGAIN || IsGoneError(error)) {
                MarkGone(SystemErrorText(IsGoneError(error) ? error : kHangUpError));
                return ReadOutcome::Gone;
            }
            return WaitOutDeadLine(deadline, stop);
        }
        if (ev & POLLNVAL) return WaitOutDeadLine(deadline, stop);
    }
    // The bound passed after a partial read: what the driver holds by now
    // still counts.
    static_cast<void>(readDriver());
    return got == n ? ReadOutcome::Completed : ReadOutcome::TimedOut;
}

int SerialPort::AwaitBytes(std::size_t count, int boundMs, const Event* stop) {
    if (stop && !stop->Valid()) return -1;
    if (Gone()) return 0;
    // Packets wake the read that follows once each, with no wait here.
    if (packets_.load(std::memory_order_relaxed)) return 0;
    const std::size_t held = ReadAhead();
    if (held >= count) return 0;
    int queued = 0;
    if (Calls().ioctl(handle_, FIONREAD, &queued) != 0) {
        if (IsGoneError(errno)) {
            MarkGone(SystemErrorText(errno));
            return 0;
        }
        queued = 0;
    }
    const std::size_t have = held + static_cast<std::size_t>(std::max(queued, 0));
    if (have >= count) return 0;
    const int wait = std::min(LineTimeMs(count - have, CurrentSpeed()), boundMs);
    if (wait <= 0) return 0;
    if (stop) return stop->Wait(wait) ? -1 : wait;
    PollUntil(nullptr, 0, Deadline(wait));
    return wait;
}

bool SerialPort::Write(const std::uint8_t* data, std::size_t n, const Event* stop) {
    if (stop && !stop->Valid()) return false;
    if (Gone()) return false;
    const auto begun = std::chrono::steady_clock::now();
    const std::int64_t rate = CurrentSpeed();
    const int stallMs = WriteStallMs(rate);
    std::size_t done = 0;
    while (done < n) {
        pollfd fds[2] = {{handle_, POLLOUT, 0}, {stop ? stop->Handle() : -1, POLLIN, 0}};
        if (PollUntil(fds, 2, Deadline(stallMs)) <= 0) return false;
        if (fds[1].revents & POLLIN) return false;
        if (fds[0].revents & (POLLERR | POLLHUP)) {
            MarkGone(SystemErrorText(kHangUpError));
            return false;
        }
        if (fds[0].revents & POLLNVAL) return false;
        if (!(fds[0].revents & POLLOUT)) continue;

        const ssize_t k = Calls().write(handle_, data + done, n - done);
        if (k > 0) {
            done += static_cast<std::size_t>(k);
        } else if (k < 0 && errno != EAGAIN && errno != EINTR) {
            if (IsGoneError(errno)) MarkGone(SystemErrorText(errno));
            return false;
        }
    }
    NoteWritten(begun, n, rate);
    return true;
}

std::chrono::microseconds SerialPort::QueuedOutputTime() const {
    int queued = 0;
    if (Calls().ioctl(handle_, TIOCOUTQ, &queued) != 0 || queued <= 0) return std::chrono::microseconds::zero();
    return std::chrono::microseconds(LineTimeUs(static_cast<std::size_t>(queued), CurrentSpeed()));
}

void SerialPort::Drain(const Event* stop) {
    if (Gone()) return;
    // tcdrain cannot be woken by a stop, so first wait out the line time
    // of what is still queued; the drain then has little or nothing left.
    int queued = 0;
    if (Calls().ioctl(handle_, TIOCOUTQ, &queued) != 0) {
        if (IsGoneError(errno)) return MarkGone(SystemErrorText(errno));
    } else if (queued > 0) {
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
    // A driver that holds nothing may still have the bytes in the adapter.
    if (!AwaitLineFree(stop)) return;
    int r;
    do {
        r = Calls().drain(handle_);
    } while (r < 0 && errno == EINTR);
    if (r < 0 && IsGoneError(errno)) MarkGone(SystemErrorText(errno));
}

}  // namespace platform
