#include "link/PortOps.h"

#include <algorithm>

#include "link/LinkState.h"
#include "platform/Event.h"

namespace linkcore {

void SetLineSpeed(LinkState& s, std::string_view mode, int speed) {
    // Text that cannot be read leaves lineSettings as it was, which then
    // goes to the port again; lineSpeed takes `speed` either way.
    static_cast<void>(platform::BuildLineSettings(mode, s.lineSettings));
    if (platform::SerialPort* port = s.port.load()) {
        // A refused rate leaves the port as it was, as the dialog expects.
        static_cast<void>(port->ApplySettings(s.lineSettings));
    }
    s.lineSpeed = speed;
}

void PurgePort(LinkState& s) {
    if (platform::SerialPort* port = s.port.load()) port->Purge();
}

platform::ReadOutcome ReadExact(LinkState& s, std::uint8_t* dest, std::size_t n, int boundMs,
                                const platform::Event& stop) {
    platform::SerialPort* port = s.port.load();
    if (!port) {
        // No port: wait like a read that gets nothing, so no caller spins.
        return stop.Wait(boundMs) ? platform::ReadOutcome::Stopped : platform::ReadOutcome::TimedOut;
    }
    return port->ReadExact(dest, n, boundMs, &stop);
}

int AwaitBytes(LinkState& s, std::size_t count, int boundMs, const platform::Event& stop) {
    platform::SerialPort* port = s.port.load();
    return port ? port->AwaitBytes(count, boundMs, &stop) : 0;
}

std::chrono::microseconds SendFrameStart(LinkState& s, std::size_t n, const platform::Event& stop) {
    platform::SerialPort* port = s.port.load();
    if (!port) return std::chrono::microseconds::zero();
    const SendClock::time_point begun = SendClock::now();
    // A frame the line did not take is not sent again: the next cycle
    // sends a fresh one.
    static_cast<void>(port->Write(s.sendBuffer.data(), n, &stop));
    // The driver's word (what it still holds, from now) or the line time
    // from the write's start (LineFreeAt), whichever ends later: a
    // buffering adapter reports nothing held while its chip still sends.
    const SendClock::time_point now = SendClock::now();
    const SendClock::time_point sent = std::max(now + port->QueuedOutputTime(), port->LineFreeAt());
    return std::chrono::duration_cast<std::chrono::microseconds>(std::max(sent, now) - begun);
}

SendClock::time_point SendFrameFlush(LinkState& s, SendClock::time_point sentBy, const platform::Event& stop) {
    platform::SerialPort* port = s.port.load();
    if (!port) return sentBy;
    const bool stillSending = port->QueuedOutputTime() > std::chrono::microseconds::zero();
    port->Drain(&stop);
    return stillSending ? SendClock::now() : sentBy;
}

void FinishSending(LinkState& s) {
    if (platform::SerialPort* port = s.port.load()) port->Drain(nullptr);
}

}  // namespace linkcore
