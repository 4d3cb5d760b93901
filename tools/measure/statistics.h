// Median, 99th percentile and extremes of a set of samples.
#pragma once

#include <cstddef>
#include <vector>

namespace panel::measure {

struct Summary {
    std::size_t count = 0;
    double median = 0;
    double p99 = 0;  // nearest rank
    double min = 0;
    double max = 0;
};

Summary Summarize(std::vector<double> samples);

}  // namespace panel::measure
