// The line watcher's schedule as the soak sees it from outside: when the wait for a lost network
// line began and when each try came, hence the back-off step in force at any moment. A line that
// returns while a step runs is tried at its end; one that returns during a try is tried once more
// after the next step, should that try fail.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace panel::soak {

class WaitSchedule {
public:
    // The wait before try `attempt` (0 is the first), in µs: the watcher's own steps.
    using Steps = std::function<std::int64_t(int attempt)>;

    explicit WaitSchedule(Steps steps) : steps_(std::move(steps)) {}

    // A wait began at `at`: a new one starts its steps from the first.
    void began(std::int64_t at);
    void tried(std::int64_t at);
    // The course stays readable until the next wait: the panel ends a wait before it tells of
    // the reopen that ended it.
    void ended() { waiting_ = false; }

    bool waiting() const { return waiting_; }
    // When the last wait began; 0 before any.
    std::int64_t beganAt() const { return marks_.empty() ? 0 : marks_.front().first; }
    // The step in force at `at` (the first before the wait began).
    std::int64_t stepAt(std::int64_t at) const;
    // "began at -120 ms, tried at 880 ms": the wait's course in ms from `origin`, for a report.
    std::string course(std::int64_t origin) const;

private:
    Steps steps_;
    bool waiting_ = false;
    std::vector<std::pair<std::int64_t, std::int64_t>> marks_;  // from when, which step
};

}  // namespace panel::soak
