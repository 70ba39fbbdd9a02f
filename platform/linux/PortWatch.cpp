#include "platform/PortWatch.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include "platform/Event.h"
#include "platform/PortNames.h"
#include "platform/posix/PortFolder.h"

namespace platform {

namespace {

// A device node made under /dev, or given its rights (udev sets the group
// after the kernel has made the node), and a link placed in the port
// directory or in the folder the COMn link points into (/dev/pts,
// /dev/serial/by-id).
struct WatchedFolder {
    std::string path;
    std::uint32_t events;
};

std::vector<WatchedFolder> FoldersFor(unsigned portNumber) {
    constexpr std::uint32_t kPlaced = IN_CREATE | IN_MOVED_TO;
    std::vector<WatchedFolder> folders{{"/dev", kPlaced | IN_ATTRIB}, {PortDirectory(), kPlaced}};
    const std::string link = PortDirectory() + "/" + ComName(portNumber);
    if (const auto target = portdir::LinkTarget(link)) {
        const std::size_t slash = target->rfind('/');
        if (slash != std::string::npos && slash > 0) folders.push_back({target->substr(0, slash), kPlaced});
    }
    return folders;
}

// Takes every queued record; their content does not matter, only that
// something changed.
void Drain(int fd) {
    alignas(inotify_event) char buf[4096];
    while (::read(fd, buf, sizeof buf) > 0) {
    }
}

}  // namespace

struct PortWatch::System {
    Event stop;
    int fd = -1;
    std::thread thread;

    ~System() {
        if (fd >= 0) ::close(fd);
    }

    // True when at least one folder is watched.
    bool Watch(unsigned portNumber) {
        fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd < 0) return false;
        bool any = false;
        for (const WatchedFolder& folder : FoldersFor(portNumber)) {
            if (::inotify_add_watch(fd, folder.path.c_str(), folder.events) >= 0) any = true;
        }
        return any;
    }

    // Until stopped: `changed` for each batch of records.
    void Listen(const std::function<void()>& changed) {
        for (;;) {
            pollfd fds[2] = {{fd, POLLIN, 0}, {stop.Handle(), POLLIN, 0}};
            const int r = ::poll(fds, 2, -1);
            if (r < 0 && errno == EINTR) continue;
            if (r < 0 || (fds[0].revents & (POLLERR | POLLNVAL))) return Poll(changed);
            if (fds[1].revents & POLLIN) return;
            Drain(fd);
            changed();
        }
    }

    void Poll(const std::function<void()>& changed) {
        while (!stop.Wait(1000)) changed();
    }
};

PortWatch::PortWatch(unsigned portNumber, std::function<void()> changed) : system_(std::make_unique<System>()) {
    System& system = *system_;
    const bool watching = system.Watch(portNumber);
    system.thread = std::thread([&system, watching, changed = std::move(changed)] {
        if (!system.stop.Valid()) return;  // could never be stopped
        if (watching) {
            system.Listen(changed);
        } else {
            system.Poll(changed);
        }
    });
}

PortWatch::~PortWatch() {
    system_->stop.Set();
    system_->thread.join();
}

}  // namespace platform
