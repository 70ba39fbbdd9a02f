#include "protocols/WallTime.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace protocols {
namespace {

struct BetweenCase {
    const char* name;
    WallTime a, b;
    std::int64_t ms;
};

class MillisecondsBetweenTable : public ::testing::TestWithParam<BetweenCase> {};

TEST_P(MillisecondsBetweenTable, CountsCalendarDays) {
    const BetweenCase& c = GetParam();
    EXPECT_EQ(MillisecondsBetween(c.a, c.b), c.ms);
    EXPECT_EQ(MillisecondsBetween(c.b, c.a), -c.ms);
}

constexpr std::int64_t kDay = 86'400'000;

INSTANTIATE_TEST_SUITE_P(
    Times, MillisecondsBetweenTable,
    ::testing::Values(BetweenCase{"OverMidnight", {2026, 12, 9, 23, 59, 59, 900}, {2026, 12, 10, 0, 0, 0, 60}, 160},
                      BetweenCase{"OverTheYearEnd", {2026, 12, 31, 23, 59, 59, 999}, {2027, 1, 1, 0, 0, 0, 0}, 1},
                      BetweenCase{"OverALeapDay", {2024, 2, 28, 12, 0, 0, 0}, {2024, 3, 1, 12, 0, 0, 0}, 2 * kDay},
                      BetweenCase{"Year2100IsNot", {2100, 1, 1, 0, 0, 0, 0}, {2101, 1, 1, 0, 0, 0, 0}, 365 * kDay}),
    [](const ::testing::TestParamInfo<BetweenCase>& info) { return std::string(info.param.name); });

// Against the standard library's calendar, day by day over four centuries.
TEST(WallTime, DaysAgreeWithTheStandardCalendar) {
    using namespace std::chrono;
    const WallTime origin{1970, 1, 1, 0, 0, 0, 0};
    for (sys_days day = sys_days{year{1900} / 1 / 1}; day < sys_days{year{2300} / 1 / 1}; day += days{1}) {
        const year_month_day ymd{day};
        const WallTime t{static_cast<int>(ymd.year()),
                         static_cast<int>(static_cast<unsigned>(ymd.month())),
                         static_cast<int>(static_cast<unsigned>(ymd.day())),
                         0,
                         0,
                         0,
                         0};
        ASSERT_TRUE(IsValidWallTime(t)) << IsoTimeText(t);
        ASSERT_EQ(MillisecondsBetween(origin, t), day.time_since_epoch().count() * kDay) << IsoTimeText(t);
        // And back, from a time of day on either side of the date.
        const WallTime late{t.year, t.month, t.day, 23, 59, 59, 999};
        ASSERT_EQ(WallTimeAfter(origin, MillisecondsBetween(origin, late)), late) << IsoTimeText(late);
        ASSERT_EQ(WallTimeAfter(late, -MillisecondsBetween(origin, late)), origin) << IsoTimeText(late);
        ASSERT_EQ(DaysInMonth(t.year, t.month),
                  static_cast<int>(static_cast<unsigned>(year_month_day_last{ymd.year() / ymd.month() / last}.day())));
    }
}

TEST(WallTime, IsoText) {
    EXPECT_EQ(IsoTimeText({2026, 12, 9, 16, 37, 28, 123}), "2026-12-09T16:37:28.123");
    EXPECT_EQ(IsoTimeText({987, 1, 2, 3, 4, 5, 6}), "0987-01-02T03:04:05.006");
}

}  // namespace
}  // namespace protocols
