#pragma once

#include <initializer_list>

namespace platform {
class Event;
}

namespace linkcore {

// Signals each stop event in the order given, then waits until every
// worker whose event was signalled has ended. A stopped worker wakes at
// once from a read, a lock wait, its pause or a refresh request, so this
// returns within a few milliseconds; once it has returned no stopped
// worker touches the port or the shared buffers again. Dialog thread only.
void StopWorkers(std::initializer_list<platform::Event*> events);

// The four stop events in the order the dialog's destruction signals them.
void StopAllWorkers();

}  // namespace linkcore
