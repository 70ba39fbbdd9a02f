#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/Event.h"
#include "protocols/Catalogue.h"

namespace bench {

// `count` controller frames of `protocol` back to back, as the controller
// simulator makes them (a ride from a fixed seed, one frame per 100 ms of
// ride time).
std::vector<std::uint8_t> ControllerStream(protocols::ProtocolIndex protocol, std::size_t count);

// Length of one controller frame of `protocol`.
std::size_t ControllerFrameLength(protocols::ProtocolIndex protocol);

// Writes all of `bytes` to a non-blocking fd, waiting for room as needed,
// until done or `stop` is set. Returns the bytes written.
std::size_t WriteAllTo(int fd, std::span<const std::uint8_t> bytes, const platform::Event* stop);

// Reads and throws away whatever is waiting on a non-blocking fd; returns
// the byte count.
std::size_t Discard(int fd);

}  // namespace bench
