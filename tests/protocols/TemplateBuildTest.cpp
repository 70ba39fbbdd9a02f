#include "protocols/Template.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "FrameHelpers.h"
#include "protocols/Catalogue.h"

namespace protocols {
namespace {

TEST(BuildTemplate, OtherDecodersLeaveTheTextAlone) {
    for (const int decoder : std::initializer_list<int>{kNoProtocol, kTest, 3, 100}) {
        EXPECT_FALSE(BuildTemplate(test::StartValues(decoder)).has_value()) << decoder;
    }
}

TEST(BuildTemplate, GeneratedTextsAreTwoDigitValuesAndNeverShorterThanThirty) {
    const std::regex kForm("[0-9A-F]{2}( [0-9A-F]{2})*");
    for (const int decoder : {kHaltenRs, kKugooM}) {
        for (int gear = 0; gear < 8; ++gear) {
            for (const int flags : {0, 1}) {
                TemplateSettings s{decoder, gear, flags, flags, flags, 2 * flags, 100, 100, 1100 * flags};
                const std::string text = *BuildTemplate(s);
                EXPECT_TRUE(std::regex_match(text, kForm)) << text;
                EXPECT_EQ(text.size(), Protocol(decoder).templateValueCount * 3 - 1) << text;
                EXPECT_GE(text.size(), 30u);
            }
        }
    }
}

}  // namespace
}  // namespace protocols
