#pragma once

#include <poll.h>

#include <cstddef>

#include "platform/Deadline.h"

namespace platform {

// poll() until one of `fds` reports something or the deadline passes,
// restarting after signals. Returns poll's positive count, 0 once the
// deadline has passed, -1 on a poll failure. With no fds it is a plain
// bounded sleep.
int PollUntil(pollfd* fds, std::size_t count, const Deadline& deadline);

}  // namespace platform
