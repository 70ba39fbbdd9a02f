#pragma once

#include <string>

#include "platform/SerialPort.h"

namespace linkcore {

struct LinkState;

// What Connect did; the dialog puts it into words.
struct ConnectOutcome {
    bool opened = false;
    std::string device;  // the device COMn resolved to; empty when none
    platform::OpenError error = platform::OpenError::None;
    int systemError = 0;       // the system's error number of a failed open; 0 when none
    std::string systemReason;  // the system's own text for systemError; empty when none
};

// Connect: stops the workers and closes a port that is open (without
// writing its settings back), then opens "COM<portNumber>" at the speed
// the decoder selection asks for and saves the port's own settings.
// A failed open leaves no port and portOpen false.
[[nodiscard]] ConnectOutcome Connect(LinkState& s, int portNumber, int decoder);
[[nodiscard]] ConnectOutcome Connect(int portNumber, int decoder);  // on Link()

// Disconnect: stops the workers, writes the saved settings back, closes
// the port. Always ends with no port and portOpen false.
void Disconnect(LinkState& s);
void Disconnect();  // on Link()

}  // namespace linkcore
