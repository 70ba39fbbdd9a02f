#include "platform/SerialPort.h"

#include "platform/LineTime.h"

// termios2 (any bit rate through BOTHER) comes from the kernel's header,
// which cannot share a translation unit with <termios.h>; everything that
// touches the line settings therefore lives in this file.
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/Event.h"
#include "platform/posix/Poll.h"

namespace platform {

namespace {

// Fastest rate the port is asked for; common UARTs and USB adapters end here.
constexpr std::int64_t kMaxRate = 4'000'000;

static_assert(sizeof(termios2) <= sizeof(LineSettings{}.snapshot), "termios2 must fit the settings record");

bool GetState(int fd, termios2& t) {
    std::memset(&t, 0, sizeof t);
    return ::ioctl(fd, TCGETS2, &t) == 0;
}

bool SetState(int fd, const termios2& t) {
    int r;
    do {
        r = ::ioctl(fd, TCSETS2, &t);
    } while (r < 0 && errno == EINTR);
    return r == 0;
}

// The output rate a state asks for. B0 means "hang up", whatever the
// speed fields say.
std::int64_t RateOf(const termios2& t) {
    if ((t.c_cflag & CBAUD) == B0) return 0;
    return static_cast<std::int64_t>(t.c_ospeed);
}

bool RateAcceptable(std::int64_t rate) { return rate > 0 && rate <= kMaxRate; }

// Drivers round the divisor; a UART tolerates about 2% between the ends.
bool RateTaken(std::int64_t wanted, std::int64_t got) {
    const std::int64_t diff = got > wanted ? got - wanted : wanted - got;
    return diff * 50 <= wanted;
}

void MakeRaw(termios2& t) {
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                                        IXANY | INPCK | IMAXBEL);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
}

// Character frame of a record built from a mode string; false for a
// frame termios cannot express.
bool SetFrame(termios2& t, const LineSettings& s) {
    tcflag_t size;
    switch (s.dataBits) {
        case 5:
            size = CS5;
            break;
        case 6:
            size = CS6;
            break;
        case 7:
            size = CS7;
            break;
        case 8:
            size = CS8;
            break;
        default:
            return false;
    }
    tcflag_t parity;
    switch (s.parity) {
        case 'N':
            parity = 0;
            break;
        case 'E':
            parity = PARENB;
            break;
        case 'O':
            parity = PARENB | PARODD;
            break;
        case 'M':
            parity = PARENB | CMSPAR | PARODD;
            break;
        case 'S':
            parity = PARENB | CMSPAR;
            break;
        default:
            return false;
    }
    if (s.stopBits != 1 && s.stopBits != 2) return false;
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    t.c_cflag |= size | parity | (s.stopBits == 2 ? CSTOPB : 0);
    return true;
}

void SetRate(termios2& t, std::int64_t rate) {
    t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | CIBAUD);
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = static_cast<speed_t>(rate);
    t.c_ospeed = static_cast<speed_t>(rate);
}

void Describe(const termios2& t, LineSettings& out) {
    out.baud = static_cast<std::int64_t>(t.c_ospeed);
    switch (t.c_cflag & CSIZE) {
        case CS5:
            out.dataBits = 5;
            break;
        case CS6:
            out.dataBits = 6;
            break;
        case CS7:
            out.dataBits = 7;
            break;
        default:
            out.dataBits = 8;
            break;
    }
    out.stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
    if (!(t.c_cflag & PARENB)) {
        out.parity = 'N';
    } else if (t.c_cflag & CMSPAR) {
        out.parity = (t.c_cflag & PARODD) ? 'M' : 'S';
    } else {
        out.parity = (t.c_cflag & PARODD) ? 'O' : 'E';
    }
    out.snapshot.fill(0);
    std::memcpy(out.snapshot.data(), &t, sizeof t);
    out.fromPort = true;
}

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

    termios2 original;
    if (!GetState(fd, original)) {
        return fail(fd, (errno == ENOTTY || errno == EINVAL) ? OpenError::NotATerminal : OpenError::Other);
    }

    // Nobody shares a port: TIOCEXCL turns away later opens by ordinary
    // users, the lock also those with CAP_SYS_ADMIN, which TIOCEXCL lets in.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return fail(fd, errno == EWOULDBLOCK ? OpenError::Busy : OpenError::Other);
    }
    if (::ioctl(fd, TIOCEXCL) != 0) return fail(fd, OpenError::Other);

    termios2 raw = original;
    MakeRaw(raw);
    if (!SetState(fd, raw)) {
        const int setError = errno;
        ::ioctl(fd, TIOCNXCL);
        errno = setError;
        return fail(fd, OpenError::Other);
    }

    std::unique_ptr<SerialPort> port(new SerialPort(fd, device));
    Describe(original, port->settingsAtOpen_);
    if (failure) *failure = {};
    return port;
}

SerialPort::~SerialPort() {
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
}

bool SerialPort::ReadSettings(LineSettings& out) const {
    termios2 t;
    if (!GetState(fd_, t)) return false;
    Describe(t, out);
    return true;
}

bool SerialPort::ApplySettings(const LineSettings& s) {
    termios2 before;
    if (!GetState(fd_, before)) return false;

    termios2 next;
    std::int64_t rate;
    if (s.fromPort) {
        std::memcpy(&next, s.snapshot.data(), sizeof next);
        rate = RateOf(next);
    } else {
        next = before;
        MakeRaw(next);
        if (!SetFrame(next, s)) return false;
        rate = s.baud;
        if (RateAcceptable(rate)) SetRate(next, rate);
    }
    // A zero rate would hang the line up; it never reaches the driver.
    if (!RateAcceptable(rate)) return false;

    if (!SetState(fd_, next)) {
        SetState(fd_, before);
        return false;
    }
    termios2 now;
    if (!GetState(fd_, now) || !RateTaken(rate, RateOf(now))) {
        SetState(fd_, before);
        return false;
    }
    return true;
}

std::int64_t SerialPort::CurrentSpeed() const {
    termios2 t;
    if (!GetState(fd_, t)) return 0;
    return RateOf(t);
}

void SerialPort::Purge() { ::ioctl(fd_, TCFLSH, TCIOFLUSH); }

void SerialPort::NoteDelivery(std::size_t asked, std::size_t taken) {
    // A single byte asked for says nothing by itself: what else the driver
    // holds at that moment does.
    std::size_t came = taken;
    if (asked == 1) {
        int queued = 0;
        if (::ioctl(fd_, FIONREAD, &queued) != 0 || queued < 0) return;
        came += static_cast<std::size_t>(queued);
    }
    packets_.store(came > 1, std::memory_order_relaxed);
}

ReadOutcome SerialPort::ReadExact(std::uint8_t* dest, std::size_t n, int boundMs, const Event* stop) {
    // A stop event that could not be made counts as set (Event.h).
    if (stop && !stop->Valid()) return ReadOutcome::Stopped;
    const Deadline deadline(boundMs);
    std::int64_t rate = 0;  // read once, at the first partial read
    std::size_t got = 0;
    for (bool first = true; got < n; first = false) {
        // Bytes trickling in do not stretch the bound; what came before it
        // passed is still taken (ReadAvailable below).
        if (!first && deadline.Passed()) break;
        pollfd fds[2] = {{fd_, POLLIN, 0}, {stop ? stop->Fd() : -1, POLLIN, 0}};
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
            const ssize_t k = ::read(fd_, dest + got, n - got);
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
            return WaitOutDeadLine(deadline, stop);
        }
        if (ev & (POLLHUP | POLLERR | POLLNVAL)) return WaitOutDeadLine(deadline, stop);
    }
    if (got < n) got += ReadAvailable(fd_, dest + got, n - got);
    return got == n ? ReadOutcome::Completed : ReadOutcome::TimedOut;
}

int SerialPort::AwaitBytes(std::size_t count, int boundMs, const Event* stop) {
    if (stop && !stop->Valid()) return -1;
    // Packets wake the read that follows once each, with no wait here.
    if (packets_.load(std::memory_order_relaxed)) return 0;
    int queued = 0;
    if (::ioctl(fd_, FIONREAD, &queued) != 0 || queued < 0) queued = 0;
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
        pollfd fds[2] = {{fd_, POLLOUT, 0}, {stop ? stop->Fd() : -1, POLLIN, 0}};
        if (PollUntil(fds, 2, Deadline(stallMs)) <= 0) return false;
        if (fds[1].revents & POLLIN) return false;
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) return false;
        if (!(fds[0].revents & POLLOUT)) continue;

        const ssize_t k = ::write(fd_, data + done, n - done);
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
    if (::ioctl(fd_, TIOCOUTQ, &queued) != 0 || queued <= 0) return std::chrono::microseconds::zero();
    return std::chrono::microseconds(LineTimeUs(static_cast<std::size_t>(queued), CurrentSpeed()));
}

void SerialPort::Drain(const Event* stop) {
    // tcdrain cannot be woken by a stop, so first wait out the line time
    // of what is still queued; the drain then has little or nothing left.
    int queued = 0;
    if (::ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued > 0) {
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
        r = ::ioctl(fd_, TCSBRK, 1);  // tcdrain
    } while (r < 0 && errno == EINTR);
}

}  // namespace platform
