#include "protocols/KugooM.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "FrameHelpers.h"
#include "protocols/Checksum.h"
#include "protocols/Codecs.h"
#include "protocols/GearCodes.h"
#include "protocols/Template.h"

namespace protocols {
namespace {

using test::OutFrame;
using test::RxFrame;

struct WorkedExample {
    const char* name;
    TemplateSettings settings;
    std::vector<std::uint8_t> sent;
};

void PrintTo(const WorkedExample& e, std::ostream* os) { *os << e.name; }

class KugooWorkedExamples : public ::testing::TestWithParam<WorkedExample> {};

TEST_P(KugooWorkedExamples, TemplateParsedAndSealedGivesTheFrameSent) {
    const WorkedExample& e = GetParam();
    OutFrame frame{};
    ParseTemplate(*BuildTemplate(e.settings), kKugooM, frame);
    SealKugoo(frame, GearCodeForPosition(e.settings.gear));
    EXPECT_EQ(frame, test::OutFrameOf(e.sent));
}

TEST_P(KugooWorkedExamples, SealingTheFirstNineteenBytesGivesTheChecksum) {
    const WorkedExample& e = GetParam();
    OutFrame frame = test::OutFrameOf(e.sent);
    frame[19] = 0x00;
    SealKugoo(frame, e.sent[4]);
    EXPECT_EQ(frame[19], e.sent[19]);
}

INSTANTIATE_TEST_SUITE_P(Kugoo, KugooWorkedExamples,
                         ::testing::Values(WorkedExample{"StartValues",
                                                         {kKugooM, 3, 0, 0, 1, 1, 90, 1, 0},
                                                         {0x01, 0x14, 0x01, 0x01, 0x05, 0x00, 0x1E, 0x00, 0x6B, 0x01,
                                                          0x01, 0x00, 0x5A, 0x01, 0x02, 0x1C, 0x00, 0x00, 0x0C, 0x2C}},
                                           WorkedExample{"AllRaised",
                                                         {kKugooM, 7, 1, 1, 0, 2, 100, 100, 1100},
                                                         {0x01, 0x14, 0x01, 0x01, 0x0F, 0x40, 0x1E, 0x00, 0x6B, 0x02,
                                                          0x00, 0x00, 0x64, 0x64, 0x02, 0x1C, 0x04, 0x4C, 0x4C, 0x37}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(KugooReceive, SyncBytes) {
    EXPECT_EQ(kKugooSync1, 0x02);
    EXPECT_EQ(kKugooSync2, 0x0E);
}

TEST(KugooValues, PIsByteSevenAndVtBytesEightAndNine) {
    RxFrame frame{};
    frame[7] = 0xFF;
    frame[8] = 0x01;
    frame[9] = 0x2C;
    EXPECT_EQ(KugooP(frame), 255);
    EXPECT_EQ(KugooVt(frame), 300);
    frame[8] = 0xFF;
    frame[9] = 0xFF;
    EXPECT_EQ(KugooVt(frame), 65535);
}

TEST(KugooSeal, GearByteFollowsTheGearCodeWhateverTheTemplateHeld) {
    OutFrame frame{};
    ParseTemplate("01 14 01 01 05 00 1E 00 6B 01 01 00 5A 01 02 1C 00 00 0C", kKugooM, frame);
    SealKugoo(frame, 0x0F);
    EXPECT_EQ(frame[4], 0x0F);
    EXPECT_EQ(XorOf(frame), 0x00);
}

TEST(KugooSeal, WritesOnlyGearAndChecksum) {
    std::mt19937 random(17);
    for (int round = 0; round < 200; ++round) {
        OutFrame frame = test::RandomBytes<kOutFrameSize>(random);
        const OutFrame before = frame;
        SealKugoo(frame, static_cast<std::uint8_t>(round));
        EXPECT_EQ(frame[4], round & 0xFF);
        for (std::size_t i = 0; i < frame.size(); ++i) {
            if (i != 4 && i != 19) {
                EXPECT_EQ(frame[i], before[i]) << i;
            }
        }
    }
}

TEST(KugooSeal, ConsecutiveFramesWithUnchangedSettingsAreIdentical) {
    std::mt19937 random(19);
    OutFrame frame = test::RandomBytes<kOutFrameSize>(random);
    SealKugoo(frame, 0x05);
    const OutFrame first = frame;
    SealKugoo(frame, 0x05);
    EXPECT_EQ(frame, first);
}

// Its 14 bytes on the raw line, the line shown before moves down.
TEST(KugooShowRx, FourteenBytesOnTheRawLineTheOldRawLineMovesDown) {
    test::ExpectRxLines(KugooMCodec().ShowRx(test::kLinesRx, test::kLinesRaw, test::kShownRaw),
                        RxLines{"36 01 02 03 04 05 06 0C 0D 0E 2A 0B 0C 0D ", test::kShownRaw, true, 0x0D0E, 0x0C});
}

class KugooPatchTable : public test::CodecPatchTable {};

TEST_P(KugooPatchTable, ChangesExactlyTheListedBytes) { ExpectPatch(KugooMCodec()); }

using test::Edit;
using Row = test::PatchRow;

INSTANTIATE_TEST_SUITE_P(
    Kugoo, KugooPatchTable,
    ::testing::Values(Row{"MaxP", Setting::MaxP, 37, {{13, Edit::Store, 37}}},
                      Row{"MaxPLowByte", Setting::MaxP, 0x1FF, {{13, Edit::Store, 0xFF}}},
                      Row{"Throttle0", Setting::Throttle, 0, {{16, Edit::Store, 0x00}, {17, Edit::Store, 0x00}}},
                      Row{"Throttle255", Setting::Throttle, 255, {{16, Edit::Store, 0x00}, {17, Edit::Store, 0xFF}}},
                      Row{"Throttle256", Setting::Throttle, 256, {{16, Edit::Store, 0x01}, {17, Edit::Store, 0x00}}},
                      Row{"Throttle1100", Setting::Throttle, 1100, {{16, Edit::Store, 0x04}, {17, Edit::Store, 0x4C}}},
                      Row{"MaxV", Setting::MaxV, 100, {{12, Edit::Store, 0x64}}},
                      Row{"ZeroStartOn", Setting::ZeroStart, 1, {{5, Edit::SetBit, 0x40}}},
                      Row{"ZeroStartOff", Setting::ZeroStart, 0, {{5, Edit::ClearBit, 0x40}}},
                      Row{"CruiseOn", Setting::Cruise, 1, {{18, Edit::SetBit, 0x40}}},
                      Row{"CruiseOff", Setting::Cruise, 0, {{18, Edit::ClearBit, 0x40}}},
                      Row{"SoftStartOn", Setting::SoftStart, 1, {{10, Edit::Store, 0x01}}},
                      Row{"SoftStartOff", Setting::SoftStart, 0, {{10, Edit::Store, 0x00}}},
                      Row{"Ebs", Setting::Ebs, 2, {{9, Edit::Store, 0x02}}},
                      Row{"EbsLowByte", Setting::Ebs, 258, {{9, Edit::Store, 0x02}}}),
    test::PatchRowName);

TEST(KugooBuildTemplate, StartValues) {
    const auto text = KugooMCodec().BuildTemplate(test::StartValues(kKugooM));
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, "01 14 01 01 05 00 1E 00 6B 01 01 00 5A 01 02 1C 00 00 0C");
    EXPECT_EQ(text->size(), 56u);
}

TEST(KugooBuildTemplate, ValuesAreWrittenAsTheirLowByte) {
    TemplateSettings kugoo = test::StartValues(kKugooM);
    kugoo.ebs = 7;
    kugoo.softStart = 0x103;
    kugoo.maxV = 0x164;
    kugoo.maxP = -1;
    const OutFrame k = test::Parsed(*KugooMCodec().BuildTemplate(kugoo), kKugooM);
    EXPECT_EQ(k[9], 0x07);
    EXPECT_EQ(k[10], 0x03);
    EXPECT_EQ(k[12], 0x64);
    EXPECT_EQ(k[13], 0xFF);
}

TEST(KugooBuildTemplate, ThrottleIsHighByteFirst) {
    struct ThrottleCase {
        int throttle;
        std::uint8_t high, low;
    };
    for (const ThrottleCase c : {ThrottleCase{0, 0x00, 0x00}, ThrottleCase{255, 0x00, 0xFF},
                                 ThrottleCase{256, 0x01, 0x00}, ThrottleCase{1100, 0x04, 0x4C}}) {
        TemplateSettings s = test::StartValues(kKugooM);
        s.throttle = c.throttle;
        const OutFrame frame = test::Parsed(*KugooMCodec().BuildTemplate(s), kKugooM);
        EXPECT_EQ(frame[16], c.high) << c.throttle;
        EXPECT_EQ(frame[17], c.low) << c.throttle;
    }
}

TEST(KugooBuildTemplate, ZeroStartAndCruiseBytes) {
    TemplateSettings s = test::StartValues(kKugooM);
    s.zeroStart = 1;
    s.cruise = 1;
    const OutFrame frame = test::Parsed(*KugooMCodec().BuildTemplate(s), kKugooM);
    EXPECT_EQ(frame[5], 0x40);
    EXPECT_EQ(frame[18], 0x4C);
}

}  // namespace
}  // namespace protocols
