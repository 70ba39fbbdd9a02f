#include "link/Connection.h"

#include <filesystem>

#include "link/LinkState.h"
#include "link/PortOps.h"
#include "link/StopWorkers.h"
#include "platform/PortNames.h"
#include "platform/SystemError.h"
#include "protocols/Catalogue.h"

namespace linkcore {

namespace {

// The device a port-directory link stands for, to show the user.
std::string DeviceBehind(const std::string& path) {
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(path, error);
    return error ? path : real.string();
}

}  // namespace

ConnectOutcome Connect(LinkState& s, int portNumber, int decoder) {
    ConnectOutcome outcome;

    // Every worker stops, a running capture too, so that no reader is
    // left on a closed or reopened port.
    if (s.port.load()) {
        StopAllWorkers(s);
        s.port.store(nullptr);
        s.portHandle.reset();
    }

    const unsigned number = static_cast<unsigned>(portNumber);
    std::unique_ptr<platform::SerialPort> opened;
    if (auto device = platform::ResolveComPort(number)) {
        outcome.device = DeviceBehind(*device);
        platform::OpenFailure failure;
        opened = platform::SerialPort::Open(*device, &failure);
        outcome.error = failure.kind;
        outcome.systemError = failure.systemError;
        outcome.systemReason = platform::SystemErrorText(failure.systemError);
    } else {
        outcome.error = platform::OpenError::NotFound;
    }

    if (!opened) {
        s.portOpen.store(false);
        return outcome;
    }

    // The port's own settings, as they were before the open made it raw.
    s.savedLineSettings = opened->SettingsAtOpen();
    s.portHandle = std::move(opened);
    s.port.store(s.portHandle.get());

    const protocols::ProtocolInfo& protocol = protocols::Protocol(decoder);
    SetLineSpeed(s, protocol.connect.mode, static_cast<int>(protocol.connect.speed));
    s.portOpen.store(true);
    outcome.opened = true;
    return outcome;
}

void Disconnect(LinkState& s) {
    if (s.port.load()) {
        StopAllWorkers(s);
        // Best effort: the port closes whether or not it takes them back.
        static_cast<void>(s.portHandle->ApplySettings(s.savedLineSettings));
        s.port.store(nullptr);
        s.portHandle.reset();
    }
    s.portOpen.store(false);
}

}  // namespace linkcore
