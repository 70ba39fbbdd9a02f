#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <set>
#include <vector>

#include "protocols/Checksum.h"
#include "protocols/Frames.h"
#include "protocols/HaltenRs.h"
#include "protocols/KugooM.h"
#include "tools/kmsim/ControllerFrames.h"
#include "tools/kmsim/HaltenController.h"
#include "tools/kmsim/KugooController.h"
#include "tools/kmsim/LineFaults.h"
#include "tools/kmsim/Ride.h"
#include "tools/kmsim/TestController.h"

namespace {

using kmsim::ControllerFrameSource;
using Bytes = std::vector<std::uint8_t>;

// Frame times as a controller at 1200 bit/s with 100 ms pauses sends them.
constexpr double kHaltenPeriod = 0.225;

std::array<std::uint8_t, protocols::kRxFrameSize> RxCopy(const Bytes& frame) {
    std::array<std::uint8_t, protocols::kRxFrameSize> rx{};
    std::copy_n(frame.begin(), std::min(frame.size(), rx.size()), rx.begin());
    return rx;
}

TEST(RideTest, SpeedAndPowerRiseAndFallWithinEachCycle) {
    for (std::uint64_t seed : {1u, 2u, 99u}) {
        for (int cycle = 0; cycle < 3; ++cycle) {
            const double base = cycle * kmsim::kRideCycleSeconds;
            EXPECT_EQ(kmsim::RideAt(seed, base + 1.0).speed, 0);
            EXPECT_EQ(kmsim::RideAt(seed, base + 28.0).speed, 0);
            int top = 0;
            int peakPower = 0;
            int previous = 0;
            for (double t = 0; t < kmsim::kRideCycleSeconds; t += 0.1) {
                const kmsim::RideSample s = kmsim::RideAt(seed, base + t);
                top = std::max<int>(top, s.speed);
                peakPower = std::max<int>(peakPower, s.power);
                EXPECT_LE(s.power, 100);
                // No jumps between samples a tenth of a second apart.
                EXPECT_LE(std::abs(s.speed - previous), 15) << "seed " << seed << " at " << base + t;
                previous = s.speed;
            }
            EXPECT_GE(top, 150);
            EXPECT_LE(top, 350);
            EXPECT_GE(peakPower, 60);
            EXPECT_GT(kmsim::RideAt(seed, base + 15.0).power, 0);
            EXPECT_EQ(kmsim::RideAt(seed, base + 22.0).power, 0) << "no power while braking";
        }
    }
}

TEST(RideTest, SameSeedSameRideOtherSeedOtherRide) {
    int differing = 0;
    for (double t = 0; t < 300; t += 0.5) {
        EXPECT_EQ(kmsim::RideAt(5, t).speed, kmsim::RideAt(5, t).speed);
        if (kmsim::RideAt(5, t).speed != kmsim::RideAt(6, t).speed) ++differing;
    }
    EXPECT_GT(differing, 100);
}

TEST(HaltenControllerFramesTest, DescramblingRestoresTheRideAndEveryFrameIsWellFormed) {
    constexpr std::uint64_t kSeed = 7;
    ControllerFrameSource source(protocols::kHaltenRs, kSeed);
    ASSERT_EQ(source.FrameLength(), 15u);

    std::set<std::uint8_t> keys;
    int previousKey = -1;
    int framesSinceMark = 0;
    for (int k = 0; k < 400; ++k) {
        const double t = k * kHaltenPeriod;
        const Bytes sent = source.Next(t);
        ASSERT_EQ(sent.size(), 15u);
        EXPECT_EQ(sent[0], 0x36);
        EXPECT_EQ(protocols::XorOf(sent), 0) << "frame " << k;
        EXPECT_EQ(sent[14], protocols::XorOf(std::span<const std::uint8_t>(sent).first(14)));
        EXPECT_EQ(std::count(sent.begin() + 1, sent.end(), 0x36), 0) << "frame " << k;

        const int key = sent[13];
        EXPECT_NE(key, previousKey) << "frame " << k;
        previousKey = key;
        keys.insert(sent[13]);

        framesSinceMark = sent[1] == 0x00 ? 0 : framesSinceMark + 1;
        EXPECT_LT(framesSinceMark, static_cast<int>(kmsim::kHaltenMarkEvery));

        auto rx = RxCopy(sent);
        protocols::DescrambleRx(rx);
        const kmsim::RideSample ride = kmsim::RideAt(kSeed, t);
        EXPECT_EQ(protocols::HaltenVt(rx), ride.speed) << "frame " << k;
        EXPECT_EQ(protocols::HaltenP(rx), ride.power) << "frame " << k;
        EXPECT_EQ(rx[5], 3) << "the display's default gear is reported back";
    }
    EXPECT_GT(keys.size(), 100u) << "the key wanders over the byte range";
}

TEST(HaltenControllerFramesTest, MarkedFramesComeEveryEighthFrameFromTheFirst) {
    ControllerFrameSource source(protocols::kHaltenRs, 1);
    for (int k = 0; k < 40; ++k) {
        const Bytes f = source.Next(k * kHaltenPeriod);
        EXPECT_EQ(f[1], k % 8 == 0 ? 0x00 : 0x05) << "frame " << k;
    }
}

TEST(HaltenControllerFramesTest, ReportsTheGearTheDisplayAskedFor) {
    ControllerFrameSource source(protocols::kHaltenRs, 1);
    source.SetGearEcho(6);
    auto rx = RxCopy(source.Next(0));
    protocols::DescrambleRx(rx);
    EXPECT_EQ(rx[5], 6);
}

TEST(HaltenControllerFramesTest, SameSeedGivesTheSameFrames) {
    ControllerFrameSource a(protocols::kHaltenRs, 11);
    ControllerFrameSource b(protocols::kHaltenRs, 11);
    ControllerFrameSource c(protocols::kHaltenRs, 12);
    int differ = 0;
    for (int k = 0; k < 50; ++k) {
        const Bytes fa = a.Next(k * kHaltenPeriod);
        EXPECT_EQ(fa, b.Next(k * kHaltenPeriod));
        if (fa != c.Next(k * kHaltenPeriod)) ++differ;
    }
    EXPECT_GT(differ, 40);
}

TEST(HaltenKeyTest, KeyAvoidsPuttingTheSyncByteIntoTheBody) {
    // A plain V/T low byte of 0x30 would become 0x36 with the key 0x06.
    const kmsim::HaltenFrame plain = kmsim::HaltenPlainFrame(
        {.byte1 = 0x05, .sequence = 0x10, .ride = {.speed = 0x0130, .power = 20, .temperature = 33}, .gearEcho = 3});
    EXPECT_FALSE(kmsim::HaltenBodyFreeOfSync(kmsim::ScrambleHalten(plain, 0x06)));
    const std::uint8_t key = kmsim::PickHaltenKey(plain, 0x06, 0x00);
    EXPECT_NE(key, 0x06);
    EXPECT_TRUE(kmsim::HaltenBodyFreeOfSync(kmsim::ScrambleHalten(plain, key)));
}

TEST(HaltenKeyTest, KeyNeverRepeatsThePreviousOne) {
    const kmsim::HaltenFrame plain = kmsim::HaltenPlainFrame(
        {.byte1 = 0x05, .sequence = 0x01, .ride = {.speed = 0, .power = 0, .temperature = 30}, .gearEcho = 3});
    EXPECT_NE(kmsim::PickHaltenKey(plain, 0x40, 0x40), 0x40);
}

TEST(HaltenKeyTest, RollingNumberPassesOverTheSyncByteAndWraps) {
    EXPECT_EQ(kmsim::NextHaltenSequence(0x34), 0x35);
    EXPECT_EQ(kmsim::NextHaltenSequence(0x35), 0x37);
    EXPECT_EQ(kmsim::NextHaltenSequence(0xFF), 0x00);
}

TEST(KugooControllerFramesTest, FramesCarryTheRideInPlainBytes) {
    constexpr std::uint64_t kSeed = 3;
    ControllerFrameSource source(protocols::kKugooM, kSeed);
    ASSERT_EQ(source.FrameLength(), 14u);
    int moving = 0;
    for (int k = 0; k < 600; ++k) {
        const double t = k * 0.065;
        const Bytes f = source.Next(t);
        ASSERT_EQ(f.size(), 14u);
        EXPECT_EQ(f[0], 0x02);
        EXPECT_EQ(f[1], 0x0E);
        EXPECT_EQ(protocols::XorOf(f), 0) << "byte 13 closes the XOR";
        const auto rx = RxCopy(f);
        const kmsim::RideSample ride = kmsim::RideAt(kSeed, t);
        EXPECT_EQ(protocols::KugooP(rx), ride.power);
        EXPECT_EQ(protocols::KugooVt(rx), ride.speed);
        if (ride.speed > 0) ++moving;
    }
    EXPECT_GT(moving, 300);
}

TEST(TestPatternFramesTest, FramesFormOneCountingStream) {
    ControllerFrameSource source(protocols::kTest, 1);
    Bytes stream;
    for (int k = 0; k < 40; ++k) {
        const Bytes f = source.Next(k * 0.2);
        ASSERT_EQ(f.size(), 15u);
        stream.insert(stream.end(), f.begin(), f.end());
    }
    for (std::size_t i = 0; i < stream.size(); ++i) ASSERT_EQ(stream[i], static_cast<std::uint8_t>(i)) << i;
}

TEST(LineFaultsTest, GarbageNeverHoldsTheSyncByte) {
    std::set<std::size_t> lengths;
    for (std::uint64_t n = 1; n <= 2000; ++n) {
        const Bytes junk = kmsim::GarbageBytes(42, n, std::uint8_t{0x36});
        ASSERT_GE(junk.size(), 1u);
        ASSERT_LE(junk.size(), kmsim::kMaxGarbageBytes);
        ASSERT_EQ(std::count(junk.begin(), junk.end(), 0x36), 0);
        lengths.insert(junk.size());
        EXPECT_EQ(junk, kmsim::GarbageBytes(42, n, std::uint8_t{0x36}));
    }
    EXPECT_EQ(lengths.size(), kmsim::kMaxGarbageBytes);
}

TEST(LineFaultsTest, SlotsCarryJunkAndTheDroppedByteAsAsked) {
    const Bytes frame{0x02, 0x0E, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    kmsim::LineFaults faults;
    faults.dropByteOf = 3;

    const kmsim::LineSlot plain = kmsim::ComposeSlot(frame, 2, faults, 1, std::uint8_t{0x02});
    EXPECT_EQ(plain.bytes, frame);
    EXPECT_FALSE(plain.byteDropped);

    const kmsim::LineSlot dropped = kmsim::ComposeSlot(frame, 3, faults, 1, std::uint8_t{0x02});
    EXPECT_TRUE(dropped.byteDropped);
    Bytes expected = frame;
    expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(kmsim::DroppedByteIndex(frame.size())));
    EXPECT_EQ(dropped.bytes, expected);
    EXPECT_EQ(dropped.bytes[0], 0x02) << "the frame keeps its start";

    faults.garbage = true;
    const kmsim::LineSlot junk = kmsim::ComposeSlot(frame, 5, faults, 1, std::uint8_t{0x02});
    ASSERT_GE(junk.junkBytes, 1u);
    EXPECT_EQ(junk.bytes.size(), junk.junkBytes + frame.size());
    EXPECT_TRUE(
        std::equal(frame.begin(), frame.end(), junk.bytes.begin() + static_cast<std::ptrdiff_t>(junk.junkBytes)));
    EXPECT_EQ(std::count(junk.bytes.begin(), junk.bytes.begin() + static_cast<std::ptrdiff_t>(junk.junkBytes), 0x02),
              0);
}

}  // namespace
