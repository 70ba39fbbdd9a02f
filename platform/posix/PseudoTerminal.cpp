#include "platform/PseudoTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform/posix/Poll.h"
#include "platform/posix/TerminalSettings.h"

namespace platform {

namespace {

// While no slave opener is there, the master cannot be polled for one
// arriving; it is looked at again after this pause.
constexpr int kNoPeerPauseMs = 5;

void PauseWithin(const Deadline& deadline) {
    PollUntil(nullptr, 0, Deadline(std::min(kNoPeerPauseMs, deadline.RemainingMs())));
}

}  // namespace

std::unique_ptr<PseudoTerminal> PseudoTerminal::Open() {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0) return nullptr;
    char name[128];
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0) {
        ::close(master);
        return nullptr;
    }
    return std::unique_ptr<PseudoTerminal>(new PseudoTerminal(master, name));
}

PseudoTerminal::~PseudoTerminal() { HangUp(); }

std::size_t PseudoTerminal::ReadSome(std::uint8_t* buf, std::size_t max, int boundMs) {
    const Deadline deadline(boundMs);
    if (max == 0) return 0;
    while (master_ >= 0) {
        pollfd p{master_, POLLIN, 0};
        if (PollUntil(&p, 1, deadline) <= 0) return 0;
        if (p.revents & POLLIN) {
            const ssize_t k = ::read(master_, buf, max);
            if (k > 0) return static_cast<std::size_t>(k);
            if (k < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        }
        // Hang-up or EIO: no slave opener at present.
        if (deadline.Passed()) return 0;
        PauseWithin(deadline);
    }
    return 0;
}

std::size_t PseudoTerminal::ReadExactly(std::uint8_t* buf, std::size_t n, int boundMs) {
    const Deadline deadline(boundMs);
    std::size_t got = 0;
    while (got < n && !deadline.Passed()) got += ReadSome(buf + got, n - got, deadline.RemainingMs());
    return got;
}

bool PseudoTerminal::WriteAll(std::span<const std::uint8_t> bytes, int boundMs) {
    const Deadline deadline(boundMs);
    std::size_t done = 0;
    while (done < bytes.size() && master_ >= 0) {
        const ssize_t k = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (k > 0) {
            done += static_cast<std::size_t>(k);
            continue;
        }
        if (k < 0 && errno != EAGAIN && errno != EINTR) return false;
        pollfd p{master_, POLLOUT, 0};
        if (PollUntil(&p, 1, deadline) <= 0) return false;
    }
    return done == bytes.size();
}

std::int64_t PseudoTerminal::SlaveSpeed() const {
    LineSettings slave;
    if (master_ < 0 || !terminal::Read(master_, slave)) return -1;
    return slave.baud;
}

void PseudoTerminal::HangUp() {
    if (master_ < 0) return;
    ::close(master_);
    master_ = -1;
}

}  // namespace platform
