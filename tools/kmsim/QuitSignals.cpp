#include "tools/kmsim/QuitSignals.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace kmsim {

namespace {

int g_quitFd = -1;

extern "C" void OnQuit(int) {
    const int saved = errno;
    const std::uint64_t one = 1;
    if (g_quitFd >= 0) {
        [[maybe_unused]] const ssize_t k = ::write(g_quitFd, &one, sizeof one);
    }
    errno = saved;
}

}  // namespace

void CatchQuitSignals(const platform::Event& quit) {
    g_quitFd = quit.Handle();
    struct sigaction action {};
    action.sa_handler = OnQuit;
    sigemptyset(&action.sa_mask);
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(s, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
}

}  // namespace kmsim
