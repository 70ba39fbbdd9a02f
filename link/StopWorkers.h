#pragma once

namespace linkcore {

struct LinkState;

// Signals the stop event of every worker slot, in slot order (single
// read, continuous read, capture, simulator), then waits until each of
// those workers has ended. A stopped worker wakes at once from a read, a
// lock wait, its pause or a refresh request, so this returns within a few
// milliseconds; once it has returned no worker touches the port or the
// shared buffers again. Dialog thread only.
void StopAllWorkers(LinkState& s);

}  // namespace linkcore
