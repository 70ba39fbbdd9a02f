#include "tools/kmsim/DisplayDecoder.h"

#include <algorithm>

#include "protocols/Checksum.h"
#include "protocols/GearCodes.h"
#include "protocols/HaltenMask.h"
#include "protocols/HaltenRs.h"
#include "protocols/KugooM.h"

namespace kmsim {

namespace {

constexpr std::uint8_t kDisplayStart = 0x01;
constexpr std::uint8_t kHaltenDisplaySecond = 0x03;
constexpr std::uint8_t kKugooDisplaySecond = static_cast<std::uint8_t>(kKugooDisplayLength);

}  // namespace

int GearPositionOf(std::uint8_t gearCode) {
    const auto& codes = protocols::kGearCodes;
    const auto it = std::find(codes.begin(), codes.end(), gearCode);
    return it == codes.end() ? -1 : static_cast<int>(it - codes.begin());
}

DisplaySettings DecodeHaltenDisplay(std::span<const std::uint8_t, kHaltenDisplayLength> f) {
    const std::uint8_t counter = f[protocols::kHaltenTxCounter];
    const std::uint8_t flags = f[protocols::kHaltenTxFlags];
    DisplaySettings s;
    s.gearCode = static_cast<std::uint8_t>(f[protocols::kHaltenTxGear] - protocols::kHaltenMask[counter & 0x7F]);
    s.gearPosition = GearPositionOf(s.gearCode);
    s.zeroStart = (flags & protocols::kHaltenZeroStartBit) != 0;
    s.cruise = (flags & protocols::kHaltenCruiseBit) != 0;
    s.softStart = (flags & protocols::kHaltenSoftStartBit) != 0;
    s.maxSpeed = f[protocols::kHaltenTxMaxV];
    s.ebs = f[protocols::kHaltenTxEbs];
    s.counter = counter;
    return s;
}

DisplaySettings DecodeKugooDisplay(std::span<const std::uint8_t, kKugooDisplayLength> f) {
    DisplaySettings s;
    s.gearCode = f[protocols::kKugooTxGear];
    s.gearPosition = GearPositionOf(s.gearCode);
    s.zeroStart = (f[protocols::kKugooTxZeroStart] & protocols::kKugooZeroStartBit) != 0;
    s.ebs = f[protocols::kKugooTxEbs];
    s.softStart = f[protocols::kKugooTxSoftStart] != 0;
    s.maxSpeed = f[protocols::kKugooTxMaxV];
    s.maxPower = f[protocols::kKugooTxMaxP];
    s.throttle = f[protocols::kKugooTxThrottleHigh] * 256 + f[protocols::kKugooTxThrottleLow];
    s.cruise = (f[protocols::kKugooTxCruise] & protocols::kKugooCruiseBit) != 0;
    return s;
}

DisplayDecoder::DisplayDecoder(protocols::ProtocolIndex protocol) : protocol_(protocol) {
    switch (protocol) {
        case protocols::kHaltenRs:
            length_ = kHaltenDisplayLength;
            start1_ = kHaltenDisplaySecond;
            break;
        case protocols::kKugooM:
            length_ = kKugooDisplayLength;
            start1_ = kKugooDisplaySecond;
            break;
        default:
            length_ = 0;
            start1_ = 0;
            break;
    }
    start0_ = kDisplayStart;
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

    if (protocol_ == protocols::kHaltenRs) {
        frame.settings = DecodeHaltenDisplay(
            std::span<const std::uint8_t, kHaltenDisplayLength>(frame.bytes.data(), kHaltenDisplayLength));
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
    } else {
        frame.settings = DecodeKugooDisplay(
            std::span<const std::uint8_t, kKugooDisplayLength>(frame.bytes.data(), kKugooDisplayLength));
    }
    last_ = frame.settings;
    out.push_back(std::move(frame));
    return true;
}

}  // namespace kmsim
