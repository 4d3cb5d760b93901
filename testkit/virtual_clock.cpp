#include "testkit/virtual_clock.h"

#include <algorithm>

namespace panel::test {

void FakeTimer::arm() {
    // A zero interval would fire forever at one instant; a real event loop would still move on.
    due_ = clock_.now_ + std::max(interval_, std::chrono::milliseconds{1});
    order_ = clock_.nextOrder_++;
}

void FakeTimer::setInterval(std::chrono::milliseconds interval) {
    interval_ = interval;
    if (enabled_) arm();
}

void FakeTimer::setEnabled(bool enabled) {
    if (enabled) arm();
    enabled_ = enabled;
}

FakeTimer& VirtualClock::makeTimer(std::string name) {
    return timers_.emplace_back(*this, std::move(name));
}

void VirtualClock::advance(std::chrono::milliseconds duration) {
    const std::chrono::milliseconds end = now_ + duration;
    for (;;) {
        FakeTimer* next = nullptr;
        for (auto& t : timers_) {
            if (!t.enabled_ || t.due_ > end) continue;
            if (!next || t.due_ < next->due_ || (t.due_ == next->due_ && t.order_ < next->order_))
                next = &t;
        }
        if (!next) break;
        now_ = next->due_;
        next->arm();  // periodic: the next count begins at this tick
        ++next->ticks_;
        if (observer_) observer_(*next);
        if (next->handler_) next->handler_();
    }
    now_ = end;
}

}  // namespace panel::test
