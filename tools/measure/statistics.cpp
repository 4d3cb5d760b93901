#include "tools/measure/statistics.h"

#include <algorithm>
#include <cmath>

namespace panel::measure {
namespace {

// The smallest sample with at least `share` of all samples at or below it.
double nearestRank(const std::vector<double>& sorted, double share) {
    const auto rank =
        static_cast<std::size_t>(std::ceil(share * static_cast<double>(sorted.size())));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

}  // namespace

Summary Summarize(std::vector<double> samples) {
    Summary summary;
    summary.count = samples.size();
    if (samples.empty()) return summary;
    std::sort(samples.begin(), samples.end());
    const std::size_t middle = samples.size() / 2;
    summary.median =
        samples.size() % 2 == 1 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
    summary.p99 = nearestRank(samples, 0.99);
    summary.min = samples.front();
    summary.max = samples.back();
    return summary;
}

}  // namespace panel::measure
