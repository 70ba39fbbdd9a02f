#pragma once

#include <chrono>

namespace bench {

// Every time in the benchmarks is on the monotonic clock, which all
// processes of the machine share.
using Clock = std::chrono::steady_clock;

inline double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace bench
