#include "tools/bench/support/WakeCost.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <thread>

#include "tools/bench/support/Usage.h"

namespace bench {

double MicrosPerWakeup(int wakeups) {
    int p[2];
    if (::pipe2(p, O_CLOEXEC) != 0) return 0;
    double cpu = 0;
    std::thread sleeper([&] {
        const double cpu0 = ThreadCpuSeconds();
        char c;
        for (int i = 0; i < wakeups; ++i) {
            pollfd f{p[0], POLLIN, 0};
            if (::poll(&f, 1, 5000) <= 0 || ::read(p[0], &c, 1) != 1) break;
        }
        cpu = ThreadCpuSeconds() - cpu0;
    });
    // A byte every 2 ms, so that the sleeper is asleep each time.
    for (int i = 0; i < wakeups; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const char c = 1;
        if (::write(p[1], &c, 1) != 1) break;
    }
    sleeper.join();
    ::close(p[0]);
    ::close(p[1]);
    return cpu * 1e6 / wakeups;
}

}  // namespace bench
