#pragma once

namespace linkcore {
struct LinkState;
}

// Thread bodies of the link workers. Each reads the link state afresh,
// ends at once when the port is not open, and ends promptly when the stop
// event of its slot is set.
namespace workers {

void SingleReadWorker(linkcore::LinkState& s);  // one controller frame, then ends
void AutoReadWorker(linkcore::LinkState& s);    // frames until stopped
void SimulatorWorker(linkcore::LinkState& s);   // display frames until stopped
void CaptureWorker(linkcore::LinkState& s);     // 600 frames of the capturing protocol into a file

}  // namespace workers
