#include "tools/bench/support/Results.h"

#include <cstdio>

namespace bench {

namespace {

const char* VerdictText(Verdict v) {
    switch (v) {
        case Verdict::Met:
            return "met";
        case Verdict::Missed:
            return "MISSED";
        case Verdict::Info:
            break;
    }
    return "-";
}

}  // namespace

void PrintResult(const ResultRow& r) {
    std::printf("RESULT\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n", r.bench.c_str(), r.metric.c_str(), r.median.c_str(),
                r.p99.c_str(), r.unit.c_str(), r.target.c_str(), VerdictText(r.verdict), r.note.c_str());
    std::fflush(stdout);
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

}  // namespace bench
