#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "protocols/Codec.h"
#include "tools/kmsim/DisplayDecoder.h"
#include "tools/kmsim/Ride.h"

namespace kmsim {

// The frames one simulated controller sends, one after another; they may
// carry state from frame to frame (keys, rolling numbers).
class ControllerFrames {
public:
    virtual ~ControllerFrames() = default;

    // Frame `index` (counting from 0) with the ride as it stands and the
    // gear position (0..7) the display last asked for.
    virtual std::vector<std::uint8_t> Next(std::uint64_t index, const RideSample& ride, std::uint8_t gearEcho) = 0;
};

// How the display frames the tool sends to this controller are found in
// the byte stream: two start bytes and a fixed length. A length of 0: the
// tool sends none, and every byte is passed over.
struct DisplayFraming {
    std::size_t length = 0;
    std::uint8_t start0 = 0;
    std::uint8_t start1 = 0;
    bool counter = false;  // the frames carry a rolling counter (DisplaySettings::counter)
};

// The simulator's side of one protocol: the controller frames it sends and
// the display frames it decodes. One file per protocol; the sides are
// found through the codec table, by their codec.
class ControllerSide {
public:
    virtual ~ControllerSide() = default;

    [[nodiscard]] virtual const protocols::Codec& Codec() const = 0;

    // Its paragraph under --protocol in the help text, each line indented.
    [[nodiscard]] virtual std::string_view Help() const = 0;

    // Pause after each frame when --interval is not given.
    [[nodiscard]] virtual int DefaultIntervalMs() const { return 100; }

    [[nodiscard]] virtual std::unique_ptr<ControllerFrames> NewFrames(std::uint64_t seed) const = 0;

    [[nodiscard]] virtual DisplayFraming Display() const { return {}; }

    // The settings of one display frame of Display().length bytes whose
    // checksum holds.
    [[nodiscard]] virtual DisplaySettings DecodeDisplay(std::span<const std::uint8_t> frame) const;
};

// The side of the codec at `index` in the codec table; nothing when that
// codec has none.
[[nodiscard]] const ControllerSide* SideAt(int index);

// The index of the codec whose short name is `name` and which has a side.
[[nodiscard]] std::optional<int> ProtocolNamed(std::string_view name);

// The names of the protocols with a side, in the table's order.
[[nodiscard]] std::vector<std::string_view> ProtocolNames();

// Adds the side of a registered codec (protocols::RegisterCodec); for
// start-up, before the simulator runs.
void RegisterControllerSide(const ControllerSide& side);

// The built-in sides, each in a file of its own.
[[nodiscard]] const ControllerSide& TestControllerSide();
[[nodiscard]] const ControllerSide& HaltenControllerSide();
[[nodiscard]] const ControllerSide& KugooControllerSide();

}  // namespace kmsim
