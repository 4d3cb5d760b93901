#include "tools/soak/wait_schedule.h"

namespace panel::soak {

void WaitSchedule::began(std::int64_t at) {
    marks_.clear();
    marks_.emplace_back(at, steps_(0));
}

void WaitSchedule::tried(std::int64_t at) {
    if (marks_.empty()) return;
    // Should this try fail, the next step runs from its failure, soon after.
    marks_.emplace_back(at, steps_(static_cast<int>(marks_.size())));
}

std::int64_t WaitSchedule::stepAt(std::int64_t at) const {
    std::int64_t step = steps_(0);
    for (const auto& [from, value] : marks_)
        if (from <= at) step = value;
    return step;
}

}  // namespace panel::soak
