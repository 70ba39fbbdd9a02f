#include "tools/kmsim/ControllerFrames.h"

#include <algorithm>
#include <span>

#include "protocols/Checksum.h"
#include "protocols/GearCodes.h"
#include "protocols/HaltenRs.h"
#include "protocols/KugooM.h"

namespace kmsim {

namespace {

// Plain-byte positions of the Halten RS controller frame that carry
// something besides V/T and P.
constexpr std::size_t kHaltenByte1 = 1;
constexpr std::size_t kHaltenSequence = 2;
constexpr std::size_t kHaltenGearEcho = 5;
constexpr std::size_t kHaltenDriveState = 6;  // 0x01 while the wheel turns
constexpr std::size_t kHaltenTemperature = 9;

constexpr std::size_t kKugooGearEcho = 3;
constexpr std::size_t kKugooStatus = 2;
constexpr std::size_t kKugooTemperature = 6;
constexpr std::size_t kKugooChecksum = 13;

std::uint8_t High(std::uint16_t v) { return static_cast<std::uint8_t>(v >> 8); }
std::uint8_t Low(std::uint16_t v) { return static_cast<std::uint8_t>(v & 0xFF); }

}  // namespace

std::uint8_t HaltenByte1(std::uint64_t frameIndex) {
    return frameIndex % kHaltenMarkEvery == 0 ? 0x00 : kHaltenStatusByte;
}

HaltenFrame HaltenPlainFrame(const HaltenFields& fields) {
    HaltenFrame f{};
    f[0] = protocols::kHaltenSync;
    f[kHaltenByte1] = fields.byte1;
    f[kHaltenSequence] = fields.sequence;
    f[kHaltenGearEcho] = fields.gearEcho;
    f[kHaltenDriveState] = fields.ride.speed > 0 ? 0x01 : 0x00;
    f[protocols::kHaltenRxVtHigh] = High(fields.ride.speed);
    f[protocols::kHaltenRxVtLow] = Low(fields.ride.speed);
    f[kHaltenTemperature] = fields.ride.temperature;
    f[protocols::kHaltenRxP] = fields.ride.power;
    return f;
}

HaltenFrame ScrambleHalten(const HaltenFrame& plain, std::uint8_t key) {
    HaltenFrame f = plain;
    for (const std::size_t i : protocols::kHaltenScrambledBytes) f[i] = static_cast<std::uint8_t>(f[i] + key);
    f[protocols::kHaltenRxKey] = key;
    f[kHaltenFrameLength - 1] = protocols::XorOf(std::span<const std::uint8_t>(f.data(), kHaltenFrameLength - 1));
    return f;
}

bool HaltenBodyFreeOfSync(const HaltenFrame& frame) {
    return std::find(frame.begin() + 1, frame.end(), protocols::kHaltenSync) == frame.end();
}

std::uint8_t PickHaltenKey(const HaltenFrame& plain, std::uint8_t candidate, std::uint8_t previousKey) {
    std::uint8_t fallback = candidate == previousKey ? static_cast<std::uint8_t>(candidate + 1) : candidate;
    for (int step = 0; step < 256; ++step) {
        const auto key = static_cast<std::uint8_t>(candidate + step);
        if (key == previousKey) continue;
        if (HaltenBodyFreeOfSync(ScrambleHalten(plain, key))) return key;
    }
    return fallback;
}

std::uint8_t NextHaltenSequence(std::uint8_t sequence) {
    auto next = static_cast<std::uint8_t>(sequence + 1);
    if (next == protocols::kHaltenSync) ++next;
    return next;
}

KugooFrame KugooControllerFrame(const RideSample& ride, std::uint8_t gearEcho) {
    KugooFrame f{};
    f[0] = protocols::kKugooSync1;
    f[1] = protocols::kKugooSync2;
    f[kKugooStatus] = ride.speed > 0 ? 0x01 : 0x00;
    f[kKugooGearEcho] = gearEcho;
    f[kKugooTemperature] = ride.temperature;
    f[protocols::kKugooRxP] = ride.power;
    f[protocols::kKugooRxVtHigh] = High(ride.speed);
    f[protocols::kKugooRxVtLow] = Low(ride.speed);
    f[kKugooChecksum] = protocols::XorOf(std::span<const std::uint8_t>(f.data(), kKugooChecksum));
    return f;
}

std::vector<std::uint8_t> TestPatternFrame(std::uint64_t index) {
    std::vector<std::uint8_t> f(kTestFrameLength);
    for (std::size_t i = 0; i < f.size(); ++i) f[i] = static_cast<std::uint8_t>(index * kTestFrameLength + i);
    return f;
}

ControllerFrameSource::ControllerFrameSource(protocols::ProtocolIndex protocol, std::uint64_t seed)
    : protocol_(protocol), seed_(seed), gearEcho_(static_cast<std::uint8_t>(protocols::kDefaultGearPosition)) {}

void ControllerFrameSource::SetGearEcho(int position) {
    gearEcho_ = static_cast<std::uint8_t>(std::clamp(position, 0, static_cast<int>(protocols::kGearCodes.size()) - 1));
}

std::size_t ControllerFrameSource::FrameLength() const {
    switch (protocol_) {
        case protocols::kHaltenRs:
            return kHaltenFrameLength;
        case protocols::kKugooM:
            return kKugooFrameLength;
        default:
            return kTestFrameLength;
    }
}

std::vector<std::uint8_t> ControllerFrameSource::Next(double seconds) {
    const std::uint64_t index = index_++;
    const RideSample ride = RideAt(seed_, seconds);
    switch (protocol_) {
        case protocols::kHaltenRs: {
            const HaltenFrame plain = HaltenPlainFrame(
                HaltenFields{.byte1 = HaltenByte1(index), .sequence = sequence_, .ride = ride, .gearEcho = gearEcho_});
            sequence_ = NextHaltenSequence(sequence_);
            // The key stream is drawn apart from the ride's stream.
            const auto candidate = static_cast<std::uint8_t>(MixBits(~seed_, index));
            const std::uint8_t key = PickHaltenKey(plain, candidate, previousKey_);
            previousKey_ = key;
            const HaltenFrame sent = ScrambleHalten(plain, key);
            return {sent.begin(), sent.end()};
        }
        case protocols::kKugooM: {
            const KugooFrame f = KugooControllerFrame(ride, gearEcho_);
            return {f.begin(), f.end()};
        }
        default:
            return TestPatternFrame(index);
    }
}

}  // namespace kmsim
