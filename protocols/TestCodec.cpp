// The raw test decoder: the next 15 bytes that arrive, shown as they are;
// single reads only, and nothing sent.
#include "protocols/Codecs.h"
#include "protocols/FrameText.h"

namespace protocols {

namespace {

constexpr ProtocolInfo kTestInfo{
    .index = kTest,
    .name = "test",
    .listEntry = " Неизвестный (Test)",
    .rxFrameLength = 15,
    .singleRead = true,
    .singleReadWaits = {0, 0, 350},
};

class TestCodecImpl final : public Codec {
public:
    TestCodecImpl() : Codec(kTestInfo) {}

    // All 15 received bytes; the decoded line is cleared, V/T and P stay.
    std::optional<RxLines> ShowRx(ConstRxFrameSpan rx, ConstRxFrameSpan, std::string_view) const override {
        RxLines lines;
        lines.raw = HexBytes(rx);
        return lines;
    }

    // Soft start and EBS patch where Halten RS has them.
    void Patch(Setting setting, OutFrameSpan frame, int value) const override {
        if (setting == Setting::SoftStart || setting == Setting::Ebs) HaltenRsCodec().Patch(setting, frame, value);
    }

    // Continuous read and capture only stop what runs; a single read sends
    // nothing, whatever the box says.
    RunPlan PlanRun(RunCommand command, bool) const override { return {command == RunCommand::SingleRead, false}; }
};

}  // namespace

const Codec& TestCodec() {
    static const TestCodecImpl codec;
    return codec;
}

}  // namespace protocols
