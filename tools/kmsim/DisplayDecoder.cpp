#include "tools/kmsim/DisplayDecoder.h"

#include <algorithm>

#include "protocols/Checksum.h"
#include "protocols/GearCodes.h"
#include "tools/kmsim/ControllerSide.h"

namespace kmsim {

int GearPositionOf(std::uint8_t gearCode) {
    const auto& codes = protocols::kGearCodes;
    const auto it = std::find(codes.begin(), codes.end(), gearCode);
    return it == codes.end() ? -1 : static_cast<int>(it - codes.begin());
}

DisplayDecoder::DisplayDecoder(int protocol) : side_(SideAt(protocol)) {
    const DisplayFraming framing = side_ ? side_->Display() : DisplayFraming{};
    counter_ = framing.counter;
    length_ = framing.length;
    start0_ = framing.start0;
    start1_ = framing.start1;
}

void DisplayDecoder::Restart() {
    pending_.clear();
    lastCounter_.reset();
}

std::vector<DisplayFrame> DisplayDecoder::Feed(std::span<const std::uint8_t> bytes) {
    std::vector<DisplayFrame> out;
    if (length_ == 0) {
        stats_.skippedBytes += bytes.size();
        return out;
    }
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    while (TryFrame(out)) {
    }
    return out;
}

// Looks at the front of the pending bytes; false when more bytes are needed.
bool DisplayDecoder::TryFrame(std::vector<DisplayFrame>& out) {
    // Hunt the first start byte, then check the second.
    const auto start = std::find(pending_.begin(), pending_.end(), start0_);
    stats_.skippedBytes += static_cast<std::uint64_t>(start - pending_.begin());
    pending_.erase(pending_.begin(), start);
    if (pending_.size() < 2) return false;
    if (pending_[1] != start1_) {
        ++stats_.skippedBytes;
        pending_.erase(pending_.begin());
        return true;
    }
    if (pending_.size() < length_) return false;

    DisplayFrame frame;
    frame.bytes.assign(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(length_));
    frame.checksumOk = protocols::XorOf(frame.bytes) == 0;
    if (!frame.checksumOk) {
        ++stats_.checksumErrors;
        ++stats_.skippedBytes;
        pending_.erase(pending_.begin());
        out.push_back(std::move(frame));
        return true;
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(length_));
    ++stats_.frames;

    frame.settings = side_->DecodeDisplay(frame.bytes);
    if (counter_ && frame.settings.counter) {
        const auto counter = static_cast<std::uint8_t>(*frame.settings.counter);
        if (!lastCounter_) {
            frame.step = CounterStep::First;
        } else if (counter == static_cast<std::uint8_t>(*lastCounter_ + 1)) {
            frame.step = CounterStep::Next;
        } else if (counter == *lastCounter_) {
            frame.step = CounterStep::Repeat;
            ++stats_.repeats;
        } else {
            frame.step = CounterStep::Gap;
            frame.missed = static_cast<std::uint8_t>(counter - *lastCounter_ - 1);
            ++stats_.counterGaps;
            stats_.missedFrames += static_cast<std::uint64_t>(frame.missed);
        }
        lastCounter_ = counter;
    }
    last_ = frame.settings;
    out.push_back(std::move(frame));
    return true;
}

}  // namespace kmsim
