#include "tools/soak/frame_ledger.h"

#include <algorithm>
#include <charconv>

namespace panel::soak {
namespace {

template <typename Int>
bool readInt(std::string_view text, Int& out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

std::string ms(std::int64_t us) {
    return std::to_string(us / 1000) + " ms";
}

}  // namespace

std::optional<LoggedFrame> ParseLogLine(const std::string& line) {
    const std::size_t first = line.find(' ');
    if (first == std::string::npos) return std::nullopt;
    const std::size_t second = line.find(' ', first + 1);
    if (second == std::string::npos) return std::nullopt;
    LoggedFrame logged;
    const std::string_view text(line);
    if (!readInt(text.substr(0, first), logged.at) ||
        !readInt(text.substr(first + 1, second - first - 1), logged.baud))
        return std::nullopt;
    logged.frame = line.substr(second + 1);
    return logged;
}

bool FrameLedger::cutByOutage(const ExpectedFrames& group) const {
    for (const auto& [down, up] : outages_)
        if (group.endAt >= down - kLossMarginUs && group.sentAt <= up) return true;
    return false;
}

int FrameLedger::fewest(std::size_t index) const {
    return cutByOutage(groups_[index]) ? 0 : groups_[index].minCount;
}

std::string FrameLedger::describe(const ExpectedFrames& group) const {
    std::string text = "operation #" + std::to_string(group.op) + "'s \"" + group.frame + "\"";
    if (group.periodUs > 0)
        text += " (" + std::to_string(group.minCount) + " to " + std::to_string(group.maxCount) +
                " frames)";
    if (group.afterReopen) text += ", sent after the panel reopened the line by itself";
    return text;
}

std::string FrameLedger::sentOrNot(std::size_t index, int arrived) const {
    const ExpectedFrames& group = groups_[index];
    const std::string wrote = "the port wrote " + std::to_string(group.written);
    if (group.written < fewest(index)) return wrote + ": never sent";
    return wrote + ": " + std::to_string(std::max(0, group.written - arrived)) + " lost on the way";
}

std::string FrameLedger::take(const LoggedFrame& logged) {
    for (;;) {
        if (cursor_ == groups_.size())
            return "frame \"" + logged.frame + "\" arrived but no operation sent it" +
                   (groups_.empty() ? " (the panel never opened this line)"
                                    : " (after " + describe(groups_.back()) + ")");
        const ExpectedFrames& group = groups_[cursor_];
        bool fits = logged.frame == group.frame && consumed_ < group.maxCount;
        if (fits && consumed_ >= fewest(cursor_) && cursor_ + 1 < groups_.size()) {
            // The same frame again once the next operation has begun is the next operation's.
            const ExpectedFrames& following = groups_[cursor_ + 1];
            if (following.frame == logged.frame && logged.at >= following.sentAt) fits = false;
        }
        if (fits) break;
        if (consumed_ < fewest(cursor_))
            return describe(group) + ": " + std::to_string(consumed_) + " arrived, then \"" +
                   logged.frame + "\" (" + sentOrNot(cursor_, consumed_) + ")";
        ++cursor_;
        consumed_ = 0;
    }
    const ExpectedFrames& group = groups_[cursor_];
    if (group.periodUs > 0 && logged.at - group.endAt > group.periodUs + kReadSlackUs)
        return describe(group) + ": a frame came " + ms(logged.at - group.endAt) +
               " after the release, past one period";
    if (logged.baud != group.baud) {
        const bool changedSince =
            std::any_of(speedChanges_.begin(), speedChanges_.end(),
                        [&](std::int64_t at) { return at >= group.sentAt && at <= logged.at; });
        if (!changedSince)
            return describe(group) + " arrived at " + std::to_string(logged.baud) + " baud; " +
                   std::to_string(group.baud) + " was selected";
        ++readAfterSpeedChange_;
    }
    ++consumed_;
    ++checked_;
    return {};
}

std::string FrameLedger::settle(std::int64_t now, bool complete, std::int64_t patienceUs) {
    for (std::size_t i = cursor_; i < groups_.size(); ++i) {
        const int have = i == cursor_ ? consumed_ : 0;
        const ExpectedFrames& group = groups_[i];
        if (have >= fewest(i)) continue;
        if (complete) {
            if (!cutByOutage(group))
                return describe(group) + ": " + std::to_string(have) +
                       " arrived before the simulator went (" + sentOrNot(i, have) + ")";
            continue;
        }
        if (group.endAt < now - patienceUs)
            return describe(group) + ": " + std::to_string(have) + " arrived in " +
                   ms(now - group.sentAt) + " (" + sentOrNot(i, have) + ")";
        return {};
    }
    if (complete) {
        // Whatever is left was lost with the line: count it once.
        for (std::size_t i = cursor_; i < groups_.size(); ++i) {
            const int have = i == cursor_ ? consumed_ : 0;
            const int missing = std::max(0, groups_[i].minCount - have);
            lost_ += static_cast<std::size_t>(missing);
            lostOnTheWay_ +=
                static_cast<std::size_t>(std::clamp(groups_[i].written - have, 0, missing));
        }
        cursor_ = groups_.size();
        consumed_ = 0;
    }
    forgetSettled();
    return {};
}

void FrameLedger::forgetSettled() {
    // Groups before the cursor are never read again; the last stays, to name what came before an
    // unexpected frame.
    const std::size_t settled = std::min(cursor_, groups_.size() - (groups_.empty() ? 0 : 1));
    groups_.erase(groups_.begin(), groups_.begin() + static_cast<std::ptrdiff_t>(settled));
    cursor_ -= settled;
    if (groups_.empty()) return;
    // Later groups were sent later: speed changes and outages over before the first kept one
    // bear on none of them.
    const std::int64_t oldest = groups_.front().sentAt;
    std::erase_if(speedChanges_, [oldest](std::int64_t at) { return at < oldest; });
    if (outages_.size() > 1)
        outages_.erase(
            std::remove_if(outages_.begin(), outages_.end() - 1,
                           [oldest](const auto& outage) { return outage.second < oldest; }),
            outages_.end() - 1);
}

void FrameLedger::finish(int op, std::int64_t endAt, int minCount, int maxCount) {
    for (auto it = groups_.rbegin(); it != groups_.rend(); ++it) {
        if (it->op != op) continue;
        it->endAt = endAt;
        it->minCount = minCount;
        it->maxCount = maxCount;
        return;
    }
}

bool FrameLedger::wrote(const std::string& frame, std::int64_t at) {
    for (auto it = groups_.rbegin(); it != groups_.rend(); ++it) {
        if (it->frame != frame || it->sentAt > at) continue;
        ++it->written;
        return true;
    }
    return false;
}

bool FrameLedger::caughtUp() const {
    for (std::size_t i = cursor_; i < groups_.size(); ++i)
        if ((i == cursor_ ? consumed_ : 0) < fewest(i)) return false;
    return true;
}

}  // namespace panel::soak
