#include <gtest/gtest.h>

#include <string>

#include "platform/LineSettings.h"

namespace zonter_test {
namespace {

using platform::BuildLineSettings;
using platform::LineSettings;

void ExpectFields(const LineSettings& s, long long baud, char parity, int data, int stop) {
    EXPECT_EQ(s.baud, baud);
    EXPECT_EQ(s.parity, parity);
    EXPECT_EQ(s.dataBits, data);
    EXPECT_EQ(s.stopBits, stop);
}

TEST(BuildLineSettingsTest, ReadsTheModeStringsInUse) {
    LineSettings s;
    ASSERT_TRUE(BuildLineSettings("baud=1200 parity=N data=8 stop=1", s));
    ExpectFields(s, 1200, 'N', 8, 1);
    EXPECT_FALSE(s.fromPort);
    ASSERT_TRUE(BuildLineSettings("baud=9600 parity=N data=8 stop=1", s));
    ExpectFields(s, 9600, 'N', 8, 1);
    ASSERT_TRUE(BuildLineSettings("baud=12345 parity=N data=8 stop=1", s));
    EXPECT_EQ(s.baud, 12345);
}

TEST(BuildLineSettingsTest, KeysInAnyOrderAndCase) {
    LineSettings s;
    ASSERT_TRUE(BuildLineSettings("  STOP=2\tData=7 PARITY=e   Baud=600 ", s));
    ExpectFields(s, 600, 'E', 7, 2);
    for (char p : std::string("noems")) {
        ASSERT_TRUE(BuildLineSettings(std::string("parity=") + p, s)) << p;
        EXPECT_EQ(s.parity, p - 'a' + 'A');
    }
}

TEST(BuildLineSettingsTest, AbsentKeysKeepWhatTheRecordHeld) {
    LineSettings s;
    ASSERT_TRUE(BuildLineSettings("baud=2400", s));
    ExpectFields(s, 2400, 'N', 8, 1);
    ASSERT_TRUE(BuildLineSettings("parity=O data=5 stop=2", s));
    ExpectFields(s, 2400, 'O', 5, 2);
    ASSERT_TRUE(BuildLineSettings("", s));
    ExpectFields(s, 2400, 'O', 5, 2);
}

TEST(BuildLineSettingsTest, RatesAreKeptForThePortToJudge) {
    LineSettings s;
    ASSERT_TRUE(BuildLineSettings("baud=0", s));
    EXPECT_EQ(s.baud, 0);
    ASSERT_TRUE(BuildLineSettings("baud=-1200", s));
    EXPECT_EQ(s.baud, -1200);
    ASSERT_TRUE(BuildLineSettings("baud=4294967295", s));
    EXPECT_EQ(s.baud, 4294967295LL);
}

TEST(BuildLineSettingsTest, UnreadableTextLeavesTheRecordUnchanged) {
    for (const char* mode :
         {"baud=abc", "baud=", "baud=12x", "baud=99999999999999999999", "parity=X", "parity=NN", "data=9", "data=4",
          "stop=1.5", "stop=3", "speed=1200", "baud 1200", "=5", "baud=1200 parity=N data=8 stop=1 junk"}) {
        SCOPED_TRACE(mode);
        LineSettings s;
        s.baud = 777;
        s.parity = 'E';
        s.dataBits = 7;
        s.stopBits = 2;
        EXPECT_FALSE(BuildLineSettings(mode, s));
        ExpectFields(s, 777, 'E', 7, 2);
    }
}

TEST(BuildLineSettingsTest, TextTurnsAPortRecordIntoALineDescription) {
    LineSettings s;
    s.fromPort = true;
    s.snapshot[0] = 1;
    ASSERT_TRUE(BuildLineSettings("baud=9600", s));
    EXPECT_FALSE(s.fromPort);

    s.fromPort = true;
    EXPECT_FALSE(BuildLineSettings("stop=1.5", s));
    EXPECT_TRUE(s.fromPort);
}

}  // namespace
}  // namespace zonter_test
