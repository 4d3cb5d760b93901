#include "tools/soak/lateness_probe.h"

#include <algorithm>
#include <cmath>

#include "core/monotonic.h"

namespace panel::soak {
LatenessProbe::LatenessProbe() {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(kPeriodMs);
    connect(&timer_, &QTimer::timeout, this, &LatenessProbe::tick);
    timer_.start();
}

void LatenessProbe::tick() {
    const std::int64_t now = MonotonicMicros();
    if (last_ != 0) {
        const double late = std::max(0.0, static_cast<double>(now - last_) / 1000.0 - kPeriodMs);
        const auto bin = std::min(kBins - 1, static_cast<std::size_t>(late / kBinMs));
        ++histogram_[bin];
        ++samples_;
        maxMs_ = std::max(maxMs_, late);
    }
    last_ = now;
}

double LatenessProbe::percentile(double fraction) const {
    if (samples_ == 0) return 0;
    // Nearest rank.
    const auto rank =
        static_cast<std::uint64_t>(std::ceil(fraction * static_cast<double>(samples_)));
    std::uint64_t seen = 0;
    for (std::size_t bin = 0; bin < kBins; ++bin) {
        seen += histogram_[bin];
        if (seen >= std::max<std::uint64_t>(rank, 1))
            return std::min(maxMs_, static_cast<double>(bin + 1) * kBinMs);
    }
    return maxMs_;
}

}  // namespace panel::soak
