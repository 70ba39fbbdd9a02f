#pragma once

#include <string>

#include "platform/Event.h"

namespace linkcore {

// The main window as the workers see it: it shows what a worker left in
// the link state when asked. Implemented by the dialog.
class RefreshSink {
public:
    virtual ~RefreshSink() = default;

    // Runs the refresh `code` on the window's thread and returns once it
    // has been handled, or as soon as `stop` is set (so that a worker
    // waiting here never blocks the dialog that is waiting for the worker).
    // Returns true when the refresh was handled.
    virtual bool Refresh(unsigned code, const platform::Event& stop) = 0;

    // Tells the window, without waiting, that a capture has ended, so that
    // "В файл 60s" is offered again while the port is open. `message` is
    // shown in the state line when not empty.
    virtual void CaptureEnded(const std::string& message) = 0;
};

struct LinkState;

// Sends a refresh request (RefreshCodes.h) to the main window recorded in
// `s` from a worker thread. A worker holds no lock while it waits.
// Returns whether the window handled it.
bool RefreshRequest(LinkState& s, unsigned code, const platform::Event& stop);

// Tells the main window that a capture has ended (RefreshSink::CaptureEnded).
void NotifyCaptureEnded(LinkState& s, const std::string& message = {});

// Whether the open port's line has gone (SerialPort::Gone).
[[nodiscard]] bool LineGone(const LinkState& s);

// The end of a worker that found the line gone: asks the window to act on
// it (CMD_LINE_GONE). The window stops every worker, this one included,
// so the wait here ends at once.
void ReportLineGone(LinkState& s, const platform::Event& stop);

}  // namespace linkcore
