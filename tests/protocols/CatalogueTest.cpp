#include "protocols/Catalogue.h"

#include "protocols/Codecs.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <optional>
#include <string>
#include <vector>

namespace protocols {
namespace {

TEST(DecoderList, HoldsTheThreeEntriesInListOrder) {
    const auto entries = DecoderListEntries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0], " Неизвестный (Test)");
    EXPECT_EQ(entries[1], " Halten RS");
    EXPECT_EQ(entries[2], " Kugoo M (QS-S4)");
}

TEST(DecoderList, EveryEntryBeginsWithOneBlankAndHasNoTrailingBlank) {
    for (const std::string_view entry : DecoderListEntries()) {
        ASSERT_GE(entry.size(), 2u);
        EXPECT_EQ(entry[0], ' ') << entry;
        EXPECT_NE(entry[1], ' ') << entry;
        EXPECT_NE(entry.back(), ' ') << entry;
    }
}

TEST(DecoderList, EntryIndexMatchesItsProtocolIndex) {
    for (int i = 0; i < kProtocolCount; ++i) EXPECT_EQ(Protocol(i).index, i);
}

TEST(ProtocolLookup, ValuesOutsideTheListAnswerAsNoSelection) {
    const ProtocolInfo& none = Protocol(kNoProtocol);
    EXPECT_EQ(none.index, kNoProtocol);
    EXPECT_TRUE(none.listEntry.empty());
    for (const int index : {-2, 3, 4, 100, INT_MIN, INT_MAX}) {
        EXPECT_EQ(&Protocol(index), &none) << index;
    }
}

TEST(LineModeString, FillsTheModeStringWithTheSpeed) {
    EXPECT_EQ(std::string(kLineModeFormat), "baud=%u parity=N data=8 stop=1");
    EXPECT_EQ(LineModeString(1200), "baud=1200 parity=N data=8 stop=1");
    EXPECT_EQ(LineModeString(9600), "baud=9600 parity=N data=8 stop=1");
    EXPECT_EQ(LineModeString(115200), "baud=115200 parity=N data=8 stop=1");
    EXPECT_EQ(LineModeString(4294967295u), "baud=4294967295 parity=N data=8 stop=1");
}

struct LineCase {
    int index;
    unsigned connectSpeed;
    unsigned runStartSpeed;  // 0: speed left as it is
};

class LineSpeedByDecoder : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineSpeedByDecoder, ConnectAndRunStart) {
    const LineCase c = GetParam();
    const ProtocolInfo& p = Protocol(c.index);
    EXPECT_EQ(p.connect.speed, c.connectSpeed);
    EXPECT_EQ(p.connect.mode, LineModeString(c.connectSpeed));
    EXPECT_EQ(p.runStart.speed, c.runStartSpeed);
    if (c.runStartSpeed != 0) {
        EXPECT_EQ(p.runStart.mode, LineModeString(c.runStartSpeed));
    }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, LineSpeedByDecoder,
                         ::testing::Values(LineCase{kNoProtocol, 1200, 0}, LineCase{kTest, 1200, 0},
                                           LineCase{kHaltenRs, 1200, 1200}, LineCase{kKugooM, 9600, 9600},
                                           LineCase{42, 1200, 0}));

struct FramingCase {
    int index;
    std::size_t rxLength;
    std::vector<std::uint8_t> sync;
    std::size_t restLength;
    bool descramble;
    bool simulationAllowed;
    std::size_t txLength;
    std::size_t templateValues;
    int pauseMs;
    int simulatorRefreshEvery;
    int autoReadRefreshEvery;
};

class FramingByDecoder : public ::testing::TestWithParam<FramingCase> {};

TEST_P(FramingByDecoder, ReceiveAndTransmit) {
    const FramingCase c = GetParam();
    const ProtocolInfo& p = Protocol(c.index);
    EXPECT_EQ(p.rxFrameLength, c.rxLength);
    ASSERT_EQ(p.syncCount, c.sync.size());
    for (std::size_t i = 0; i < c.sync.size(); ++i) EXPECT_EQ(p.sync[i], c.sync[i]) << i;
    if (c.rxLength != 0) {
        EXPECT_EQ(p.RestLength(), c.restLength);
    }
    const Codec& codec = CodecAt(c.index);
    std::array<std::uint8_t, kRxFrameSize> frame{};
    EXPECT_EQ(codec.DecodeRx(frame), c.descramble);
    EXPECT_EQ(codec.PlanRun(RunCommand::SingleRead, true).simulates, c.simulationAllowed);
    EXPECT_EQ(p.txFrameLength, c.txLength);
    EXPECT_EQ(p.templateValueCount, c.templateValues);
    EXPECT_EQ(p.txPauseMs, c.pauseMs);
    EXPECT_EQ(p.simulatorRefreshEvery, c.simulatorRefreshEvery);
    EXPECT_EQ(p.autoReadRefreshEvery, c.autoReadRefreshEvery);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, FramingByDecoder,
                         ::testing::Values(FramingCase{kNoProtocol, 0, {}, 0, false, true, 0, 14, 0, 0, 0},
                                           FramingCase{kTest, 15, {}, 15, false, false, 0, 14, 0, 0, 0},
                                           FramingCase{kHaltenRs, 15, {0x36}, 14, true, true, 15, 14, 160, 5, 5},
                                           FramingCase{
                                               kKugooM, 14, {0x02, 0x0E}, 12, false, true, 20, 19, 80, 10, 10}));

struct CommandCase {
    int index;
    bool singleRead;
    bool autoRead;
    bool capture;
    bool autoReadAndCaptureStopOnly;
    bool huntTimeoutIsTimeOut;
    bool singleReadPublishesStatus;
    bool singleReadKeepsRaw;
    ReadWaits single;
    ReadWaits autoRead_;
    CaptureWaits captureWaits;
};

class CommandsByDecoder : public ::testing::TestWithParam<CommandCase> {};

TEST_P(CommandsByDecoder, WhatEachCommandDoesAndItsWaitBounds) {
    const CommandCase c = GetParam();
    const ProtocolInfo& p = Protocol(c.index);
    EXPECT_EQ(p.singleRead, c.singleRead);
    EXPECT_EQ(p.autoRead, c.autoRead);
    EXPECT_EQ(p.capture, c.capture);
    const Codec& codec = CodecAt(c.index);
    EXPECT_TRUE(codec.PlanRun(RunCommand::SingleRead, false).goesOn);
    for (const RunCommand command : {RunCommand::AutoRead, RunCommand::Capture}) {
        EXPECT_EQ(!codec.PlanRun(command, false).goesOn, c.autoReadAndCaptureStopOnly);
    }
    EXPECT_EQ(codec.SingleReadHuntTimeOutShows(), c.huntTimeoutIsTimeOut);

    // A single read's frame: whether it sets the status, whether it is kept
    // as received too.
    const std::vector<std::uint8_t> frame(p.rxFrameLength, 0x5A);
    std::array<std::uint8_t, kRxFrameSize> rx{}, raw{};
    const std::optional<int> status = codec.PublishSingleRead(frame, rx, raw);
    EXPECT_EQ(status.has_value(), c.singleReadPublishesStatus);
    if (status) {
        EXPECT_EQ(*status, 1);
    }
    EXPECT_EQ(raw[0] == 0x5A, c.singleReadKeepsRaw);

    EXPECT_EQ(p.singleReadWaits.firstSync, c.single.firstSync);
    EXPECT_EQ(p.singleReadWaits.secondSync, c.single.secondSync);
    EXPECT_EQ(p.singleReadWaits.rest, c.single.rest);
    EXPECT_EQ(p.autoReadWaits.firstSync, c.autoRead_.firstSync);
    EXPECT_EQ(p.autoReadWaits.secondSync, c.autoRead_.secondSync);
    EXPECT_EQ(p.autoReadWaits.rest, c.autoRead_.rest);
    EXPECT_EQ(p.captureWaits.syncByte, c.captureWaits.syncByte);
    EXPECT_EQ(p.captureWaits.firstFrameRest, c.captureWaits.firstFrameRest);
    EXPECT_EQ(p.captureWaits.laterFrame, c.captureWaits.laterFrame);
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, CommandsByDecoder,
    ::testing::Values(
        CommandCase{kNoProtocol, false, false, false, false, false, false, false, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
        CommandCase{kTest, true, false, false, true, false, true, false, {0, 0, 350}, {0, 0, 0}, {0, 0, 0}},
        CommandCase{
            kHaltenRs, true, true, true, false, false, false, true, {250, 0, 500}, {500, 0, 500}, {250, 200, 500}},
        CommandCase{
            kKugooM, true, true, false, false, true, true, false, {250, 250, 200}, {500, 500, 500}, {0, 0, 0}}));

TEST(Catalogue, WaitBoundsAreOnlyGivenForStepsThatExist) {
    for (int i = kNoProtocol; i < kProtocolCount; ++i) {
        const ProtocolInfo& p = Protocol(i);
        const bool hasSecondSync = p.syncCount == 2;
        EXPECT_EQ(p.singleReadWaits.secondSync != 0, p.singleRead && hasSecondSync) << i;
        EXPECT_EQ(p.autoReadWaits.secondSync != 0, p.autoRead && hasSecondSync) << i;
        EXPECT_EQ(p.autoReadWaits.rest != 0, p.autoRead) << i;
        EXPECT_EQ(p.captureWaits.laterFrame != 0, p.capture) << i;
        EXPECT_EQ(p.autoReadRefreshEvery != 0, p.autoRead) << i;
        EXPECT_EQ(p.simulatorRefreshEvery != 0, p.txFrameLength != 0) << i;
    }
}

}  // namespace
}  // namespace protocols
