#include "link/PortOps.h"

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
    // A frame the line did not take is not sent again: the next cycle
    // sends a fresh one.
    static_cast<void>(port->Write(s.sendBuffer.data(), n, &stop));
    return port->QueuedOutputTime();
}

SendClock::time_point SendFrameFlush(LinkState& s, SendClock::time_point sentBy, const platform::Event& stop) {
    platform::SerialPort* port = s.port.load();
    if (!port) return sentBy;
    const bool stillSending = port->QueuedOutputTime() > std::chrono::microseconds::zero();
    port->Drain(&stop);
    return stillSending ? SendClock::now() : sentBy;
}

}  // namespace linkcore
