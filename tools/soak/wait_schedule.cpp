#include "tools/soak/wait_schedule.h"

namespace panel::soak {

void WaitSchedule::began(std::int64_t at) {
    waiting_ = true;
    marks_.clear();
    marks_.emplace_back(at, steps_(0));
}

void WaitSchedule::tried(std::int64_t at) {
    if (!waiting_) return;
    // Should this try fail, the next step runs from its failure, soon after.
    marks_.emplace_back(at, steps_(static_cast<int>(marks_.size())));
}

std::int64_t WaitSchedule::stepAt(std::int64_t at) const {
    std::int64_t step = steps_(0);
    for (const auto& [from, value] : marks_)
        if (from <= at) step = value;
    return step;
}

std::string WaitSchedule::course(std::int64_t origin) const {
    if (marks_.empty()) return "no wait";
    std::string text;
    for (std::size_t i = 0; i < marks_.size(); ++i)
        text += (i == 0 ? "began at " : ", tried at ") +
                std::to_string((marks_[i].first - origin) / 1000) + " ms";
    return text;
}

}  // namespace panel::soak
