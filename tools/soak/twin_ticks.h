// The ticks of a twin of the panel's repeat timer, run in the same event loop during a hold, and
// the fewest frames they promise. Qt fires an overdue timer once and, when its next period has
// passed too, starts it again a period from then: each timer on its own, so after a stall the twin
// and the panel's timer may fall out of step, one having dropped a tick the other kept. A twin tick
// that came over half a period late marks such a stall.
#pragma once

#include <algorithm>
#include <cstdint>

namespace panel::soak {

class TwinTicks {
public:
    TwinTicks(std::int64_t startedAt, std::int64_t periodUs)
        : last_(startedAt), periodUs_(periodUs) {}

    void tick(std::int64_t at) {
        ++count_;
        if (2 * (at - last_) > 3 * periodUs_) ++late_;
        last_ = at;
    }

    int count() const { return count_; }
    int late() const { return late_; }
    // The press sends one frame and each tick of the panel's timer one more; that timer may have
    // lost a tick the twin kept at every stall.
    int fewestFrames() const { return std::max(1, count_ - late_); }

private:
    std::int64_t last_;
    std::int64_t periodUs_;
    int count_ = 0;
    int late_ = 0;
};

}  // namespace panel::soak
