#pragma once

// Thread bodies of the link workers. Each reads the link state afresh,
// ends at once when the port is not open, and ends promptly when its stop
// signal is set.
namespace workers {

void SingleReadWorker();  // one controller frame, then ends
void AutoReadWorker();    // frames until stopAutoRead
void SimulatorWorker();   // display frames until stopSimulator
void CaptureWorker();     // 600 Halten RS frames into a capture file

}  // namespace workers
