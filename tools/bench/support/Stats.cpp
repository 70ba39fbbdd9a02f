#include "tools/bench/support/Stats.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace bench {

double Percentile(std::vector<double> samples, double p) {
    if (samples.empty()) return 0;
    std::sort(samples.begin(), samples.end());
    const double rank = std::ceil(p / 100.0 * static_cast<double>(samples.size()));
    const std::size_t index = rank < 1 ? 0 : static_cast<std::size_t>(rank) - 1;
    return samples[std::min(index, samples.size() - 1)];
}

Summary Summarise(const std::vector<double>& samples) {
    Summary s;
    s.count = samples.size();
    if (samples.empty()) return s;
    s.mean = std::accumulate(samples.begin(), samples.end(), 0.0) / static_cast<double>(samples.size());
    s.median = Percentile(samples, 50);
    s.p99 = Percentile(samples, 99);
    const auto [lo, hi] = std::minmax_element(samples.begin(), samples.end());
    s.min = *lo;
    s.max = *hi;
    return s;
}

}  // namespace bench
