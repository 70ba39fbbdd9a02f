#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/SerialPort.h"

namespace linkcore {

struct LinkState;

// How long Connect waits for a port to open before it gives up on it.
inline constexpr int kOpenAnswerMs = 3000;

// What Connect did; the dialog puts it into words.
struct ConnectOutcome {
    bool opened = false;
    std::string device;  // the device COMn resolved to; empty when none
    platform::OpenError error = platform::OpenError::None;
    int systemError = 0;       // the system's error number of a failed open; 0 when none
    std::string systemReason;  // the system's own text for systemError; empty when none
    // The open did not answer within kOpenAnswerMs, or an earlier one
    // still had not when this Connect came (it is then refused).
    bool noAnswer = false;
    // The port opened but its driver refused the line settings: the
    // system's error number and its text (SerialPort::SettingsError).
    int settingsError = 0;
    std::string settingsReason;
};

// A port as the open left it, not yet the link's: what Connect's
// blocking half gives to the dialog thread.
struct OpenedPort {
    std::unique_ptr<platform::SerialPort> port;  // null when the open failed
    ConnectOutcome outcome;
};

// The blocking half of Connect: resolves COM<portNumber> and opens it.
// Any thread; touches no link state.
[[nodiscard]] OpenedPort OpenComPort(int portNumber);

// Tests only: the call that opens a device in place of SerialPort::Open
// (null restores it), so that a test can hold an open up.
using PortOpenFunction = std::unique_ptr<platform::SerialPort> (*)(const std::string& device,
                                                                   platform::OpenFailure* failure);
void SetPortOpenForTests(PortOpenFunction open);

// Stops the workers and closes an open port without writing its settings
// back (the first step of Connect, and the end of a line that has gone,
// whose device can take nothing any more). Ends with portOpen false.
void ClosePort(LinkState& s);
void ClosePort();  // on Link()

// Makes `opened` the link's port (when it opened), saves its own settings
// and sets the line speed the decoder selection asks for; `opened.outcome`
// then tells whether the driver took the settings.
void TakeOpenedPort(LinkState& s, OpenedPort& opened, int decoder);
void TakeOpenedPort(OpenedPort& opened, int decoder);  // on Link()

// Makes `opened` the link's port again after its line had gone: the
// settings in force (lineSettings, the speed the line ran at) go to it.
void TakeReturnedPort(LinkState& s, OpenedPort& opened);
void TakeReturnedPort(OpenedPort& opened);  // on Link()

// Connect: stops the workers and closes a port that is open (without
// writing its settings back), then opens "COM<portNumber>" at the speed
// the decoder selection asks for and saves the port's own settings.
// A failed open leaves no port and portOpen false. It waits for the open
// however long it takes; the dialog opens through PortOpener instead.
[[nodiscard]] ConnectOutcome Connect(LinkState& s, int portNumber, int decoder);

// Disconnect: stops the workers, lets a display frame still going out
// finish on the line, writes the saved settings back, closes
// the port. Always ends with no port and portOpen false.
void Disconnect(LinkState& s);
void Disconnect();  // on Link()

// The dialog's way to open a port: on a thread of its own, so that a port
// that takes seconds to open (a Bluetooth serial port reaching for its
// device) never holds up the window. One open at a time; an open given up
// on is left to finish on its thread, which then closes what it opened.
class PortOpener {
public:
    PortOpener() = default;
    ~PortOpener();  // gives up an open still running
    PortOpener(const PortOpener&) = delete;
    PortOpener& operator=(const PortOpener&) = delete;

    // Starts opening COM<portNumber> (OpenComPort); `finished` then runs
    // on the open's thread, unless the open was given up first. Starts
    // nothing and returns false while an earlier open runs, even one
    // given up on.
    bool Start(int portNumber, std::function<void()> finished);
    // Whether an open runs, given up on or not.
    [[nodiscard]] bool Running() const;
    // Waits up to `ms` for the open to finish; true when it has.
    bool WaitFinished(int ms);
    // The finished open's port and outcome, once; nothing while it runs,
    // after it was given up, or when there was none.
    [[nodiscard]] std::optional<OpenedPort> Take();
    // Gives up the running open: `finished` is not called from the time
    // this returns, and the port it may still open is closed.
    void GiveUp();

private:
    struct Job;
    std::shared_ptr<Job> job_;
};

}  // namespace linkcore
