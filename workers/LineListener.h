#pragma once

#include "platform/Event.h"
#include "platform/WorkerThread.h"
#include "protocols/Detection.h"

namespace linkcore {
struct LinkState;
}

namespace workers {

// Listens on the open port at the speed in force for one window of a
// sweep (protocols::ListenWindow decides how long), reading only: it never
// sends. Each read waits a few tens of ms at most and wakes at once on
// `stop`. Returns what the window heard; a stopped or gone line ends it
// with what it had.
[[nodiscard]] protocols::Finding ListenAtSpeed(linkcore::LinkState& s, unsigned speed, const platform::Event& stop);

// Where a listening window's finding goes, from the listener's thread.
class ListenSink {
public:
    virtual ~ListenSink() = default;
    virtual void Listened(const protocols::Finding& finding) = 0;
};

// The worker of a protocol sweep: one listening window at a time, each
// started by the dialog thread once it has set the speed and purged the
// port. Stop (or the destructor) ends a window at once and returns once
// the worker no longer touches the port; a stopped window reports nothing.
class LineListener {
public:
    LineListener(linkcore::LinkState& s, ListenSink& sink) : s_(s), sink_(sink) {}
    ~LineListener() { Stop(); }
    LineListener(const LineListener&) = delete;
    LineListener& operator=(const LineListener&) = delete;

    // False when the system gave no stop event: then nothing starts.
    [[nodiscard]] bool CanListen() const { return stop_.Valid(); }
    void Start(unsigned speed);
    void Stop();
    [[nodiscard]] bool Listening() const { return thread_.Running(); }

private:
    linkcore::LinkState& s_;
    ListenSink& sink_;
    platform::Event stop_;
    platform::WorkerThread thread_;  // after stop_: joined before it goes
};

}  // namespace workers
