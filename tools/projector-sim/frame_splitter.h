// Cuts the received byte stream into frames: the bytes up to each CR, however the reads fall.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

class FrameSplitter {
public:
    // A frame is cut to this length; a line that never ends must not grow without bound.
    static constexpr std::size_t kMaxFrame = 4096;

    // Appends each frame that `bytes` completes to `frames`, without its CR.
    void feed(std::string_view bytes, std::vector<std::string>& frames);

    // Bytes of an unfinished frame held for the next read.
    std::size_t pending() const { return partial_.size(); }

private:
    std::string partial_;
};

}  // namespace sim
