// Halten RS: 15-byte controller frames from 0x36 with nine bytes scrambled
// by the key in byte 13, at 1200 bit/s; 15-byte display frames with a
// rolling counter, a masked gear byte and an XOR checksum.
#include "protocols/HaltenRs.h"

#include <algorithm>
#include <cstdio>

#include "protocols/Checksum.h"
#include "protocols/Codecs.h"
#include "protocols/FrameBits.h"
#include "protocols/FrameText.h"
#include "protocols/GearCodes.h"
#include "protocols/HaltenMask.h"

namespace protocols {

void DescrambleRx(RxFrameSpan frame) {
    const std::uint8_t key = frame[kHaltenRxKey];
    for (const std::size_t i : kHaltenScrambledBytes) {
        frame[i] = static_cast<std::uint8_t>(frame[i] - key);
    }
}

int HaltenVt(ConstRxFrameSpan rx) { return rx[kHaltenRxVtHigh] * 256 + rx[kHaltenRxVtLow]; }

int HaltenP(ConstRxFrameSpan rx) { return rx[kHaltenRxP]; }

std::uint8_t HaltenMaskedGear(std::uint8_t counter, std::uint8_t gearCode) {
    return static_cast<std::uint8_t>(kHaltenMask[counter & 0x7F] + gearCode);
}

void StepHaltenCounter(OutFrameSpan frame) {
    frame[kHaltenTxCounter] = static_cast<std::uint8_t>(frame[kHaltenTxCounter] + 1);
}

void SealHalten(OutFrameSpan frame, std::uint8_t gearCode) {
    frame[kHaltenTxGear] = HaltenMaskedGear(frame[kHaltenTxCounter], gearCode);
    frame[kHaltenTxChecksum] = XorOf(frame.first<kHaltenTxChecksum>());
}

namespace {

constexpr ProtocolInfo kHaltenInfo{
    .index = kHaltenRs,
    .name = "halten",
    .listEntry = " Halten RS",
    .connect = kLine1200,
    .runStart = kLine1200,
    .rxFrameLength = kHaltenRxLength,
    .syncCount = 1,
    .sync = {kHaltenSync, 0x00},
    .txFrameLength = kHaltenTxLength,
    .templateValueCount = 14,
    .txPauseMs = 160,
    .simulatorRefreshEvery = 5,
    .autoReadRefreshEvery = 5,
    .singleRead = true,
    .autoRead = true,
    .capture = true,
    .singleReadWaits = {250, 0, 500},
    .autoReadWaits = {500, 0, 500},
    .captureWaits = {250, 200, 500},
};

class HaltenRsCodecImpl final : public Codec {
public:
    HaltenRsCodecImpl() : Codec(kHaltenInfo) {}

    bool DecodeRx(RxFrameSpan frame) const override {
        DescrambleRx(frame);
        return true;
    }

    // The frame goes into both copies; the counter line keeps what it shows.
    std::optional<int> PublishSingleRead(std::span<const std::uint8_t> frame, RxFrameSpan rx,
                                         RxFrameSpan raw) const override {
        std::copy(frame.begin(), frame.end(), rx.begin());
        std::copy(frame.begin(), frame.end(), raw.begin());
        DecodeRx(rx);
        return std::nullopt;
    }

    std::optional<RxLines> ShowRx(ConstRxFrameSpan rx, ConstRxFrameSpan raw, std::string_view) const override {
        RxLines lines;
        lines.raw = HexBytes(raw);
        // All but the closing XOR byte.
        lines.decoded = HexBytes(rx.first(kHaltenRxChecksum));
        lines.hasValues = true;
        lines.vt = HaltenVt(rx);
        lines.p = HaltenP(rx);
        return lines;
    }

    bool CheckControllerFrame(std::span<const std::uint8_t> frame) const override { return XorOf(frame) == 0x00; }

    std::optional<std::string> BuildTemplate(const TemplateSettings& s) const override {
        // Byte 5 as sealing writes it for counter 0x00.
        const unsigned maskedGear = HaltenMaskedGear(0x00, GearCodeForPosition(s.gear));
        unsigned flags = 0;
        if (s.zeroStart) flags += kHaltenZeroStartBit;
        if (s.cruise) flags += kHaltenCruiseBit;
        if (s.softStart) flags += kHaltenSoftStartBit;

        char text[sizeof kHaltenTemplateFormat];
        std::snprintf(text, sizeof text, kHaltenTemplateFormat, maskedGear, flags, unsigned{LowByte(s.maxV)},
                      unsigned{LowByte(s.ebs)});
        return text;
    }

    // Maximum power and throttle are not carried.
    void Patch(Setting setting, OutFrameSpan frame, int value) const override {
        switch (setting) {
            case Setting::MaxV:
                frame[kHaltenTxMaxV] = LowByte(value);
                break;
            case Setting::ZeroStart:
                SetBit(frame[kHaltenTxFlags], kHaltenZeroStartBit, value != 0);
                break;
            case Setting::Cruise:
                SetBit(frame[kHaltenTxFlags], kHaltenCruiseBit, value != 0);
                break;
            case Setting::SoftStart:
                SetBit(frame[kHaltenTxFlags], kHaltenSoftStartBit, value != 0);
                break;
            case Setting::Ebs:
                frame[kHaltenTxEbs] = LowByte(value);
                break;
            case Setting::MaxP:
            case Setting::Throttle:
                break;
        }
    }

    void StepCounter(OutFrameSpan frame) const override { StepHaltenCounter(frame); }

    void Seal(OutFrameSpan frame, std::uint8_t gearCode) const override { SealHalten(frame, gearCode); }
};

}  // namespace

const Codec& HaltenRsCodec() {
    static const HaltenRsCodecImpl codec;
    return codec;
}

}  // namespace protocols
