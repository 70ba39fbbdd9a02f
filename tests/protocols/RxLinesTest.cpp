#include "protocols/RxLines.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "FrameHelpers.h"
#include "protocols/Catalogue.h"

namespace protocols {
namespace {

struct Case {
    const char* name;
    int decoder;
    std::optional<RxLines> expected;
};

class ShowRxLinesTable : public ::testing::TestWithParam<Case> {};

TEST_P(ShowRxLinesTable, ChoosesTheBytesEachLineShows) {
    const Case& c = GetParam();
    test::ExpectRxLines(ShowRxLines(c.decoder, test::kLinesRx, test::kLinesRaw, test::kShownRaw), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Decoders, ShowRxLinesTable,
                         ::testing::Values(
                             // The test decoder shows all 15 received bytes and clears the decoded line.
                             Case{"Test", kTest,
                                  RxLines{"36 01 02 03 04 05 06 0C 0D 0E 2A 0B 0C 0D 0E ", "", false, 0, 0}},
                             // No selection, or a value outside the list: every line keeps its text.
                             Case{"NoSelection", kNoProtocol, std::nullopt}, Case{"Unknown", 7, std::nullopt}),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace protocols
