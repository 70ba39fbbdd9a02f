#include "link/PortOps.h"

#include "link/LinkState.h"
#include "platform/Event.h"

namespace linkcore {

void SetLineSpeed(std::string_view mode, int speed) {
    LinkState& s = Link();
    platform::BuildLineSettings(mode, s.lineSettings);
    if (platform::SerialPort* port = s.port.load()) port->ApplySettings(s.lineSettings);
    s.lineSpeed = speed;
}

void PurgePort() {
    if (platform::SerialPort* port = Link().port.load()) port->Purge();
}

platform::ReadOutcome ReadExact(std::uint8_t* dest, std::size_t n, int boundMs, const platform::Event& stop) {
    platform::SerialPort* port = Link().port.load();
    if (!port) {
        // No port: wait like a read that gets nothing, so no caller spins.
        return stop.Wait(boundMs) ? platform::ReadOutcome::Stopped : platform::ReadOutcome::TimedOut;
    }
    return port->ReadExact(dest, n, boundMs, &stop);
}

void SendFrameStart(std::size_t n, const platform::Event& stop) {
    LinkState& s = Link();
    if (platform::SerialPort* port = s.port.load()) port->Write(s.sendBuffer.data(), n, &stop);
}

void SendFrameFlush(const platform::Event& stop) {
    if (platform::SerialPort* port = Link().port.load()) port->Drain(&stop);
}

}  // namespace linkcore
