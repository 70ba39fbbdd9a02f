#include "link/StopWorkers.h"

#include "link/LinkState.h"

namespace linkcore {

void StopAllWorkers(LinkState& s) {
    for (WorkerSlot& slot : s.workerSlots) {
        if (slot.stop) slot.stop->Set();
    }
    // Each worker wakes at once on its event; joining here is what makes
    // sure it never touches the port or the buffers after we return.
    for (WorkerSlot& slot : s.workerSlots) slot.thread.Join();
}

}  // namespace linkcore
