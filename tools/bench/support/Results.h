#pragma once

#include <string>

namespace bench {

enum class Verdict { Met, Missed, Info };

// One line of the results table. Every benchmark prints its figures as
// tab-separated "RESULT" lines that scripts/bench gathers into one table;
// anything else a benchmark prints is commentary for the log.
struct ResultRow {
    std::string bench;
    std::string metric;
    std::string median;
    std::string p99;
    std::string unit;
    std::string target;
    Verdict verdict = Verdict::Info;
    std::string note;
};

void PrintResult(const ResultRow& row);

// `value` with `decimals` digits after the point.
std::string Fixed(double value, int decimals);

// Met when `ok`, Missed otherwise.
inline Verdict VerdictOf(bool ok) { return ok ? Verdict::Met : Verdict::Missed; }

}  // namespace bench
