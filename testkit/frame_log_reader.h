// The simulator's --log read back: each frame it received, with when its last byte came in.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace panel::test {

struct LoggedFrame {
    std::int64_t micros = 0;  // CLOCK_MONOTONIC
    std::string frame;        // without its CR, as the log escapes it
};

class FrameLogReader {
public:
    explicit FrameLogReader(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    // Every complete line written so far.
    std::vector<LoggedFrame> frames() const;
    std::size_t count(std::string_view frame) const;
    // The times of every `frame`, in order.
    std::vector<std::int64_t> times(std::string_view frame) const;

private:
    std::string path_;
};

}  // namespace panel::test
