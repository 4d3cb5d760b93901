// The faults that bend answers on their way out: lateness, splitting and noise, kept as a queue
// of byte chunks each due at a time.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "tools/projector-sim/sim_time.h"

namespace sim {

struct ShapeSettings {
    Micros latency{0};
    bool split = false;
    double noise = 0.0;  // probability, for each answer byte, that a random byte goes before it
};

class ReplyShaper {
public:
    // Distance between the two pieces of a split answer.
    static constexpr Micros kSplitGap = std::chrono::milliseconds(20);

    ReplyShaper(const ShapeSettings& settings, std::uint64_t seed);

    // Queues `answer` for the frame that arrived at `now`.
    void schedule(std::string_view answer, Micros now);
    std::optional<Micros> nextDue() const;
    // Takes the bytes of every chunk due by `now`, in order.
    std::string takeDue(Micros now);

private:
    std::string withNoise(std::string_view answer);
    Micros push(Micros due, std::string bytes);  // returns the due time it got

    struct Chunk {
        Micros due;
        std::string bytes;
    };

    ShapeSettings settings_;
    std::mt19937_64 random_;
    std::deque<Chunk> queue_;
};

}  // namespace sim
