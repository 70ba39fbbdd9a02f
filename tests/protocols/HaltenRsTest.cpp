#include "protocols/HaltenRs.h"

#include <gtest/gtest.h>

#include <random>

#include "FrameHelpers.h"
#include "protocols/Checksum.h"
#include "protocols/Codecs.h"
#include "protocols/GearCodes.h"
#include "protocols/HaltenMask.h"
#include "protocols/Template.h"

namespace protocols {
namespace {

using test::OutFrame;
using test::RxFrame;

TEST(HaltenReceive, SyncByte) { EXPECT_EQ(kHaltenSync, 0x36); }

TEST(HaltenDescramble, KeyZeroLeavesTheFrameAsItIs) {
    std::mt19937 random(7);
    for (int round = 0; round < 100; ++round) {
        RxFrame frame = test::RandomBytes<kRxFrameSize>(random);
        frame[13] = 0x00;
        const RxFrame received = frame;
        DescrambleRx(frame);
        EXPECT_EQ(frame, received);
    }
}

TEST(HaltenDescramble, ScrambledBytesLoseTheKeyModulo256) {
    RxFrame frame{};
    frame[7] = 0x05;
    frame[13] = 0x10;
    DescrambleRx(frame);
    EXPECT_EQ(frame[7], 0xF5);

    RxFrame p{};
    p[10] = 0x00;
    p[13] = 0x01;
    DescrambleRx(p);
    EXPECT_EQ(p[10], 0xFF);
    EXPECT_EQ(HaltenP(p), 255);
}

TEST(HaltenDescramble, OnlyTheNineScrambledBytesChange) {
    const std::size_t plain[] = {0, 1, 2, 6, 13, 14};
    const std::size_t scrambled[] = {3, 4, 5, 7, 8, 9, 10, 11, 12};
    std::mt19937 random(11);
    for (int round = 0; round < 500; ++round) {
        const RxFrame received = test::RandomBytes<kRxFrameSize>(random);
        RxFrame frame = received;
        DescrambleRx(frame);
        for (const std::size_t i : plain) EXPECT_EQ(frame[i], received[i]) << i;
        for (const std::size_t i : scrambled) {
            EXPECT_EQ(static_cast<std::uint8_t>(frame[i] + received[13]), received[i]) << i;
        }
    }
}

TEST(HaltenValues, VtIsHighByteFirstAndPIsByteTen) {
    RxFrame frame{};
    frame[7] = 0x01;
    frame[8] = 0x2C;
    EXPECT_EQ(HaltenVt(frame), 300);
    frame[8] = 0x02;
    frame[10] = 0x03;
    EXPECT_EQ(HaltenVt(frame), 258);
    EXPECT_EQ(HaltenP(frame), 3);
    frame[7] = 0xFF;
    frame[8] = 0xFF;
    EXPECT_EQ(HaltenVt(frame), 65535);
}

TEST(HaltenCounter, StepsByOneAndWrapsAfterFF) {
    struct StepCase {
        std::uint8_t before, after;
    };
    for (const StepCase c : {StepCase{0x00, 0x01}, StepCase{0x7F, 0x80}, StepCase{0xFF, 0x00}}) {
        OutFrame frame = test::FilledOutFrame(0x5A);
        frame[2] = c.before;
        OutFrame expected = frame;
        expected[2] = c.after;
        StepHaltenCounter(frame);
        EXPECT_EQ(frame, expected) << int{c.before};
    }
}

TEST(HaltenSeal, GearByteUsesTheMaskEntryOfTheCountersLowSevenBits) {
    for (int counter = 0; counter < 256; ++counter) {
        for (const std::uint8_t gear : {0x01, 0x05, 0x0F}) {
            OutFrame frame{};
            frame[2] = static_cast<std::uint8_t>(counter);
            SealHalten(frame, gear);
            EXPECT_EQ(frame[5], static_cast<std::uint8_t>(kHaltenMask[counter & 0x7F] + gear)) << counter;
            EXPECT_EQ(frame[2], counter);
        }
    }
}

TEST(HaltenSeal, CountersZeroAndEightyUseTheFirstMaskEntry) {
    for (const std::uint8_t before : {0xFF, 0x7F}) {
        OutFrame frame{};
        frame[2] = before;
        StepHaltenCounter(frame);
        SealHalten(frame, 0x05);
        EXPECT_EQ(frame[5], static_cast<std::uint8_t>(kHaltenMask[0] + 0x05)) << int{before};
    }
}

TEST(HaltenSeal, ChecksumMakesTheFifteenBytesXorToZeroAndLeavesTheRest) {
    std::mt19937 random(3);
    for (int round = 0; round < 200; ++round) {
        OutFrame frame = test::RandomBytes<kOutFrameSize>(random);
        const OutFrame before = frame;
        SealHalten(frame, static_cast<std::uint8_t>(round));
        EXPECT_EQ(XorOf(std::span(frame).first<15>()), 0x00);
        for (std::size_t i = 0; i < frame.size(); ++i) {
            if (i != 5 && i != 14) {
                EXPECT_EQ(frame[i], before[i]) << i;
            }
        }
    }
}

TEST(HaltenSimulatedRun, StartValueTemplateGivesCounterOneFirst) {
    OutFrame frame{};
    ParseTemplate(*BuildTemplate(test::StartValues(kHaltenRs)), kHaltenRs, frame);
    // Byte 5 of the template is what sealing gives a counter of 0x00.
    OutFrame atZero = frame;
    SealHalten(atZero, 0x05);
    EXPECT_EQ(atZero[5], frame[5]);

    StepHaltenCounter(frame);
    SealHalten(frame, 0x05);
    EXPECT_EQ(frame[2], 0x01);
}

TEST(HaltenSimulatedRun, TemplateCounter7FMakesTheFirstFrameCarry80) {
    OutFrame frame{};
    ParseTemplate("01 03 7F 00 00 00 08 5A 00 80 01 00 00 00", kHaltenRs, frame);
    StepHaltenCounter(frame);
    SealHalten(frame, 0x05);
    EXPECT_EQ(frame[2], 0x80);
    EXPECT_EQ(frame[5], static_cast<std::uint8_t>(kHaltenMask[0] + 0x05));
}

TEST(HaltenSimulatedRun, ConsecutiveFramesDifferOnlyInCounterGearAndChecksum) {
    std::mt19937 random(5);
    OutFrame frame = test::RandomBytes<kOutFrameSize>(random);
    for (int i = 0; i < 300; ++i) {
        const OutFrame previous = frame;
        StepHaltenCounter(frame);
        SealHalten(frame, 0x0A);
        EXPECT_EQ(XorOf(std::span(frame).first<15>()), 0x00);
        for (std::size_t b = 0; b < frame.size(); ++b) {
            if (b != 2 && b != 5 && b != 14) {
                EXPECT_EQ(frame[b], previous[b]) << i << ':' << b;
            }
        }
    }
}

class HaltenPatchTable : public test::CodecPatchTable {};

TEST_P(HaltenPatchTable, ChangesExactlyTheListedBytes) { ExpectPatch(HaltenRsCodec()); }

using test::Edit;
using Row = test::PatchRow;

INSTANTIATE_TEST_SUITE_P(Halten, HaltenPatchTable,
                         ::testing::Values(Row{"MaxP", Setting::MaxP, 37, {}},
                                           Row{"Throttle", Setting::Throttle, 1100, {}},
                                           Row{"MaxV", Setting::MaxV, 90, {{7, Edit::Store, 0x5A}}},
                                           Row{"MaxVLowByte", Setting::MaxV, 0x1FF, {{7, Edit::Store, 0xFF}}},
                                           Row{"ZeroStartOn", Setting::ZeroStart, 1, {{6, Edit::SetBit, 0x02}}},
                                           Row{"ZeroStartOff", Setting::ZeroStart, 0, {{6, Edit::ClearBit, 0x02}}},
                                           Row{"CruiseOn", Setting::Cruise, 1, {{6, Edit::SetBit, 0x04}}},
                                           Row{"CruiseOff", Setting::Cruise, 0, {{6, Edit::ClearBit, 0x04}}},
                                           Row{"SoftStartOn", Setting::SoftStart, 1, {{6, Edit::SetBit, 0x08}}},
                                           Row{"SoftStartOff", Setting::SoftStart, 0, {{6, Edit::ClearBit, 0x08}}},
                                           Row{"Ebs", Setting::Ebs, 2, {{10, Edit::Store, 0x02}}}),
                         test::PatchRowName);

// The raw line shows the bytes as they came, the decoded line the
// descrambled ones without the closing XOR byte.
TEST(HaltenShowRx, RawAsReceivedDecodedWithoutTheXorByte) {
    test::ExpectRxLines(HaltenRsCodec().ShowRx(test::kLinesRx, test::kLinesRaw, test::kShownRaw),
                        RxLines{"36 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E ",
                                "36 01 02 03 04 05 06 0C 0D 0E 2A 0B 0C 0D ", true, 0x0C0D, 0x2A});
}

TEST(HaltenMaskTable, HoldsOneByteForEveryCounterValue) { EXPECT_EQ(kHaltenMask.size(), 128u); }

TEST(HaltenBuildTemplate, StartValues) {
    const auto text = HaltenRsCodec().BuildTemplate(test::StartValues(kHaltenRs));
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(text->size(), 41u);
    const std::uint8_t maskedGear = static_cast<std::uint8_t>(kGearCodes[3] + kHaltenMask[0]);
    EXPECT_EQ(test::Parsed(*text, kHaltenRs),
              test::OutFrameOf(
                  {0x01, 0x03, 0x00, 0x00, 0x00, maskedGear, 0x08, 0x5A, 0x00, 0x80, 0x01, 0x00, 0x00, 0x00}, 0xEE));
}

TEST(HaltenBuildTemplate, FlagByteAddsOneBitPerTickedBox) {
    struct FlagCase {
        int zeroStart, cruise, softStart;
        std::uint8_t flags;
    };
    for (const FlagCase c : {FlagCase{0, 0, 0, 0x00}, FlagCase{1, 0, 0, 0x02}, FlagCase{0, 1, 0, 0x04},
                             FlagCase{0, 0, 1, 0x08}, FlagCase{1, 1, 1, 0x0E}, FlagCase{5, 0, 0, 0x02}}) {
        TemplateSettings s = test::StartValues(kHaltenRs);
        s.zeroStart = c.zeroStart;
        s.cruise = c.cruise;
        s.softStart = c.softStart;
        EXPECT_EQ(test::Parsed(*HaltenRsCodec().BuildTemplate(s), kHaltenRs)[6], c.flags)
            << c.zeroStart << c.cruise << c.softStart;
    }
}

TEST(HaltenBuildTemplate, GearByteIsGearCodePlusFirstMaskEntry) {
    for (int gear = 0; gear < 8; ++gear) {
        TemplateSettings s = test::StartValues(kHaltenRs);
        s.gear = gear;
        const auto expected = static_cast<std::uint8_t>(kGearCodes[static_cast<std::size_t>(gear)] + kHaltenMask[0]);
        EXPECT_EQ(test::Parsed(*HaltenRsCodec().BuildTemplate(s), kHaltenRs)[5], expected) << gear;
    }
}

TEST(HaltenBuildTemplate, ValuesAreWrittenAsTheirLowByte) {
    TemplateSettings halten = test::StartValues(kHaltenRs);
    halten.maxV = 0x1FF;
    halten.ebs = 0x102;
    const OutFrame h = test::Parsed(*HaltenRsCodec().BuildTemplate(halten), kHaltenRs);
    EXPECT_EQ(h[7], 0xFF);
    EXPECT_EQ(h[10], 0x02);
}

}  // namespace
}  // namespace protocols
