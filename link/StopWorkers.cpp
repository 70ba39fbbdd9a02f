#include "link/StopWorkers.h"

#include "link/LinkState.h"

namespace linkcore {

namespace {

platform::WorkerThread* ThreadOf(const platform::Event* stop) {
    LinkState& s = Link();
    if (stop == s.stopSingleRead.get()) return &s.singleReadThread;
    if (stop == s.stopAutoRead.get()) return &s.autoReadThread;
    if (stop == s.stopSimulator.get()) return &s.simulatorThread;
    if (stop == s.stopCapture.get()) return &s.captureThread;
    return nullptr;
}

}  // namespace

void StopWorkers(std::initializer_list<platform::Event*> events) {
    for (platform::Event* e : events) {
        if (e) e->Set();
    }
    // Each worker wakes at once on its event; joining here is what makes
    // sure it never touches the port or the buffers after we return.
    for (platform::Event* e : events) {
        if (platform::WorkerThread* t = ThreadOf(e)) t->Join();
    }
}

void StopAllWorkers() {
    LinkState& s = Link();
    StopWorkers({s.stopSingleRead.get(), s.stopAutoRead.get(), s.stopCapture.get(), s.stopSimulator.get()});
}

}  // namespace linkcore
