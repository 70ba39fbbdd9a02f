#pragma once

#include "platform/Event.h"

namespace kmsim {

// SIGINT, SIGTERM and SIGHUP set `quit` (the handler only writes to its
// eventfd, which is safe in a handler, and the main loop polls it);
// SIGPIPE is ignored, so that a reader of stdout that went away does not
// end the program before it has cleaned up (removed its link).
void CatchQuitSignals(const platform::Event& quit);

}  // namespace kmsim
