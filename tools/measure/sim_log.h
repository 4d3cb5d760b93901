// projector-sim's --log read back: the time each frame's last byte came in, frame by frame.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace panel::measure {

class SimLog {
public:
    explicit SimLog(std::string path) : path_(std::move(path)) {}

    // CLOCK_MONOTONIC microseconds of every logged `frame` (without its CR), in order.
    std::vector<std::int64_t> times(std::string_view frame) const;
    std::size_t count(std::string_view frame) const { return times(frame).size(); }

private:
    std::string path_;
};

}  // namespace panel::measure
