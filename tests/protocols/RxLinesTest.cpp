#include "protocols/RxLines.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>

#include "protocols/Catalogue.h"

namespace protocols {
namespace {

// A decoded frame with recognisable values: Halten RS V/T in bytes 7-8
// (0x0C0D) and P in byte 10 (0x2A); Kugoo M P in byte 7 (0x0C) and V/T in
// bytes 8-9 (0x0D0E).
constexpr std::array<std::uint8_t, 15> kRx{0x36, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x0C,
                                           0x0D, 0x0E, 0x2A, 0x0B, 0x0C, 0x0D, 0x0E};
constexpr std::array<std::uint8_t, 15> kRaw{0x36, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17,
                                            0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E};
constexpr const char* kShownRaw = "AA BB ";

struct Case {
    const char* name;
    int decoder;
    std::optional<RxLines> expected;
};

class ShowRxLinesTable : public ::testing::TestWithParam<Case> {};

TEST_P(ShowRxLinesTable, ChoosesTheBytesEachLineShows) {
    const Case& c = GetParam();
    const auto lines = ShowRxLines(c.decoder, kRx, kRaw, kShownRaw);
    ASSERT_EQ(lines.has_value(), c.expected.has_value());
    if (!lines) return;
    EXPECT_EQ(lines->raw, c.expected->raw);
    EXPECT_EQ(lines->decoded, c.expected->decoded);
    EXPECT_EQ(lines->hasValues, c.expected->hasValues);
    if (lines->hasValues) {
        EXPECT_EQ(lines->vt, c.expected->vt);
        EXPECT_EQ(lines->p, c.expected->p);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Decoders, ShowRxLinesTable,
    ::testing::Values(
        // The test decoder shows all 15 received bytes and clears the decoded line.
        Case{"Test", kTest, RxLines{"36 01 02 03 04 05 06 0C 0D 0E 2A 0B 0C 0D 0E ", "", false, 0, 0}},
        // Halten RS: the raw line shows the bytes as they came, the decoded
        // line the descrambled ones without the closing XOR byte.
        Case{"HaltenRs", kHaltenRs,
             RxLines{"36 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E ", "36 01 02 03 04 05 06 0C 0D 0E 2A 0B 0C 0D ",
                     true, 0x0C0D, 0x2A}},
        // Kugoo M: its 14 bytes on the raw line, the line shown before moves down.
        Case{"KugooM", kKugooM, RxLines{"36 01 02 03 04 05 06 0C 0D 0E 2A 0B 0C 0D ", kShownRaw, true, 0x0D0E, 0x0C}},
        // No selection, or a value outside the list: every line keeps its text.
        Case{"NoSelection", kNoProtocol, std::nullopt}, Case{"Unknown", 7, std::nullopt}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace protocols
