// Finding out what a line speaks, on the simulator's model of a receiver
// at the wrong rate: every window of the sweep hears what a UART set to
// its speed would make of the controller's frames.
#include <gtest/gtest.h>

#include "protocols/Checksum.h"
#include "protocols/Codecs.h"
#include "tools/kmsim/HeardLine.h"

namespace {

using kmsim::ControllerLine;
using kmsim::RunSweep;
using protocols::Finding;

struct DetectionRow {
    int protocol;
    unsigned lineSpeedBefore;  // the speed in force when the sweep starts
    int decoderBefore;         // the decoder selected then
};

std::string RowName(const DetectionRow& row) {
    return std::string(protocols::Protocol(row.protocol).name) + " at " + std::to_string(row.lineSpeedBefore) +
           " with " + std::string(protocols::Protocol(row.decoderBefore).name);
}

// The line's phase differs from row to row, as a sweep starts at any time
// in the controller's period; the speed and decoder in force before do not
// change what it hears.
TEST(Detection, FindsEachProtocolAtItsSpeedWithinASecondWhateverWasSelected) {
    std::vector<DetectionRow> rows;
    for (const int protocol : {protocols::kHaltenRs, protocols::kKugooM}) {
        for (const unsigned before : {1200u, 9600u, 38400u}) {
            for (const int decoder : {protocols::kTest, protocols::kHaltenRs, protocols::kKugooM}) {
                rows.push_back({protocol, before, decoder});
            }
        }
    }
    int phase = 0;
    for (const DetectionRow& row : rows) {
        const int interval = row.protocol == protocols::kKugooM ? 50 : 100;
        phase = (phase + 37) % 200;
        const auto run =
            RunSweep(ControllerLine(row.protocol, interval, row.lineSpeedBefore + row.decoderBefore, phase), phase + 1);
        const Finding& f = run.result;
        ASSERT_EQ(f.kind, Finding::Kind::Protocol) << RowName(row);
        EXPECT_EQ(f.protocol, row.protocol) << RowName(row);
        EXPECT_EQ(f.speed, protocols::Protocol(row.protocol).connect.speed) << RowName(row);
        EXPECT_GE(f.frames, protocols::kMinProtocolFrames) << RowName(row);
        EXPECT_EQ(f.errors, 0) << RowName(row);
        EXPECT_LE(run.foundAtMs, 1000) << RowName(row);
    }
}

// Frames of 14 bytes from 02 0E whose check is no decoder's: a structure,
// found at the speed it is sent at, with its start and period.
TEST(Detection, FramesOfNoKnownDecoderAreAStructureWithLengthStartAndPeriod) {
    const kmsim::FrameMakers makers = [] {
        return [n = 0](double) mutable {
            std::vector<std::uint8_t> f{0x02, 0x0E, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
            f[4] = static_cast<std::uint8_t>(n++);
            f[7] = static_cast<std::uint8_t>(n * 3);
            f.push_back(static_cast<std::uint8_t>(protocols::XorOf(f) ^ 0x5A));  // not Kugoo M's check
            return f;
        };
    };
    for (const unsigned speed : {9600u, 19200u}) {
        const auto run = RunSweep(kmsim::FramesLine(makers, speed, 35, 20));
        const Finding& f = run.result;
        ASSERT_EQ(f.kind, Finding::Kind::Structure) << speed;
        EXPECT_EQ(f.speed, speed);
        EXPECT_EQ(f.frameLength, 14u);
        EXPECT_EQ(f.start[0], 0x02);
        EXPECT_EQ(f.start[1], 0x0E);
        EXPECT_NEAR(f.periodMs, 14 * 10 * 1000 / speed + 35, 10) << speed;
        EXPECT_LE(run.foundAtMs, 4000);
    }
}

TEST(Detection, ASilentLineIsSilentAndTheSweepTakesUnderFourSeconds) {
    const auto run = RunSweep([](unsigned, std::int64_t, std::int64_t) { return std::vector<kmsim::Heard>{}; });
    EXPECT_EQ(run.result.kind, Finding::Kind::Nothing);
    EXPECT_TRUE(run.silent);
    EXPECT_LE(run.foundAtMs, 4000);
    EXPECT_EQ(protocols::Sweep().Steps(), protocols::SweepSpeeds().size());
}

// Random bytes sent at one speed and heard at each: no find. The full
// thousand runs are a bench figure (scripts/bench); a few dozen here.
TEST(Detection, RandomBytesAtRandomSpeedsAreNoFind) {
    const unsigned rates[] = {1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200};
    for (std::uint64_t seed = 1; seed <= 36; ++seed) {
        const auto run = RunSweep(kmsim::RandomLine(seed, rates[seed % std::size(rates)]));
        EXPECT_EQ(run.result.kind, Finding::Kind::Nothing) << "seed " << seed << " speed " << run.result.speed;
        EXPECT_FALSE(run.silent);
        EXPECT_LE(run.foundAtMs, 4000) << seed;
    }
}

TEST(Detection, TheSweepTriesTheDecodersSpeedsFirstThenTheStandardOnesEachOnce) {
    const std::vector<unsigned> speeds = protocols::SweepSpeeds();
    ASSERT_GE(speeds.size(), 8u);
    EXPECT_EQ(speeds[0], 1200u);
    EXPECT_EQ(speeds[1], 9600u);
    for (const unsigned speed : protocols::kStandardSpeeds) {
        EXPECT_EQ(std::count(speeds.begin(), speeds.end(), speed), 1) << speed;
    }
    EXPECT_EQ(speeds.back(), 115200u);
}

}  // namespace
