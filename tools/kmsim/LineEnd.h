#pragma once

#include <functional>
#include <string>

#include "platform/Event.h"
#include "platform/PseudoTerminal.h"

namespace kmsim {

// Whether the reader has closed the slave side (the master sees POLLHUP),
// or the line is hung up already.
bool ReaderClosed(const platform::PseudoTerminal& pty);

// The end of a controller's frames, before the master is closed. Closing
// the master hangs the slave up, and the hang-up empties the slave's input
// queue: bytes the reader has not yet read are lost. So this waits until
// the reader has taken every byte (at most 2 s), then keeps the silent line
// open until the reader closes the port (at most 2 s more), so that the
// reader meets the end as a controller that stopped sending (a time-out),
// not as a pulled cable. A quit or the reader's close ends either wait.
// `readDisplay` is called whenever the reader's bytes (display frames) are
// waiting on the master; `log` gets a line when the drain could not be
// watched or did not finish.
void EndLine(const platform::PseudoTerminal& pty, const platform::Event& quit, const std::function<void()>& readDisplay,
             const std::function<void(const std::string&)>& log);

}  // namespace kmsim
