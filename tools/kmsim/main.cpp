#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "platform/Event.h"
#include "tools/kmsim/Options.h"
#include "tools/kmsim/Simulator.h"

namespace {

constexpr int kExitUsage = 2;

// The quit event's eventfd; the handler only writes to it, which is safe
// in a signal handler, and the main loop polls it.
int g_quitFd = -1;

extern "C" void OnQuitSignal(int) {
    const int saved = errno;
    const std::uint64_t one = 1;
    if (g_quitFd >= 0) {
        [[maybe_unused]] const ssize_t k = ::write(g_quitFd, &one, sizeof one);
    }
    errno = saved;
}

void CatchQuitSignals(const platform::Event& quit) {
    g_quitFd = quit.Handle();
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
    // A reader of stdout that went away must not end the simulator before
    // it has removed its link.
    ::signal(SIGPIPE, SIG_IGN);
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    const kmsim::ParsedOptions parsed = kmsim::ParseOptions(args);
    if (!parsed.options) {
        std::fprintf(stderr, "zonter-kmsim: %s\nTry 'zonter-kmsim --help'.\n", parsed.error.c_str());
        return kExitUsage;
    }
    if (parsed.options->help) {
        std::fputs(kmsim::HelpText("zonter-kmsim").c_str(), stdout);
        return 0;
    }
    platform::Event quit;
    CatchQuitSignals(quit);
    return kmsim::RunSimulator(*parsed.options, quit, stdout, stderr);
}
