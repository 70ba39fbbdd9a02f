#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "protocols/Catalogue.h"
#include "protocols/Frames.h"
#include "protocols/GearCodes.h"
#include "protocols/HaltenMask.h"
#include "protocols/Seal.h"
#include "tools/kmsim/DisplayDecoder.h"
#include "tools/kmsim/HaltenController.h"
#include "tools/kmsim/KugooController.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using kmsim::CounterStep;
using kmsim::DisplayDecoder;

// A Halten RS display frame as the tool sends it: the template bytes with
// the counter, sealed for the gear.
Bytes HaltenDisplay(std::uint8_t counter, int gearPosition, std::uint8_t flags = 0x08, std::uint8_t maxV = 90,
                    std::uint8_t ebs = 1) {
    std::array<std::uint8_t, protocols::kOutFrameSize> out{0x01,  0x03, counter, 0x00, 0x00, 0x00,
                                                           flags, maxV, 0x00,    0x80, ebs};
    protocols::SealOutFrame(protocols::kHaltenRs, out, protocols::kGearCodes[static_cast<std::size_t>(gearPosition)]);
    return Bytes(out.begin(), out.begin() + 15);
}

// A Kugoo M display frame from the template layout, sealed for the gear.
Bytes KugooDisplay(int gearPosition, bool zeroStart, bool cruise, bool softStart, std::uint8_t ebs, std::uint8_t maxV,
                   std::uint8_t maxP, int throttle) {
    std::array<std::uint8_t, protocols::kOutFrameSize> out{0x01,
                                                           0x14,
                                                           0x01,
                                                           0x01,
                                                           0x00,
                                                           static_cast<std::uint8_t>(zeroStart ? 0x40 : 0x00),
                                                           0x1E,
                                                           0x00,
                                                           0x6B,
                                                           ebs,
                                                           static_cast<std::uint8_t>(softStart ? 1 : 0),
                                                           0x00,
                                                           maxV,
                                                           maxP,
                                                           0x02,
                                                           0x1C,
                                                           static_cast<std::uint8_t>(throttle >> 8),
                                                           static_cast<std::uint8_t>(throttle & 0xFF),
                                                           static_cast<std::uint8_t>(cruise ? 0x4C : 0x0C)};
    protocols::SealOutFrame(protocols::kKugooM, out, protocols::kGearCodes[static_cast<std::size_t>(gearPosition)]);
    return Bytes(out.begin(), out.end());
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

TEST(HaltenDisplayDecodingTest, UnmasksEveryGearAtEveryCounter) {
    DisplayDecoder decoder(protocols::kHaltenRs);
    std::uint8_t counter = 0;
    for (int round = 0; round < 2; ++round) {
        for (int c = 0; c < 256; ++c, ++counter) {
            const int gear = (c + round) % 8;
            const auto frames = decoder.Feed(HaltenDisplay(counter, gear));
            ASSERT_EQ(frames.size(), 1u);
            ASSERT_TRUE(frames[0].checksumOk);
            EXPECT_EQ(frames[0].settings.gearPosition, gear) << "counter " << int(counter);
            EXPECT_EQ(frames[0].settings.gearCode, protocols::kGearCodes[static_cast<std::size_t>(gear)]);
            EXPECT_EQ(frames[0].settings.counter, counter);
            // The wrap from 0xFF to 0x00 is an ordinary next frame.
            EXPECT_EQ(frames[0].step, (round == 0 && c == 0) ? CounterStep::First : CounterStep::Next);
        }
    }
    EXPECT_EQ(decoder.stats().frames, 512u);
    EXPECT_EQ(decoder.stats().counterGaps, 0u);
    EXPECT_EQ(decoder.stats().checksumErrors, 0u);
}

TEST(HaltenDisplayDecodingTest, ReadsFlagsMaxSpeedAndEbs) {
    struct Case {
        std::uint8_t flags;
        bool zero, cruise, soft;
    };
    const Case cases[] = {{0x00, false, false, false},
                          {0x02, true, false, false},
                          {0x04, false, true, false},
                          {0x08, false, false, true},
                          {0x0E, true, true, true}};
    DisplayDecoder decoder(protocols::kHaltenRs);
    std::uint8_t counter = 1;
    for (const Case& c : cases) {
        const auto frames = decoder.Feed(HaltenDisplay(counter++, 3, c.flags, 77, 2));
        ASSERT_EQ(frames.size(), 1u);
        const kmsim::DisplaySettings& s = frames[0].settings;
        EXPECT_EQ(s.zeroStart, c.zero) << int(c.flags);
        EXPECT_EQ(s.cruise, c.cruise) << int(c.flags);
        EXPECT_EQ(s.softStart, c.soft) << int(c.flags);
        EXPECT_EQ(s.maxSpeed, 77);
        EXPECT_EQ(s.ebs, 2);
        EXPECT_FALSE(s.maxPower);
        EXPECT_FALSE(s.throttle);
    }
    ASSERT_TRUE(decoder.lastSettings());
    EXPECT_TRUE(decoder.lastSettings()->cruise);
}

TEST(HaltenDisplayDecodingTest, CountsCounterGapsMissedFramesAndRepeats) {
    DisplayDecoder decoder(protocols::kHaltenRs);
    std::vector<CounterStep> steps;
    for (std::uint8_t c : {1, 2, 5, 5, 6, 0xFE, 0x01}) {
        for (const auto& f : decoder.Feed(HaltenDisplay(c, 3))) steps.push_back(f.step);
    }
    EXPECT_EQ(steps,
              (std::vector<CounterStep>{CounterStep::First, CounterStep::Next, CounterStep::Gap, CounterStep::Repeat,
                                        CounterStep::Next, CounterStep::Gap, CounterStep::Gap}));
    EXPECT_EQ(decoder.stats().counterGaps, 3u);
    EXPECT_EQ(decoder.stats().missedFrames, 2u + 247u + 2u);
    EXPECT_EQ(decoder.stats().repeats, 1u);
}

TEST(HaltenDisplayDecodingTest, BadChecksumIsCountedAndTheNextFrameStillDecodes) {
    DisplayDecoder decoder(protocols::kHaltenRs);
    Bytes broken = HaltenDisplay(2, 4);
    broken[7] ^= 0x10;
    const auto frames = decoder.Feed(Join({HaltenDisplay(1, 3), broken, HaltenDisplay(3, 5)}));
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_TRUE(frames[0].checksumOk);
    EXPECT_FALSE(frames[1].checksumOk);
    EXPECT_TRUE(frames[2].checksumOk);
    EXPECT_EQ(frames[2].settings.gearPosition, 5);
    EXPECT_EQ(frames[2].step, CounterStep::Gap) << "the broken frame's counter is missing";
    EXPECT_EQ(decoder.stats().checksumErrors, 1u);
    EXPECT_EQ(decoder.stats().frames, 2u);
    EXPECT_EQ(decoder.lastSettings()->gearPosition, 5);
}

TEST(HaltenDisplayDecodingTest, FindsFramesBehindJunkAndFalseStarts) {
    DisplayDecoder decoder(protocols::kHaltenRs);
    // Junk with a lone 01, a 01 01 03 run and a false 01 03 start that a real
    // frame follows closely.
    const Bytes junk1{0xAA, 0x01, 0x55};
    const Bytes junk2{0x01, 0x03, 0x77};
    const auto frames = decoder.Feed(Join({junk1, HaltenDisplay(1, 2), Bytes{0x01}, HaltenDisplay(2, 2), junk2,
                                           HaltenDisplay(3, 2), HaltenDisplay(4, 2)}));
    int good = 0;
    for (const auto& f : frames) good += f.checksumOk ? 1 : 0;
    EXPECT_EQ(good, 4);
    EXPECT_EQ(decoder.stats().frames, 4u);
    EXPECT_EQ(decoder.stats().counterGaps, 0u);
    EXPECT_GE(decoder.stats().skippedBytes, junk1.size() + 1 + junk2.size());
}

TEST(HaltenDisplayDecodingTest, PiecesOfAnySizeGiveTheSameFrames) {
    const Bytes stream =
        Join({Bytes{0x33}, HaltenDisplay(9, 1), HaltenDisplay(10, 7, 0x02), Bytes{0x01, 0x01}, HaltenDisplay(11, 0)});
    DisplayDecoder whole(protocols::kHaltenRs);
    const auto expected = whole.Feed(stream);
    for (std::size_t piece : {1u, 2u, 7u, 16u}) {
        DisplayDecoder split(protocols::kHaltenRs);
        std::vector<kmsim::DisplayFrame> got;
        for (std::size_t i = 0; i < stream.size(); i += piece) {
            const std::size_t n = std::min(piece, stream.size() - i);
            for (auto& f : split.Feed(std::span<const std::uint8_t>(stream).subspan(i, n))) got.push_back(f);
        }
        ASSERT_EQ(got.size(), expected.size()) << "pieces of " << piece;
        for (std::size_t k = 0; k < got.size(); ++k) {
            EXPECT_EQ(got[k].bytes, expected[k].bytes);
            EXPECT_EQ(got[k].settings.gearPosition, expected[k].settings.gearPosition);
        }
        EXPECT_EQ(split.stats().skippedBytes, whole.stats().skippedBytes);
    }
}

TEST(HaltenDisplayDecodingTest, RestartForgetsAPartFrameAndTheCounter) {
    DisplayDecoder decoder(protocols::kHaltenRs);
    decoder.Feed(HaltenDisplay(1, 3));
    const Bytes next = HaltenDisplay(2, 3);
    decoder.Feed(std::span<const std::uint8_t>(next).first(8));
    decoder.Restart();
    const auto frames = decoder.Feed(HaltenDisplay(40, 3));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_TRUE(frames[0].checksumOk);
    EXPECT_EQ(frames[0].step, CounterStep::First);
    EXPECT_EQ(decoder.stats().counterGaps, 0u);
}

TEST(HaltenDisplayDecodingTest, UnknownGearCodeIsReportedAsSuch) {
    std::array<std::uint8_t, 15> f{0x01, 0x03, 0x05, 0, 0, 0, 0x08, 90, 0, 0x80, 1, 0, 0, 0, 0};
    f[5] = static_cast<std::uint8_t>(0x04 + protocols::kHaltenMask[5]);  // code 0x04, not a gear
    const kmsim::DisplaySettings s = kmsim::DecodeHaltenDisplay(f);
    EXPECT_EQ(s.gearCode, 0x04);
    EXPECT_EQ(s.gearPosition, -1);
}

TEST(KugooDisplayDecodingTest, ReadsEverySetting) {
    DisplayDecoder decoder(protocols::kKugooM);
    const Bytes start = KugooDisplay(3, false, false, true, 1, 90, 1, 0);
    ASSERT_EQ(start.back(), 0x2C);
    const Bytes full = KugooDisplay(7, true, true, false, 2, 100, 100, 1100);
    ASSERT_EQ(full.back(), 0x37);

    const auto frames = decoder.Feed(Join({start, full}));
    ASSERT_EQ(frames.size(), 2u);
    const kmsim::DisplaySettings& a = frames[0].settings;
    EXPECT_EQ(a.gearPosition, 3);
    EXPECT_FALSE(a.zeroStart);
    EXPECT_FALSE(a.cruise);
    EXPECT_TRUE(a.softStart);
    EXPECT_EQ(a.ebs, 1);
    EXPECT_EQ(a.maxSpeed, 90);
    EXPECT_EQ(a.maxPower, 1);
    EXPECT_EQ(a.throttle, 0);
    EXPECT_FALSE(a.counter);
    EXPECT_EQ(frames[0].step, CounterStep::None);

    const kmsim::DisplaySettings& b = frames[1].settings;
    EXPECT_EQ(b.gearPosition, 7);
    EXPECT_TRUE(b.zeroStart);
    EXPECT_TRUE(b.cruise);
    EXPECT_FALSE(b.softStart);
    EXPECT_EQ(b.ebs, 2);
    EXPECT_EQ(b.maxSpeed, 100);
    EXPECT_EQ(b.maxPower, 100);
    EXPECT_EQ(b.throttle, 1100);
}

TEST(KugooDisplayDecodingTest, ResynchronisesAfterJunkAndCountsBadFrames) {
    DisplayDecoder decoder(protocols::kKugooM);
    Bytes bad = KugooDisplay(1, false, false, false, 0, 50, 50, 300);
    bad[16] ^= 0x01;
    const Bytes junk{0x01, 0x01, 0x13, 0x02, 0x0E};
    const auto frames = decoder.Feed(Join({junk, KugooDisplay(2, false, false, false, 0, 50, 50, 255), bad, Bytes{0x14},
                                           KugooDisplay(4, false, true, false, 0, 50, 50, 256)}));
    int good = 0;
    for (const auto& f : frames) good += f.checksumOk ? 1 : 0;
    EXPECT_EQ(good, 2);
    EXPECT_EQ(decoder.stats().checksumErrors, 1u);
    ASSERT_TRUE(decoder.lastSettings());
    EXPECT_EQ(decoder.lastSettings()->throttle, 256);
    EXPECT_TRUE(decoder.lastSettings()->cruise);
}

TEST(TestProtocolDisplayTest, HasNoDisplayFramesAndPassesEveryByteOver) {
    DisplayDecoder decoder(protocols::kTest);
    EXPECT_TRUE(decoder.Feed(HaltenDisplay(1, 3)).empty());
    EXPECT_EQ(decoder.stats().skippedBytes, 15u);
    EXPECT_FALSE(decoder.lastSettings());
}

}  // namespace
