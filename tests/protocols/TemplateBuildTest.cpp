#include "protocols/Template.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "FrameHelpers.h"
#include "protocols/Catalogue.h"
#include "protocols/GearCodes.h"
#include "protocols/HaltenMask.h"

namespace protocols {
namespace {

using test::OutFrame;

// The setting controls as the dialog starts.
TemplateSettings StartValues(int decoder) {
    return TemplateSettings{.decoder = decoder,
                            .gear = 3,
                            .zeroStart = 0,
                            .cruise = 0,
                            .softStart = 1,
                            .ebs = 1,
                            .maxV = 90,
                            .maxP = 1,
                            .throttle = 0};
}

OutFrame Parsed(const std::string& text, int decoder) {
    OutFrame frame = test::FilledOutFrame(0xEE);
    ParseTemplate(text, decoder, frame);
    return frame;
}

TEST(BuildTemplate, KugooStartValues) {
    const auto text = BuildTemplate(StartValues(kKugooM));
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, "01 14 01 01 05 00 1E 00 6B 01 01 00 5A 01 02 1C 00 00 0C");
    EXPECT_EQ(text->size(), 56u);
}

TEST(BuildTemplate, HaltenStartValues) {
    const auto text = BuildTemplate(StartValues(kHaltenRs));
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(text->size(), 41u);
    const std::uint8_t maskedGear = static_cast<std::uint8_t>(kGearCodes[3] + kHaltenMask[0]);
    EXPECT_EQ(Parsed(*text, kHaltenRs),
              test::OutFrameOf(
                  {0x01, 0x03, 0x00, 0x00, 0x00, maskedGear, 0x08, 0x5A, 0x00, 0x80, 0x01, 0x00, 0x00, 0x00}, 0xEE));
}

TEST(BuildTemplate, OtherDecodersLeaveTheTextAlone) {
    for (const int decoder : std::initializer_list<int>{kNoProtocol, kTest, 3, 100}) {
        EXPECT_FALSE(BuildTemplate(StartValues(decoder)).has_value()) << decoder;
    }
}

TEST(BuildTemplate, GeneratedTextsAreTwoDigitValuesAndNeverShorterThanThirty) {
    const std::regex kForm("[0-9A-F]{2}( [0-9A-F]{2})*");
    for (const int decoder : {kHaltenRs, kKugooM}) {
        for (int gear = 0; gear < 8; ++gear) {
            for (const int flags : {0, 1}) {
                TemplateSettings s{decoder, gear, flags, flags, flags, 2 * flags, 100, 100, 1100 * flags};
                const std::string text = *BuildTemplate(s);
                EXPECT_TRUE(std::regex_match(text, kForm)) << text;
                EXPECT_EQ(text.size(), Protocol(decoder).templateValueCount * 3 - 1) << text;
                EXPECT_GE(text.size(), 30u);
            }
        }
    }
}

TEST(BuildTemplate, HaltenFlagByteAddsOneBitPerTickedBox) {
    struct FlagCase {
        int zeroStart, cruise, softStart;
        std::uint8_t flags;
    };
    for (const FlagCase c : {FlagCase{0, 0, 0, 0x00}, FlagCase{1, 0, 0, 0x02}, FlagCase{0, 1, 0, 0x04},
                             FlagCase{0, 0, 1, 0x08}, FlagCase{1, 1, 1, 0x0E}, FlagCase{5, 0, 0, 0x02}}) {
        TemplateSettings s = StartValues(kHaltenRs);
        s.zeroStart = c.zeroStart;
        s.cruise = c.cruise;
        s.softStart = c.softStart;
        EXPECT_EQ(Parsed(*BuildTemplate(s), kHaltenRs)[6], c.flags) << c.zeroStart << c.cruise << c.softStart;
    }
}

TEST(BuildTemplate, HaltenGearByteIsGearCodePlusFirstMaskEntry) {
    for (int gear = 0; gear < 8; ++gear) {
        TemplateSettings s = StartValues(kHaltenRs);
        s.gear = gear;
        const auto expected = static_cast<std::uint8_t>(kGearCodes[static_cast<std::size_t>(gear)] + kHaltenMask[0]);
        EXPECT_EQ(Parsed(*BuildTemplate(s), kHaltenRs)[5], expected) << gear;
    }
}

TEST(BuildTemplate, ValuesAreWrittenAsTheirLowByte) {
    TemplateSettings halten = StartValues(kHaltenRs);
    halten.maxV = 0x1FF;
    halten.ebs = 0x102;
    const OutFrame h = Parsed(*BuildTemplate(halten), kHaltenRs);
    EXPECT_EQ(h[7], 0xFF);
    EXPECT_EQ(h[10], 0x02);

    TemplateSettings kugoo = StartValues(kKugooM);
    kugoo.ebs = 7;
    kugoo.softStart = 0x103;
    kugoo.maxV = 0x164;
    kugoo.maxP = -1;
    const OutFrame k = Parsed(*BuildTemplate(kugoo), kKugooM);
    EXPECT_EQ(k[9], 0x07);
    EXPECT_EQ(k[10], 0x03);
    EXPECT_EQ(k[12], 0x64);
    EXPECT_EQ(k[13], 0xFF);
}

TEST(BuildTemplate, KugooThrottleIsHighByteFirst) {
    struct ThrottleCase {
        int throttle;
        std::uint8_t high, low;
    };
    for (const ThrottleCase c : {ThrottleCase{0, 0x00, 0x00}, ThrottleCase{255, 0x00, 0xFF},
                                 ThrottleCase{256, 0x01, 0x00}, ThrottleCase{1100, 0x04, 0x4C}}) {
        TemplateSettings s = StartValues(kKugooM);
        s.throttle = c.throttle;
        const OutFrame frame = Parsed(*BuildTemplate(s), kKugooM);
        EXPECT_EQ(frame[16], c.high) << c.throttle;
        EXPECT_EQ(frame[17], c.low) << c.throttle;
    }
}

TEST(BuildTemplate, KugooZeroStartAndCruiseBytes) {
    TemplateSettings s = StartValues(kKugooM);
    s.zeroStart = 1;
    s.cruise = 1;
    const OutFrame frame = Parsed(*BuildTemplate(s), kKugooM);
    EXPECT_EQ(frame[5], 0x40);
    EXPECT_EQ(frame[18], 0x4C);
}

}  // namespace
}  // namespace protocols
