#include "tools/bench/support/LineFrames.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "tools/kmsim/ControllerFrames.h"

namespace bench {

std::vector<std::uint8_t> ControllerStream(protocols::ProtocolIndex protocol, std::size_t count) {
    kmsim::ControllerFrameSource source(protocol, 1);
    std::vector<std::uint8_t> out;
    out.reserve(count * source.FrameLength());
    for (std::size_t i = 0; i < count; ++i) {
        const std::vector<std::uint8_t> frame = source.Next(static_cast<double>(i) * 0.1);
        out.insert(out.end(), frame.begin(), frame.end());
    }
    return out;
}

std::size_t ControllerFrameLength(protocols::ProtocolIndex protocol) {
    return kmsim::ControllerFrameSource(protocol, 1).FrameLength();
}

std::size_t WriteAllTo(int fd, std::span<const std::uint8_t> bytes, const platform::Event* stop) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t k = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (k > 0) {
            done += static_cast<std::size_t>(k);
            continue;
        }
        if (k < 0 && errno == EINTR) continue;
        if (k < 0 && errno != EAGAIN) break;
        pollfd p[2] = {{fd, POLLOUT, 0}, {stop ? stop->Handle() : -1, POLLIN, 0}};
        if (::poll(p, 2, 1000) < 0 && errno != EINTR) break;
        if (p[1].revents & POLLIN) break;
        // The tool has closed the port: nobody will make room.
        if (p[0].revents & (POLLERR | POLLNVAL | POLLHUP)) break;
    }
    return done;
}

std::size_t Discard(int fd) {
    std::size_t total = 0;
    std::uint8_t buf[4096];
    for (;;) {
        const ssize_t k = ::read(fd, buf, sizeof buf);
        if (k > 0) {
            total += static_cast<std::size_t>(k);
            continue;
        }
        if (k < 0 && errno == EINTR) continue;
        return total;
    }
}

}  // namespace bench
