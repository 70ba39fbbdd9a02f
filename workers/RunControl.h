#pragma once

#include <string_view>

// The link side of the run commands: what a run start does to the link
// state and the port, and the start of each worker. The dialog adds the
// data exchange around it.
namespace workers {

// The stop step of every run command. Single read and continuous read stop
// a running capture too, so that only one reader ever uses the port.
// Returns whether a capture was running.
bool StopForRun();

// Fixes activeProtocol, sets the protocol's line speed when the one in
// force differs, and purges the port.
void BeginRun(int decoder);

// Parses the template into outFrame (skipped when outLock is missed),
// re-arms stopSimulator and starts the simulator.
void StartSimulator(std::string_view templateText, int decoder);

void StartSingleRead();
void StartAutoRead();  // also clears linkStatus to "nothing to show"
void StartCapture();

}  // namespace workers
