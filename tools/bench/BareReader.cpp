// zonter-bench-barereader: the floor under any reader of a serial line. It
// opens the line, sets it raw at the given speed, then only waits in poll()
// and reads what is there, once per wake-up, into a buffer it never looks
// at. What it costs is what the line itself costs this machine: the
// benchmarks measure the tool as a multiple of it, fed the same bytes at
// the same moments (zonter-kmsim --mirror-port).
//
//   zonter-bench-barereader --device PATH [--speed BITS]
//
// Prints "ready" once the line is open and "summary bytes=N reads=M" when
// it ends (SIGTERM, or the line hung up).
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/Event.h"
#include "tools/kmsim/QuitSignals.h"

namespace {

speed_t SpeedCode(long bits) {
    switch (bits) {
        case 1200:
            return B1200;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        default:
            return B115200;
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string device;
    long speed = 9600;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        if (key == "--device") {
            device = argv[i + 1];
        } else if (key == "--speed") {
            speed = std::stol(argv[i + 1]);
        }
    }
    if (device.empty()) {
        std::fprintf(stderr, "usage: zonter-bench-barereader --device PATH [--speed BITS]\n");
        return 2;
    }
    platform::Event quit;
    kmsim::CatchQuitSignals(quit);

    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        std::perror(device.c_str());
        return 1;
    }
    termios t{};
    if (::tcgetattr(fd, &t) == 0) {
        ::cfmakeraw(&t);
        ::cfsetspeed(&t, SpeedCode(speed));
        ::tcsetattr(fd, TCSANOW, &t);
    }
    std::printf("ready\n");
    std::fflush(stdout);

    unsigned long long bytes = 0;
    unsigned long long reads = 0;
    std::uint8_t buffer[4096];
    for (;;) {
        pollfd p[2] = {{fd, POLLIN, 0}, {quit.Handle(), POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (p[1].revents & POLLIN) break;
        const ssize_t k = ::read(fd, buffer, sizeof buffer);
        if (k > 0) {
            bytes += static_cast<unsigned long long>(k);
            ++reads;
        } else if (k == 0 || (errno != EAGAIN && errno != EINTR)) {
            break;  // hung up
        }
    }
    ::close(fd);
    std::printf("summary bytes=%llu reads=%llu\n", bytes, reads);
    std::fflush(stdout);
    return 0;
}
