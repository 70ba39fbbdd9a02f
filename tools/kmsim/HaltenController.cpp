#include "tools/kmsim/HaltenController.h"

#include <algorithm>

#include "protocols/Checksum.h"
#include "protocols/Codecs.h"
#include "protocols/HaltenMask.h"
#include "tools/kmsim/ControllerSide.h"

namespace kmsim {

namespace {

// Plain-byte positions of the Halten RS controller frame that carry
// something besides V/T and P.
constexpr std::size_t kHaltenSequence = 2;
constexpr std::size_t kHaltenGearEcho = 5;
constexpr std::size_t kHaltenDriveState = 6;  // 0x01 while the wheel turns
constexpr std::size_t kHaltenTemperature = 9;

constexpr std::uint8_t kDisplayStart0 = 0x01;
constexpr std::uint8_t kDisplayStart1 = 0x03;

std::uint8_t High(std::uint16_t v) { return static_cast<std::uint8_t>(v >> 8); }
std::uint8_t Low(std::uint16_t v) { return static_cast<std::uint8_t>(v & 0xFF); }

class HaltenFrames final : public ControllerFrames {
public:
    explicit HaltenFrames(std::uint64_t seed) : seed_(seed) {}

    std::vector<std::uint8_t> Next(std::uint64_t index, const RideSample& ride, std::uint8_t gearEcho) override {
        const HaltenFrame plain = HaltenPlainFrame(
            HaltenFields{.byte1 = HaltenByte1(index), .sequence = sequence_, .ride = ride, .gearEcho = gearEcho});
        sequence_ = NextHaltenSequence(sequence_);
        // The key stream is drawn apart from the ride's stream.
        const auto candidate = static_cast<std::uint8_t>(MixBits(~seed_, index));
        const std::uint8_t key = PickHaltenKey(plain, candidate, previousKey_);
        previousKey_ = key;
        const HaltenFrame sent = ScrambleHalten(plain, key);
        return {sent.begin(), sent.end()};
    }

private:
    std::uint64_t seed_;
    std::uint8_t sequence_ = 0;
    std::uint8_t previousKey_ = 0;
};

class HaltenSide final : public ControllerSide {
public:
    const protocols::Codec& Codec() const override { return protocols::HaltenRsCodec(); }

    std::string_view Help() const override {
        return R"(        halten  Halten RS: 15-byte frames starting 0x36 at 1200 bit/s. Byte 13
                is a key that changes with every frame; bytes 3,4,5,7,8,9,10,
                11,12 are sent as plain value + key (modulo 256). V/T (bytes
                7-8, high first) is the speed in 0.1 km/h, P (byte 10) the
                power in percent, byte 9 the temperature, byte 5 the gear the
                display asked for. Byte 1 is 0x00 in every 8th frame (the
                first included) and 0x05 otherwise, so a capture always gets
                its key section. Byte 2 is a rolling number, byte 14 the XOR
                of bytes 0-13. Keys are chosen, and the rolling number skips
                0x36, so that no byte after the first is 0x36: a reader that
                hunts 0x36 never starts inside a frame.
                Display frames: 15 bytes starting 01 03 (counter in byte 2,
                masked gear in byte 5, flags in byte 6: 0x02 zero start,
                0x04 cruise, 0x08 soft start, max speed byte 7, EBS byte 10).
)";
    }

    std::unique_ptr<ControllerFrames> NewFrames(std::uint64_t seed) const override {
        return std::make_unique<HaltenFrames>(seed);
    }

    DisplayFraming Display() const override { return {kHaltenDisplayLength, kDisplayStart0, kDisplayStart1, true}; }

    DisplaySettings DecodeDisplay(std::span<const std::uint8_t> frame) const override {
        return DecodeHaltenDisplay(frame.first<kHaltenDisplayLength>());
    }
};

}  // namespace

std::uint8_t HaltenByte1(std::uint64_t frameIndex) {
    return frameIndex % kHaltenMarkEvery == 0 ? 0x00 : kHaltenStatusByte;
}

HaltenFrame HaltenPlainFrame(const HaltenFields& fields) {
    HaltenFrame f{};
    f[0] = protocols::kHaltenSync;
    f[protocols::kHaltenRxMark] = fields.byte1;
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
    f[protocols::kHaltenRxChecksum] =
        protocols::XorOf(std::span<const std::uint8_t>(f.data(), protocols::kHaltenRxChecksum));
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

const ControllerSide& HaltenControllerSide() {
    static const HaltenSide side;
    return side;
}

}  // namespace kmsim
