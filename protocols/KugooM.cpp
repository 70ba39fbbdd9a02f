// Kugoo M (QS-S4): 14-byte controller frames from 02 0E, not scrambled, at
// 9600 bit/s; 20-byte display frames with the gear, the settings, a
// two-byte throttle and an XOR checksum.
#include "protocols/KugooM.h"

#include <cstdio>

#include "protocols/Checksum.h"
#include "protocols/Codecs.h"
#include "protocols/FrameBits.h"
#include "protocols/FrameText.h"
#include "protocols/GearCodes.h"

namespace protocols {

int KugooVt(ConstRxFrameSpan rx) { return rx[kKugooRxVtHigh] * 256 + rx[kKugooRxVtLow]; }

int KugooP(ConstRxFrameSpan rx) { return rx[kKugooRxP]; }

void SealKugoo(OutFrameSpan frame, std::uint8_t gearCode) {
    frame[kKugooTxGear] = gearCode;
    frame[kKugooTxChecksum] = XorOf(frame.first<kKugooTxChecksum>());
}

namespace {

constexpr ProtocolInfo kKugooInfo{
    .index = kKugooM,
    .name = "kugoo",
    .listEntry = " Kugoo M (QS-S4)",
    .connect = kLine9600,
    .runStart = kLine9600,
    .rxFrameLength = kKugooRxLength,
    .syncCount = 2,
    .sync = {kKugooSync1, kKugooSync2},
    .txFrameLength = kKugooTxLength,
    .templateValueCount = 19,
    .txPauseMs = 80,
    .simulatorRefreshEvery = 10,
    .autoReadRefreshEvery = 10,
    .singleRead = true,
    .autoRead = true,
    .singleReadWaits = {250, 250, 200},
    .autoReadWaits = {500, 500, 500},
};

class KugooMCodecImpl final : public Codec {
public:
    KugooMCodecImpl() : Codec(kKugooInfo) {}

    // A quiet line while hunting the sync bytes shows a time-out.
    bool SingleReadHuntTimeOutShows() const override { return true; }

    std::optional<RxLines> ShowRx(ConstRxFrameSpan rx, ConstRxFrameSpan, std::string_view shownRaw) const override {
        RxLines lines;
        // The frame shown last moves down one line.
        lines.decoded = std::string(shownRaw);
        lines.raw = HexBytes(rx.first(kKugooRxLength));
        lines.hasValues = true;
        lines.vt = KugooVt(rx);
        lines.p = KugooP(rx);
        return lines;
    }

    bool CheckControllerFrame(std::span<const std::uint8_t> frame) const override { return XorOf(frame) == 0x00; }

    std::optional<std::string> BuildTemplate(const TemplateSettings& s) const override {
        char text[sizeof kKugooTemplateFormat];
        std::snprintf(text, sizeof text, kKugooTemplateFormat, unsigned{GearCodeForPosition(s.gear)},
                      s.zeroStart ? unsigned{kKugooZeroStartBit} : 0u, unsigned{LowByte(s.ebs)},
                      unsigned{LowByte(s.softStart)}, unsigned{LowByte(s.maxV)}, unsigned{LowByte(s.maxP)},
                      unsigned{LowByte(s.throttle >> 8)}, unsigned{LowByte(s.throttle)}, s.cruise ? 0x4Cu : 0x0Cu);
        return text;
    }

    void Patch(Setting setting, OutFrameSpan frame, int value) const override {
        switch (setting) {
            case Setting::MaxP:
                frame[kKugooTxMaxP] = LowByte(value);
                break;
            case Setting::Throttle:
                frame[kKugooTxThrottleHigh] = LowByte(value >> 8);
                frame[kKugooTxThrottleLow] = LowByte(value);
                break;
            case Setting::MaxV:
                frame[kKugooTxMaxV] = LowByte(value);
                break;
            case Setting::ZeroStart:
                SetBit(frame[kKugooTxZeroStart], kKugooZeroStartBit, value != 0);
                break;
            case Setting::Cruise:
                SetBit(frame[kKugooTxCruise], kKugooCruiseBit, value != 0);
                break;
            case Setting::SoftStart:
                frame[kKugooTxSoftStart] = value != 0 ? 1 : 0;
                break;
            case Setting::Ebs:
                frame[kKugooTxEbs] = LowByte(value);
                break;
        }
    }

    void Seal(OutFrameSpan frame, std::uint8_t gearCode) const override { SealKugoo(frame, gearCode); }
};

}  // namespace

const Codec& KugooMCodec() {
    static const KugooMCodecImpl codec;
    return codec;
}

}  // namespace protocols
