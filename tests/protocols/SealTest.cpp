#include "protocols/Seal.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>

#include "FrameHelpers.h"
#include "protocols/Catalogue.h"
#include "protocols/Checksum.h"
#include "protocols/HaltenRs.h"
#include "protocols/KugooM.h"

namespace protocols {
namespace {

using test::OutFrame;

TEST(SealOutFrame, DispatchesByTheRunsProtocol) {
    std::mt19937 random(23);
    for (int round = 0; round < 50; ++round) {
        const OutFrame start = test::RandomBytes<kOutFrameSize>(random);
        const auto gear = static_cast<std::uint8_t>(round);

        OutFrame halten = start, haltenExpected = start;
        SealOutFrame(kHaltenRs, halten, gear);
        SealHalten(haltenExpected, gear);
        EXPECT_EQ(halten, haltenExpected);

        OutFrame kugoo = start, kugooExpected = start;
        SealOutFrame(kKugooM, kugoo, gear);
        SealKugoo(kugooExpected, gear);
        EXPECT_EQ(kugoo, kugooExpected);
    }
}

TEST(SealOutFrame, OtherProtocolsChangeNothing) {
    std::mt19937 random(29);
    for (const int protocol : std::initializer_list<int>{kNoProtocol, kTest, 3, INT_MIN, INT_MAX}) {
        OutFrame frame = test::RandomBytes<kOutFrameSize>(random);
        const OutFrame before = frame;
        SealOutFrame(protocol, frame, 0x0F);
        EXPECT_EQ(frame, before) << protocol;
    }
}

// Whatever the frame and the gear, the bytes a protocol sends XOR to zero.
TEST(SealOutFrame, EverySealedFrameXorsToZero) {
    std::mt19937 random(20240601);
    std::uniform_int_distribution<int> byte(0, 255);
    for (const int protocol : {kHaltenRs, kKugooM}) {
        const std::size_t sent = Protocol(protocol).txFrameLength;
        for (int round = 0; round < 2000; ++round) {
            OutFrame frame = test::RandomBytes<kOutFrameSize>(random);
            if (protocol == kHaltenRs) StepHaltenCounter(frame);
            SealOutFrame(protocol, frame, static_cast<std::uint8_t>(byte(random)));
            ASSERT_EQ(XorOf(std::span<const std::uint8_t>(frame.data(), sent)), 0x00)
                << "protocol " << protocol << " round " << round;
        }
    }
}

}  // namespace
}  // namespace protocols
