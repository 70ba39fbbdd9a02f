#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "tools/kmsim/LinePacing.h"
#include "tools/kmsim/Options.h"

namespace {

using namespace std::chrono_literals;

TEST(LinePacingTest, TenBitsPerByteAtTheLineSpeed) {
    EXPECT_EQ(kmsim::LineTime(15, 1200), 125ms);
    EXPECT_EQ(kmsim::LineTime(1, 1200), std::chrono::nanoseconds(8'333'333));
    EXPECT_EQ(kmsim::LineTime(14, 9600), std::chrono::nanoseconds(14'583'333));
    EXPECT_EQ(kmsim::LineTime(20, 9600), std::chrono::nanoseconds(20'833'333));
    EXPECT_EQ(kmsim::LineTime(0, 9600), 0ns);
    EXPECT_EQ(kmsim::LineTime(15, 0), 0ns);
    EXPECT_EQ(kmsim::LineTime(15, -1), 0ns);
}

TEST(LinePacingTest, ChunksSpanAboutTenMillisecondsAndHoldAtLeastOneByte) {
    EXPECT_EQ(kmsim::ChunkBytes(1200), 1u);
    EXPECT_EQ(kmsim::ChunkBytes(300), 1u);
    EXPECT_EQ(kmsim::ChunkBytes(9600), 9u);
    EXPECT_EQ(kmsim::ChunkBytes(115200), 115u);
    EXPECT_EQ(kmsim::ChunkBytes(0), 1u);
    for (std::int64_t speed : {1200, 9600, 38400, 115200}) {
        EXPECT_LE(kmsim::LineTime(kmsim::ChunkBytes(speed), speed), kmsim::kChunkSpan) << speed;
    }
}

TEST(LinePacingTest, SpeedsMatchWithinTwoPercent) {
    EXPECT_TRUE(kmsim::SpeedMatches(1200, 1200));
    EXPECT_TRUE(kmsim::SpeedMatches(9600, 9600));
    EXPECT_TRUE(kmsim::SpeedMatches(1224, 1200));
    EXPECT_FALSE(kmsim::SpeedMatches(1250, 1200));
    EXPECT_FALSE(kmsim::SpeedMatches(9600, 1200));
    EXPECT_FALSE(kmsim::SpeedMatches(1200, 9600));
    EXPECT_FALSE(kmsim::SpeedMatches(38400, 1200));
    EXPECT_FALSE(kmsim::SpeedMatches(-1, 1200));
    EXPECT_FALSE(kmsim::SpeedMatches(0, 1200));
}

kmsim::ParsedOptions Parse(std::vector<std::string_view> args) { return kmsim::ParseOptions(args); }

TEST(OptionsTest, DefaultsPlayHaltenOnCom1) {
    const auto parsed = Parse({});
    ASSERT_TRUE(parsed.options) << parsed.error;
    const kmsim::Options& o = *parsed.options;
    EXPECT_EQ(o.protocol, protocols::kHaltenRs);
    EXPECT_EQ(o.port, 1u);
    EXPECT_EQ(o.mirrorPort, 0u);
    EXPECT_TRUE(o.portDirectory.empty());
    EXPECT_EQ(o.intervalMs, 100);
    EXPECT_EQ(o.mismatch, kmsim::MismatchMode::Garbled);
    EXPECT_FALSE(o.frameLimit);
    EXPECT_FALSE(o.faults.garbage);
    EXPECT_FALSE(o.faults.silenceAfter || o.faults.dropByteOf || o.faults.hangupAfter || o.faults.unplugAfter ||
                 o.faults.replugAfter);
    EXPECT_FALSE(o.quiet || o.help);
}

TEST(OptionsTest, IntervalDefaultsFollowTheProtocolUnlessGiven) {
    EXPECT_EQ(Parse({"--protocol", "kugoo"}).options->intervalMs, 50);
    EXPECT_EQ(Parse({"--protocol", "test"}).options->intervalMs, 100);
    EXPECT_EQ(Parse({"--interval", "7", "--protocol", "kugoo"}).options->intervalMs, 7);
    EXPECT_EQ(Parse({"--interval=0"}).options->intervalMs, 0);
}

TEST(OptionsTest, ReadsEveryOptionInBothForms) {
    const auto parsed = Parse({"--protocol=kugoo",
                               "--port",
                               "7",
                               "--port-dir",
                               "/tmp/x",
                               "--mirror-port=8",
                               "--seed=99",
                               "--log",
                               "l.txt",
                               "--quiet",
                               "--mismatch",
                               "mute",
                               "--silence-after",
                               "10",
                               "--garbage",
                               "--drop-byte=3",
                               "--hangup-after",
                               "12",
                               "--frames",
                               "20",
                               "--unplug-after",
                               "5",
                               "--replug-after=2.5"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    const kmsim::Options& o = *parsed.options;
    EXPECT_EQ(o.protocol, protocols::kKugooM);
    EXPECT_EQ(o.port, 7u);
    EXPECT_EQ(o.mirrorPort, 8u);
    EXPECT_EQ(o.portDirectory, "/tmp/x");
    EXPECT_EQ(o.seed, 99u);
    EXPECT_EQ(o.logPath, "l.txt");
    EXPECT_TRUE(o.quiet);
    EXPECT_EQ(o.mismatch, kmsim::MismatchMode::Mute);
    EXPECT_EQ(o.faults.silenceAfter, 10u);
    EXPECT_TRUE(o.faults.garbage);
    EXPECT_EQ(o.faults.dropByteOf, 3u);
    EXPECT_EQ(o.faults.hangupAfter, 12u);
    EXPECT_EQ(o.frameLimit, 20u);
    EXPECT_EQ(o.faults.unplugAfter, 5u);
    EXPECT_EQ(o.faults.replugAfter, std::chrono::milliseconds(2500));

    EXPECT_EQ(Parse({"--mismatch=filler"}).options->mismatch, kmsim::MismatchMode::Filler);
    EXPECT_EQ(Parse({"--mismatch", "garbled"}).options->mismatch, kmsim::MismatchMode::Garbled);
}

TEST(OptionsTest, RejectsWhatItCannotUse) {
    const std::vector<std::vector<std::string_view>> wrong = {{"--protocol", "segway"},
                                                              {"--protocol"},
                                                              {"--port", "0"},
                                                              {"--port", "x"},
                                                              {"--port", "-1"},
                                                              {"--mirror-port", "0"},
                                                              {"--mirror-port", "1"},
                                                              {"--interval", "1e3"},
                                                              {"--drop-byte", "0"},
                                                              {"--frames", ""},
                                                              {"--mismatch", "loud"},
                                                              {"--quiet=1"},
                                                              {"--log"},
                                                              {"--bogus"},
                                                              {"COM1"},
                                                              {"--seed", "12a"},
                                                              {"--interval", "70000"},
                                                              {"--replug-after", "2"},
                                                              {"--unplug-after", "3", "--replug-after", "-1"},
                                                              {"--unplug-after", "3", "--replug-after", "1e3"},
                                                              {"--unplug-after", "3", "--replug-after", "3601"},
                                                              {"--unplug-after", "x"}};
    for (const auto& args : wrong) {
        const auto parsed = Parse(args);
        EXPECT_FALSE(parsed.options) << args[0];
        EXPECT_FALSE(parsed.error.empty()) << args[0];
    }
}

TEST(OptionsTest, HelpNamesEveryOptionAndTheReadyLine) {
    EXPECT_TRUE(Parse({"--help"}).options->help);
    const std::string help = kmsim::HelpText("zonter-kmsim");
    for (const char* option : {"--protocol", "--port", "--port-dir", "--mirror-port", "--interval", "--seed", "--log",
                               "--quiet", "--mismatch", "--frames", "--silence-after", "--hangup-after",
                               "--unplug-after", "--replug-after", "--drop-byte", "--garbage", "--help"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
    EXPECT_NE(help.find("COM<n> /dev/pts/N"), std::string::npos);
    EXPECT_NE(help.find("unplugged COM<n> monotonic=S"), std::string::npos);
    EXPECT_NE(help.find("replugged COM<n> /dev/pts/M monotonic=S"), std::string::npos);
    EXPECT_NE(help.find("zonter"), std::string::npos);
}

}  // namespace
