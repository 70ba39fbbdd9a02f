#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "protocols/Catalogue.h"
#include "protocols/Frames.h"
#include "protocols/RxLines.h"
#include "protocols/Template.h"

namespace protocols {

// The setting controls that patch the display frame.
enum class Setting { MaxP, Throttle, MaxV, ZeroStart, Cruise, SoftStart, Ebs };

// The run commands.
enum class RunCommand { SingleRead, AutoRead, Capture };

// What a run start goes on to do.
struct RunPlan {
    bool goesOn;     // false: the command stops the running workers and does nothing more
    bool simulates;  // whether the run sends display frames
};

// How a run of bytes measures up as one of a decoder's controller frames.
enum class FrameFit {
    Valid,        // length, sync bytes and check all fit
    WrongLength,  // not the decoder's frame length
    WrongSync,    // the sync bytes are not where they belong
    BadCheck,     // the check the controller closes its frame with fails
};

// Everything a protocol is: its catalogue data, what becomes of a frame it
// receives, how it builds, patches and seals a display frame, and what its
// controller frames look like. A codec does no input or output and keeps
// no state; one object serves every thread. The codec table (Codecs.h)
// lists them in the decoder list's order.
class Codec {
public:
    explicit constexpr Codec(const ProtocolInfo& info) : info_(info) {}
    virtual ~Codec() = default;
    Codec(const Codec&) = delete;
    Codec& operator=(const Codec&) = delete;

    [[nodiscard]] const ProtocolInfo& Info() const { return info_; }

    // Receiving.

    // Turns a received frame into its decoded form, in place. Returns whether
    // the decoder has a decoded form apart from the bytes as received.
    virtual bool DecodeRx(RxFrameSpan frame) const;

    // What a single read leaves of a whole frame (`frame`, the decoder's
    // frame length): the copies the window shows, and the status to
    // publish (nothing: the status stays). By default the frame goes
    // decoded into `rx`, and the status becomes 1.
    virtual std::optional<int> PublishSingleRead(std::span<const std::uint8_t> frame, RxFrameSpan rx,
                                                 RxFrameSpan raw) const;

    // Whether a single read that hears nothing while it hunts the first
    // sync byte shows a time-out; by default the status stays.
    [[nodiscard]] virtual bool SingleReadHuntTimeOutShows() const;

    // The main window's raw and decoded lines and V/T and P for a received
    // frame: `rx` decoded, `raw` as it came off the line, `shownRaw` what the
    // raw line shows now. Nothing: every line keeps its text.
    [[nodiscard]] virtual std::optional<RxLines> ShowRx(ConstRxFrameSpan rx, ConstRxFrameSpan raw,
                                                        std::string_view shownRaw) const;

    // How `bytes` measure up as a controller frame of this decoder: its
    // length, its sync bytes, then CheckControllerFrame. For finding out
    // what a line speaks and for the line monitor; the receive workers
    // verify nothing beyond the sync bytes.
    [[nodiscard]] FrameFit FitControllerFrame(std::span<const std::uint8_t> bytes) const;

    // The check a controller closes a frame of the right length with; true
    // for a decoder that knows none.
    [[nodiscard]] virtual bool CheckControllerFrame(std::span<const std::uint8_t> frame) const;

    // Transmitting.

    // The template text from the setting controls; nothing when the decoder
    // has none and the text is to stay as it is. `settings.decoder` is not
    // looked at.
    [[nodiscard]] virtual std::optional<std::string> BuildTemplate(const TemplateSettings& settings) const;

    // A setting control's patch of the out frame: values go in as their low
    // byte, flags are on when non-zero. A decoder without the setting
    // leaves the frame alone.
    virtual void Patch(Setting setting, OutFrameSpan frame, int value) const;

    // The step of the frame counter before each display frame (none by
    // default), and the seal: gear byte and checksum.
    virtual void StepCounter(OutFrameSpan frame) const;
    virtual void Seal(OutFrameSpan frame, std::uint8_t gearCode) const;

    // Counter step and seal, as the simulator does before every send.
    void FinishDisplayFrame(OutFrameSpan frame, std::uint8_t gearCode) const {
        StepCounter(frame);
        Seal(frame, gearCode);
    }

    // Runs.

    // What a run start does when this decoder is selected: `simulate` is
    // whether "имит. БК" is ticked. By default every command goes on.
    [[nodiscard]] virtual RunPlan PlanRun(RunCommand command, bool simulate) const;

private:
    const ProtocolInfo& info_;
};

}  // namespace protocols
