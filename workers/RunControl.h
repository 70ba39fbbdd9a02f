#pragma once

#include <string_view>

namespace linkcore {
struct LinkState;
}

// The link side of the run commands: what a run start does to the link
// state and the port, and the start of each worker. The dialog adds the
// data exchange around it and calls the forms without a state, which work
// on the process-wide one (linkcore::Link()).
namespace workers {

// The stop step of every run command: every worker stops. Single read and
// continuous read stop a running capture too, so that only one reader
// ever uses the port. Returns whether a capture was running.
bool StopForRun(linkcore::LinkState& s);
bool StopForRun();

// Fixes activeProtocol, sets the protocol's line speed when the one in
// force differs, and purges the port.
void BeginRun(linkcore::LinkState& s, int decoder);
void BeginRun(int decoder);

// Each start re-arms the worker's stop event and starts it; without the
// sync objects (CreateSyncObjects) nothing starts.

// Parses the template into outFrame (skipped when outLock is missed) and
// starts the simulator.
void StartSimulator(linkcore::LinkState& s, std::string_view templateText, int decoder);
void StartSimulator(std::string_view templateText, int decoder);

void StartSingleRead(linkcore::LinkState& s);
void StartSingleRead();

// Also clears linkStatus to "nothing to show".
void StartAutoRead(linkcore::LinkState& s);
void StartAutoRead();

void StartCapture(linkcore::LinkState& s);
void StartCapture();

}  // namespace workers
