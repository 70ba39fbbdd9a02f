#pragma once

#include <cstdint>

#include "protocols/Catalogue.h"

namespace platform {
class Event;
}

namespace linkcore {
struct LinkState;
}

namespace workers {

// Outcome of one pass over the line: hunting the sync bytes of a frame,
// then reading the rest.
enum class PassResult {
    Frame,             // a whole frame is in the buffer
    NotASync,          // a byte that does not start a frame was passed over
    FirstSyncTimeOut,  // nothing came while hunting the first sync byte
    TimeOut,           // the second sync byte or the rest did not come in time
    Stopped,           // the worker's stop signal came
    Gone,              // the line has gone (SerialPort::Gone)
};

// Reads one pass of `protocol`'s framing from the port of `s` into `buffer`
// (15 bytes) with the
// given wait bounds: each sync byte by itself, then the rest in one read.
// A wrong second sync byte ends the pass; it is not tested as a first one.
// A pass that ends NotASync adds the bytes it passed over to `*passedOver`
// (when given).
[[nodiscard]] PassResult ReadFramePass(linkcore::LinkState& s, const protocols::ProtocolInfo& protocol,
                                       const protocols::ReadWaits& waits, std::uint8_t* buffer,
                                       const platform::Event& stop, unsigned* passedOver = nullptr);

}  // namespace workers
