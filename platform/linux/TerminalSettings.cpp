#include "platform/posix/TerminalSettings.h"

// termios2 (any bit rate through BOTHER) comes from the kernel's header,
// which cannot share a translation unit with <termios.h>; everything that
// touches the line settings therefore lives in this file.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/SystemCalls.h"

namespace platform::terminal {

namespace {

static_assert(sizeof(termios2) <= sizeof(LineSettings{}.snapshot), "termios2 must fit the settings record");

bool GetState(int fd, termios2& t) {
    std::memset(&t, 0, sizeof t);
    return posix::Calls().ioctl(fd, TCGETS2, &t) == 0;
}

bool SetState(int fd, const termios2& t) {
    int r;
    do {
        r = posix::Calls().ioctl(fd, TCSETS2, const_cast<termios2*>(&t));
    } while (r < 0 && errno == EINTR);
    return r == 0;
}

// The output rate a state asks for. B0 means "hang up", whatever the
// speed fields say.
std::int64_t RateOf(const termios2& t) {
    if ((t.c_cflag & CBAUD) == B0) return 0;
    return static_cast<std::int64_t>(t.c_ospeed);
}

void MakeRawState(termios2& t) {
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

}  // namespace

bool Read(int fd, LineSettings& out) {
    termios2 t;
    if (!GetState(fd, t)) return false;
    Describe(t, out);
    return true;
}

bool MakeRaw(int fd, const LineSettings& state) {
    termios2 raw;
    std::memcpy(&raw, state.snapshot.data(), sizeof raw);
    MakeRawState(raw);
    return SetState(fd, raw);
}

bool Apply(int fd, const LineSettings& s) {
    termios2 before;
    if (!GetState(fd, before)) return false;

    // What the driver cannot be asked for is refused as it would refuse it.
    auto refuse = [] {
        errno = EINVAL;
        return false;
    };
    termios2 next;
    std::int64_t rate;
    if (s.fromPort) {
        std::memcpy(&next, s.snapshot.data(), sizeof next);
        rate = RateOf(next);
    } else {
        next = before;
        MakeRawState(next);
        if (!SetFrame(next, s)) return refuse();
        rate = s.baud;
        if (RateAcceptable(rate)) SetRate(next, rate);
    }
    // A zero rate would hang the line up; it never reaches the driver.
    if (!RateAcceptable(rate)) return refuse();

    // Whatever refused the change, the error number is the refusal's, not
    // that of putting the state back.
    auto restore = [&](int error) {
        SetState(fd, before);
        errno = error;
        return false;
    };
    if (!SetState(fd, next)) return restore(errno);
    termios2 now;
    if (!GetState(fd, now)) return restore(errno);
    if (!RateTaken(rate, RateOf(now))) return restore(EINVAL);
    return true;
}

std::int64_t Rate(int fd) {
    termios2 t;
    if (!GetState(fd, t)) return 0;
    return RateOf(t);
}

}  // namespace platform::terminal
