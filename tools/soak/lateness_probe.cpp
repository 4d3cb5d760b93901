#include "tools/soak/lateness_probe.h"

#include <algorithm>
#include <cmath>

#include "tools/soak/monotonic.h"

namespace panel::soak {
namespace {
// Longer than the longest hold (2 s) and its read slack.
constexpr std::int64_t kRecentUs = 4'000'000;
}  // namespace

LatenessProbe::LatenessProbe() {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(kPeriodMs);
    connect(&timer_, &QTimer::timeout, this, &LatenessProbe::tick);
    timer_.start();
}

void LatenessProbe::tick() {
    const std::int64_t now = NowMicros();
    if (last_ != 0) {
        const double late = std::max(0.0, static_cast<double>(now - last_) / 1000.0 - kPeriodMs);
        const auto bin = std::min(kBins - 1, static_cast<std::size_t>(late / kBinMs));
        ++histogram_[bin];
        ++samples_;
        maxMs_ = std::max(maxMs_, late);
        recent_.push_back({now, static_cast<float>(late)});
        while (!recent_.empty() && recent_.front().at < now - kRecentUs) recent_.pop_front();
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

int LatenessProbe::periodsLost(std::int64_t from, std::int64_t to, double periodMs) const {
    int lost = 0;
    for (const Tick& tick : recent_)
        if (tick.at >= from && tick.at <= to)
            lost += static_cast<int>(std::floor(static_cast<double>(tick.lateMs) / periodMs));
    return lost;
}

}  // namespace panel::soak
