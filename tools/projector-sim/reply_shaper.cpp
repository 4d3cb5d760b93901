#include "tools/projector-sim/reply_shaper.h"

#include <algorithm>

namespace sim {

ReplyShaper::ReplyShaper(const ShapeSettings& settings, std::uint64_t seed)
    : settings_(settings), random_(seed) {}

std::string ReplyShaper::withNoise(std::string_view answer) {
    if (settings_.noise <= 0.0) return std::string(answer);
    std::string out;
    for (const char c : answer) {
        // Drawn by hand rather than through <random> distributions, whose output differs between
        // standard libraries: a seed must give the same bytes everywhere.
        const double draw = static_cast<double>(random_() >> 11) * 0x1.0p-53;
        if (draw < settings_.noise) out += static_cast<char>(random_() & 0xff);
        out += c;
    }
    return out;
}

Micros ReplyShaper::push(Micros due, std::string bytes) {
    // A later answer never overtakes an earlier one, not even the tail of a split answer.
    if (!queue_.empty()) due = std::max(due, queue_.back().due);
    queue_.push_back({due, std::move(bytes)});
    return due;
}

void ReplyShaper::schedule(std::string_view answer, Micros now) {
    std::string bytes = withNoise(answer);
    if (bytes.empty()) return;
    const Micros due = now + settings_.latency;
    if (!settings_.split || bytes.size() < 2) {
        push(due, std::move(bytes));
        return;
    }
    const auto half = bytes.size() / 2;
    const Micros first = push(due, bytes.substr(0, half));
    push(first + kSplitGap, bytes.substr(half));
}

std::optional<Micros> ReplyShaper::nextDue() const {
    if (queue_.empty()) return std::nullopt;
    return queue_.front().due;
}

std::string ReplyShaper::takeDue(Micros now) {
    std::string out;
    while (!queue_.empty() && queue_.front().due <= now) {
        out += queue_.front().bytes;
        queue_.pop_front();
    }
    return out;
}

}  // namespace sim
