#pragma once

#include <cstddef>
#include <vector>

namespace bench {

// Order statistics of one series of samples.
struct Summary {
    std::size_t count = 0;
    double mean = 0;
    double median = 0;
    double p99 = 0;
    double min = 0;
    double max = 0;
};

// Nearest-rank percentile (0 < p <= 100) of `samples`; 0 for no samples.
double Percentile(std::vector<double> samples, double p);

Summary Summarise(const std::vector<double>& samples);

}  // namespace bench
