#include <cstdio>
#include <string_view>
#include <vector>

#include "platform/Event.h"
#include "tools/kmsim/Options.h"
#include "tools/kmsim/QuitSignals.h"
#include "tools/kmsim/Simulator.h"

namespace {

constexpr int kExitUsage = 2;

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
    kmsim::CatchQuitSignals(quit);
    return kmsim::RunSimulator(*parsed.options, quit, stdout, stderr);
}
