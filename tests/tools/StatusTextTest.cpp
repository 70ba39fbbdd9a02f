#include <gtest/gtest.h>

#include <string>

#include "tools/kmsim/StatusText.h"

namespace {

kmsim::DisplaySettings KugooSettings() {
    kmsim::DisplaySettings s;
    s.gearCode = 0x0F;
    s.gearPosition = 7;
    s.zeroStart = true;
    s.cruise = true;
    s.softStart = false;
    s.maxSpeed = 100;
    s.ebs = 2;
    s.maxPower = 100;
    s.throttle = 1100;
    return s;
}

TEST(StatusTextTest, SettingsTextCarriesWhatTheProtocolHas) {
    EXPECT_EQ(kmsim::SettingsText(KugooSettings()),
              "gear=7 zero-start=1 cruise=1 soft-start=0 max-speed=100 ebs=2 max-power=100 throttle=1100");
    kmsim::DisplaySettings halten;
    halten.gearCode = 0x04;
    halten.gearPosition = -1;
    halten.softStart = true;
    halten.maxSpeed = 90;
    halten.ebs = 1;
    halten.counter = 0x11;
    EXPECT_EQ(kmsim::SettingsText(halten), "gear=?(04) zero-start=0 cruise=0 soft-start=1 max-speed=90 ebs=1");
}

TEST(StatusTextTest, SummaryIsOneLineOfKeyValuePairs) {
    kmsim::StatusSnapshot s;
    s.protocol = protocols::kKugooM;
    s.port = 7;
    s.framesSent = 20;
    s.display.frames = 3;
    s.display.checksumErrors = 1;
    s.display.counterGaps = 2;
    s.display.missedFrames = 5;
    s.display.skippedBytes = 9;
    EXPECT_EQ(kmsim::SummaryLine(s),
              "summary protocol=kugoo port=COM7 frames-sent=20 display-frames=3 checksum-errors=1 counter-gaps=2 "
              "missed-frames=5 repeats=0 skipped-bytes=9 settings=none");
    s.settings = KugooSettings();
    const std::string line = kmsim::SummaryLine(s);
    EXPECT_NE(line.find(" gear=7 "), std::string::npos);
    EXPECT_EQ(line.find('\n'), std::string::npos);
}

TEST(StatusTextTest, StatusLineNamesTheLineStateAndTheAskedSettings) {
    kmsim::StatusSnapshot s;
    s.protocol = protocols::kHaltenRs;
    s.port = 1;
    s.controllerSpeed = 1200;
    s.lineSpeed = 9600;
    s.state = kmsim::LineState::Filler;
    std::string line = kmsim::StatusLine(s);
    EXPECT_NE(line.find("COM1 halten"), std::string::npos) << line;
    EXPECT_NE(line.find("9600"), std::string::npos) << line;
    EXPECT_NE(line.find("filler"), std::string::npos) << line;
    EXPECT_NE(line.find("no settings yet"), std::string::npos) << line;
    s.state = kmsim::LineState::Garbled;
    line = kmsim::StatusLine(s);
    EXPECT_NE(line.find("9600"), std::string::npos) << line;
    EXPECT_NE(line.find("garbled"), std::string::npos) << line;

    s.state = kmsim::LineState::Frames;
    s.framesSent = 12;
    s.display.frames = 4;
    s.display.counterGaps = 1;
    s.settings = KugooSettings();
    line = kmsim::StatusLine(s);
    EXPECT_NE(line.find("sent 12"), std::string::npos) << line;
    EXPECT_NE(line.find("display 4 ok"), std::string::npos) << line;
    EXPECT_NE(line.find("1 gaps"), std::string::npos) << line;
    EXPECT_NE(line.find("gear 7"), std::string::npos) << line;
    EXPECT_NE(line.find("cruise on"), std::string::npos) << line;
}

TEST(StatusTextTest, LogLinesShowBytesAndMeaning) {
    kmsim::DisplayFrame bad;
    bad.bytes = {0x01, 0x03, 0xFF};
    EXPECT_EQ(kmsim::DisplayFrameLogLine(bad), "rx 01 03 FF | checksum-error");

    kmsim::DisplayFrame gap;
    gap.bytes = {0x01, 0x03};
    gap.checksumOk = true;
    gap.settings.gearPosition = 3;
    gap.settings.counter = 0x0A;
    gap.step = kmsim::CounterStep::Gap;
    gap.missed = 2;
    EXPECT_EQ(kmsim::DisplayFrameLogLine(gap),
              "rx 01 03 | counter=0A step=gap missed=2 gear=3 zero-start=0 cruise=0 soft-start=0 max-speed=0 ebs=0");
    EXPECT_EQ(kmsim::HexLine(std::vector<std::uint8_t>{0x36, 0x0A}), "36 0A");
}

}  // namespace
