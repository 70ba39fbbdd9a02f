#include "tools/kmsim/KugooController.h"

#include "protocols/Checksum.h"
#include "protocols/Codecs.h"
#include "tools/kmsim/ControllerSide.h"

namespace kmsim {

namespace {

constexpr std::size_t kKugooStatus = 2;
constexpr std::size_t kKugooGearEcho = 3;
constexpr std::size_t kKugooTemperature = 6;

constexpr std::uint8_t kDisplayStart0 = 0x01;
constexpr auto kDisplayStart1 = static_cast<std::uint8_t>(kKugooDisplayLength);

class KugooFrames final : public ControllerFrames {
public:
    std::vector<std::uint8_t> Next(std::uint64_t, const RideSample& ride, std::uint8_t gearEcho) override {
        const KugooFrame f = KugooControllerFrame(ride, gearEcho);
        return {f.begin(), f.end()};
    }
};

class KugooSide final : public ControllerSide {
public:
    const protocols::Codec& Codec() const override { return protocols::KugooMCodec(); }

    std::string_view Help() const override {
        return R"(        kugoo   Kugoo M: 14-byte frames 02 0E ... at 9600 bit/s, P in byte 7,
                V/T in bytes 8-9 (high first), XOR of bytes 0-12 in byte 13.
                Display frames: 20 bytes starting 01 14 (gear 4, zero start
                byte 5 bit 0x40, EBS 9, soft start 10, max speed 12, max
                power 13, throttle 16-17, cruise byte 18 bit 0x40).
)";
    }

    int DefaultIntervalMs() const override { return 50; }

    std::unique_ptr<ControllerFrames> NewFrames(std::uint64_t) const override {
        return std::make_unique<KugooFrames>();
    }

    DisplayFraming Display() const override { return {kKugooDisplayLength, kDisplayStart0, kDisplayStart1, false}; }

    DisplaySettings DecodeDisplay(std::span<const std::uint8_t> frame) const override {
        return DecodeKugooDisplay(frame.first<kKugooDisplayLength>());
    }
};

}  // namespace

KugooFrame KugooControllerFrame(const RideSample& ride, std::uint8_t gearEcho) {
    KugooFrame f{};
    f[0] = protocols::kKugooSync1;
    f[1] = protocols::kKugooSync2;
    f[kKugooStatus] = ride.speed > 0 ? 0x01 : 0x00;
    f[kKugooGearEcho] = gearEcho;
    f[kKugooTemperature] = ride.temperature;
    f[protocols::kKugooRxP] = ride.power;
    f[protocols::kKugooRxVtHigh] = static_cast<std::uint8_t>(ride.speed >> 8);
    f[protocols::kKugooRxVtLow] = static_cast<std::uint8_t>(ride.speed & 0xFF);
    f[protocols::kKugooRxChecksum] =
        protocols::XorOf(std::span<const std::uint8_t>(f.data(), protocols::kKugooRxChecksum));
    return f;
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

const ControllerSide& KugooControllerSide() {
    static const KugooSide side;
    return side;
}

}  // namespace kmsim
