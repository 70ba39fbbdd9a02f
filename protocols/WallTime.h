#pragma once

#include <cstdint>
#include <string>

namespace protocols {

// A local calendar time to the millisecond, as the session log records it.
struct WallTime {
    int year, month, day, hour, minute, second, millisecond;

    bool operator==(const WallTime&) const = default;
};

// True for a date that exists in the Gregorian calendar (years 0 to 9999)
// and a time of day from 00:00:00.000 to 23:59:59.999.
[[nodiscard]] bool IsValidWallTime(const WallTime& t);

// Days in the month, leap years included; 0 for a month outside 1..12.
[[nodiscard]] int DaysInMonth(int year, int month);

// ms from a to b (b - a), calendar-correct, for replaying a session at its
// recorded pace. Both must be valid.
[[nodiscard]] std::int64_t MillisecondsBetween(const WallTime& a, const WallTime& b);

// The wall time `ms` after `base` (calendar-correct across midnight, month
// and year ends), for times counted on a monotonic clock from a known
// wall time.
[[nodiscard]] WallTime WallTimeAfter(const WallTime& base, std::int64_t ms);

// "2026-12-09T16:37:28.123": ISO 8601 local time with milliseconds.
[[nodiscard]] std::string IsoTimeText(const WallTime& t);

}  // namespace protocols
