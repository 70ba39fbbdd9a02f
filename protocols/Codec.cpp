#include "protocols/Codec.h"

#include <algorithm>

namespace protocols {

bool Codec::DecodeRx(RxFrameSpan) const { return false; }

std::optional<int> Codec::PublishSingleRead(std::span<const std::uint8_t> frame, RxFrameSpan rx, RxFrameSpan) const {
    std::copy(frame.begin(), frame.end(), rx.begin());
    DecodeRx(rx);
    return 1;
}

bool Codec::SingleReadHuntTimeOutShows() const { return false; }

std::optional<RxLines> Codec::ShowRx(ConstRxFrameSpan, ConstRxFrameSpan, std::string_view) const {
    return std::nullopt;
}

FrameFit Codec::FitControllerFrame(std::span<const std::uint8_t> bytes) const {
    if (info_.rxFrameLength == 0 || bytes.size() != info_.rxFrameLength) return FrameFit::WrongLength;
    for (std::size_t i = 0; i < info_.syncCount; ++i) {
        if (bytes[i] != info_.sync[i]) return FrameFit::WrongSync;
    }
    return CheckControllerFrame(bytes) ? FrameFit::Valid : FrameFit::BadCheck;
}

bool Codec::CheckControllerFrame(std::span<const std::uint8_t>) const { return true; }

std::optional<std::string> Codec::BuildTemplate(const TemplateSettings&) const { return std::nullopt; }

void Codec::Patch(Setting, OutFrameSpan, int) const {}

void Codec::StepCounter(OutFrameSpan) const {}

void Codec::Seal(OutFrameSpan, std::uint8_t) const {}

RunPlan Codec::PlanRun(RunCommand, bool simulate) const { return {true, simulate}; }

}  // namespace protocols
