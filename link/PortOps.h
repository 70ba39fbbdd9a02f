#pragma once

#include <chrono>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/SerialPort.h"

namespace platform {
class Event;
}

namespace linkcore {

struct LinkState;

// --- dialog thread ---

// Fills lineSettings from `mode` and applies it to the open port; lineSpeed
// records `speed` whether or not the port took it (a refused rate leaves
// the port's settings as they were).
void SetLineSpeed(LinkState& s, std::string_view mode, int speed);
void SetLineSpeed(std::string_view mode, int speed);  // on Link()

// Ends every pending transfer and empties both driver buffers.
void PurgePort(LinkState& s);

// --- workers ---

// Reads exactly n bytes from the port (read afresh) into dest within
// boundMs; a stop wakes it at once. With no port open it waits the bound
// on `stop` and reports a time-out. A line that has gone reports Gone at
// once: the worker ends and tells the dialog (ReportLineGone).
[[nodiscard]] platform::ReadOutcome ReadExact(LinkState& s, std::uint8_t* dest, std::size_t n, int boundMs,
                                              const platform::Event& stop);

// Waits, reading nothing, for the line time of those of the next `count`
// bytes not yet queued, within boundMs (SerialPort::AwaitBytes). Returns
// the ms waited, -1 when stopped; 0 with no port open.
[[nodiscard]] int AwaitBytes(LinkState& s, std::size_t count, int boundMs, const platform::Event& stop);

// The two steps of sending the first n bytes of sendBuffer: the write, and
// the flush that returns once the bytes have left the port. The caller
// may act between them.
// SendFrameStart returns how long after the write's start the line will
// have sent the frame: the later of what the driver reports it still holds
// and the frame's line time from the write's start (SerialPort::LineFreeAt);
// 0 with no port open.
// SendFrameFlush returns when the line did send the frame: the flush's end
// while the port still held some of it when the flush began, else the
// caller's estimate `sentBy` (the caller's time between the two steps
// outlasted the frame). The flush itself waits out the frame's line time.
using SendClock = std::chrono::steady_clock;
[[nodiscard]] std::chrono::microseconds SendFrameStart(LinkState& s, std::size_t n, const platform::Event& stop);
SendClock::time_point SendFrameFlush(LinkState& s, SendClock::time_point sentBy, const platform::Event& stop);

// --- dialog thread ---

// Waits, unstoppably, until the line has sent what was written to it (its
// line time included), so that the port's settings are changed or restored
// only after the last frame has gone out. Bounded by the line time of the
// driver's queue. Nothing to wait for with no port open.
void FinishSending(LinkState& s);

}  // namespace linkcore
