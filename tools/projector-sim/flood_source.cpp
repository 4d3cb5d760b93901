#include "tools/projector-sim/flood_source.h"

#include <algorithm>

namespace sim {
namespace {
constexpr std::uint64_t kMicrosPerSecond = 1'000'000;
}

FloodSource::FloodSource(std::uint64_t bytesPerSecond, Micros start)
    : rate_(std::max<std::uint64_t>(bytesPerSecond, 1)), start_(start) {}

// Split into whole seconds and the rest so that long runs at high rates do not overflow.
std::uint64_t FloodSource::owedBy(Micros now) const {
    if (now <= start_) return 0;
    const auto elapsed = static_cast<std::uint64_t>((now - start_).count());
    return elapsed / kMicrosPerSecond * rate_ +
           elapsed % kMicrosPerSecond * rate_ / kMicrosPerSecond;
}

std::string FloodSource::take(Micros now) {
    const std::uint64_t owed = owedBy(now);
    // After a stall (no reader, a busy machine) the backlog is dropped rather than sent in a burst
    // that no pseudo-terminal buffer could hold anyway.
    if (owed > taken_ + kMaxBatch) taken_ = owed - kMaxBatch;
    std::string out;
    out.reserve(owed > taken_ ? owed - taken_ : 0);
    for (; taken_ < owed; ++taken_) out += kPattern[taken_ % kPattern.size()];
    return out;
}

void FloodSource::skip(Micros now) {
    taken_ = std::max(taken_, owedBy(now));
}

Micros FloodSource::nextDue() const {
    const std::uint64_t batch = std::max<std::uint64_t>(1, rate_ / 1000);
    const std::uint64_t target = taken_ + batch;
    // The first time at which owedBy() reaches target: ceil(target * 1e6 / rate).
    const std::uint64_t whole = target / rate_ * kMicrosPerSecond;
    const std::uint64_t rest = (target % rate_ * kMicrosPerSecond + rate_ - 1) / rate_;
    return start_ + Micros(static_cast<Micros::rep>(whole + rest));
}

}  // namespace sim
