#include "service/failure_throttle.h"

#include <algorithm>
#include <vector>

namespace panel {

FailureThrottle::FailureThrottle(std::function<Clock::time_point()> now) : now_(std::move(now)) {}

bool FailureThrottle::blocked(const QHostAddress& address) {
    const auto found = addresses_.constFind(address);
    return found != addresses_.constEnd() && now_() < found->blockedUntil;
}

void FailureThrottle::failed(const QHostAddress& address) {
    const Clock::time_point now = now_();
    if (addresses_.size() >= kAddresses && !addresses_.contains(address)) prune(now);
    Record& record = addresses_[address];
    while (!record.failures.empty() && now - record.failures.front() >= kWindow)
        record.failures.pop_front();
    record.failures.push_back(now);
    if (static_cast<int>(record.failures.size()) >= kFailures) {
        record.blockedUntil = now + kPenalty;
        record.failures.clear();
    }
}

void FailureThrottle::prune(Clock::time_point now) {
    // First whatever neither blocks nor counts any more.
    addresses_.removeIf([&](const auto& entry) {
        const Record& r = entry.value();
        return now >= r.blockedUntil && (r.failures.empty() || now - r.failures.back() >= kWindow);
    });
    if (addresses_.size() < kAddresses) return;
    // Still full: the quarter that failed longest ago goes, so that a flood prunes once in a
    // quarter of the table's size, not at every new address.
    std::vector<std::pair<Clock::time_point, QHostAddress>> last;
    last.reserve(static_cast<std::size_t>(addresses_.size()));
    for (auto it = addresses_.cbegin(); it != addresses_.cend(); ++it)
        last.emplace_back(it->failures.empty() ? it->blockedUntil - kPenalty : it->failures.back(),
                          it.key());
    const auto quarter = last.begin() + static_cast<std::ptrdiff_t>(last.size() / 4);
    std::nth_element(last.begin(), quarter, last.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto it = last.begin(); it != quarter; ++it) addresses_.remove(it->second);
}

}  // namespace panel
