#include "tools/kmsim/LineEnd.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>

namespace kmsim {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kDrainBound{2000};
constexpr milliseconds kDrainLook{2};
constexpr milliseconds kLingerBound{2000};

// The bytes waiting in the slave's input queue; nothing when it cannot be
// seen. The master cannot see that queue (TIOCOUTQ on a master is always
// 0); the slave's FIONREAD can, through an fd of our own, opened for the
// look alone: held open it would hide the reader's close (no POLLHUP on the
// master while any slave fd is open). A reader in exclusive mode (TIOCEXCL,
// as the tool's port is) turns that open away unless this process runs
// privileged; then only the wait that follows gives the reader its time.
std::optional<int> SlaveQueue(const platform::PseudoTerminal& pty) {
    const int slave = ::open(pty.slavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) return std::nullopt;
    int queued = 0;
    const bool seen = ::ioctl(slave, FIONREAD, &queued) == 0;
    ::close(slave);
    return seen ? std::optional<int>(queued) : std::nullopt;
}

// Waits until the reader has read every byte, closed the port or the bound
// has passed.
void Drain(const platform::PseudoTerminal& pty, const platform::Event& quit, const std::function<void()>& readDisplay,
           const std::function<void(const std::string&)>& log) {
    const Clock::time_point end = Clock::now() + kDrainBound;
    for (;;) {
        // A reader that closed the port took its queue with it.
        if (ReaderClosed(pty) || quit.IsSet()) return;
        const std::optional<int> queued = SlaveQueue(pty);
        if (!queued) {
            log("# the line's drain cannot be watched: " + std::string(std::strerror(errno)));
            return;
        }
        if (*queued == 0) return;
        if (Clock::now() >= end) {
            log("# " + std::to_string(*queued) + " bytes still unread when the line closed");
            return;
        }
        // Display frames keep coming while the reader catches up.
        pollfd p{pty.masterFd(), POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(kDrainLook.count())) > 0 && (p.revents & POLLIN)) readDisplay();
    }
}

// Keeps the silent line open until the reader closes the port, a quit or
// the bound.
void Linger(const platform::PseudoTerminal& pty, const platform::Event& quit,
            const std::function<void()>& readDisplay) {
    const Clock::time_point end = Clock::now() + kLingerBound;
    for (Clock::time_point now = Clock::now(); now < end && !quit.IsSet(); now = Clock::now()) {
        pollfd fds[2] = {{quit.Handle(), POLLIN, 0}, {pty.masterFd(), POLLIN, 0}};
        const int left = static_cast<int>(std::chrono::ceil<milliseconds>(end - now).count());
        if (::poll(fds, 2, left) <= 0 || (fds[0].revents & POLLIN)) continue;
        if (fds[1].revents & (POLLHUP | POLLERR)) return;
        if (fds[1].revents & POLLIN) readDisplay();
    }
}

}  // namespace

bool ReaderClosed(const platform::PseudoTerminal& pty) {
    if (pty.hungUp()) return true;
    pollfd p{pty.masterFd(), 0, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR)) != 0;
}

void EndLine(const platform::PseudoTerminal& pty, const platform::Event& quit, const std::function<void()>& readDisplay,
             const std::function<void(const std::string&)>& log) {
    if (ReaderClosed(pty)) return;
    Drain(pty, quit, readDisplay, log);
    Linger(pty, quit, readDisplay);
}

}  // namespace kmsim
