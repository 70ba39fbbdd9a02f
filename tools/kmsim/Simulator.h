#pragma once

#include <cstdio>

#include "tools/kmsim/Options.h"

namespace platform {
class Event;
}

namespace kmsim {

// Exit codes of the simulator.
inline constexpr int kExitDone = 0;         // ended by a limit, a hang-up or a signal
inline constexpr int kExitSetupFailed = 1;  // no line could be had, at the start or at a replug

// Plays the controller on a new pseudo-terminal registered as COM<n> until
// a frame limit ends it or `quit` is set. Prints the ready line, the
// unplug and replug lines and the summary on `out` and the status line on
// `err`; returns an exit code.
int RunSimulator(const Options& options, const platform::Event& quit, std::FILE* out, std::FILE* err);

}  // namespace kmsim
