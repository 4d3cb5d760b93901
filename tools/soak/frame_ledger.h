// What one simulator incarnation should have received, checked against what its frame log says it
// did receive: every frame once, in order, at the selected speed, none after a release's period.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace panel::soak {

// The frames one operation sent: a click's one frame, or a hold's 1 + n.
struct ExpectedFrames {
    std::string frame;  // escaped as the simulator logs it
    int baud = 19200;
    std::int64_t sentAt = 0;  // µs on CLOCK_MONOTONIC, just before the operation
    std::int64_t endAt = 0;   // a click: sentAt; a hold: its release
    int minCount = 1;
    int maxCount = 1;
    std::int64_t periodUs = 0;  // a hold's repeat period; 0 for a click
    int op = 0;                 // the operation's number, for the report
    bool afterReopen = false;   // sent after the panel reopened the line by itself
    int written = 0;            // frames the port itself wrote for it
};

struct LoggedFrame {
    std::int64_t at = 0;  // when the simulator read its last byte
    int baud = 0;
    std::string frame;
};

// A simulator's log line "<µs> <baud> <frame>"; nothing for a malformed line.
std::optional<LoggedFrame> ParseLogLine(const std::string& line);

class FrameLedger {
public:
    // A frame may be read this long after its hold's release and still count as sent before it:
    // the simulator, too, waits for a core on a busy machine.
    static constexpr std::int64_t kReadSlackUs = 500'000;
    // Frames sent this long before the line went down may be lost with it.
    static constexpr std::int64_t kLossMarginUs = 1'000'000;

    void expect(ExpectedFrames frames) { groups_.push_back(std::move(frames)); }
    // A hold is expected from its press on, open-ended (its frames come while it is held), and
    // given its bounds at the release.
    void finish(int op, std::int64_t endAt, int minCount, int maxCount);
    // The port wrote `frame` at `at`: it counts for the newest operation that sends it. False
    // when none does.
    bool wrote(const std::string& frame, std::int64_t at);
    // The line's speed changed, or the client closed it: a frame read after this may carry the
    // new speed although it was sent before.
    void speedChanged(std::int64_t at) { speedChanges_.push_back(at); }
    // The path to the simulator broke at `at` (the simulator went, or the device server in
    // front of it); lineUp() when it serves again through the same simulator.
    void lineDown(std::int64_t at) {
        if (outages_.empty() || outages_.back().second != kOpen) outages_.push_back({at, kOpen});
    }
    void lineUp(std::int64_t at) {
        if (!outages_.empty() && outages_.back().second == kOpen) outages_.back().second = at;
    }

    // Checks one logged frame; returns the broken rule, or an empty string.
    std::string take(const LoggedFrame& logged);
    // After every logged frame has been taken: a frame overdue by `patienceUs` is missing; once
    // the log is `complete` (the simulator has gone), every frame not lost with the line is.
    std::string settle(std::int64_t now, bool complete, std::int64_t patienceUs);

    // Every operation's frames have arrived (a hold's at least its fewest).
    bool caughtUp() const;
    // What the ledger holds: operations, speed changes and outages. Only what may still be read
    // is kept, so a line that serves all day costs no more than one that serves a minute.
    std::size_t retained() const { return groups_.size() + speedChanges_.size() + outages_.size(); }
    std::size_t checked() const { return checked_; }
    std::size_t lost() const { return lost_; }
    // Of the frames lost with the line: those the port wrote, and those it never wrote.
    std::size_t lostOnTheWay() const { return lostOnTheWay_; }
    std::size_t lostUnwritten() const { return lost_ - lostOnTheWay_; }
    std::size_t readAfterSpeedChange() const { return readAfterSpeedChange_; }

private:
    bool cutByOutage(const ExpectedFrames& group) const;
    int fewest(std::size_t index) const;
    std::string describe(const ExpectedFrames& group) const;
    // Whether the port wrote the frames that did not arrive.
    std::string sentOrNot(std::size_t index, int arrived) const;
    void forgetSettled();

    std::vector<ExpectedFrames> groups_;
    std::size_t cursor_ = 0;
    int consumed_ = 0;  // frames of groups_[cursor_] taken so far
    std::vector<std::int64_t> speedChanges_;
    static constexpr std::int64_t kOpen = INT64_MAX;
    std::vector<std::pair<std::int64_t, std::int64_t>> outages_;  // down, up again
    std::size_t checked_ = 0;
    std::size_t lost_ = 0;
    std::size_t lostOnTheWay_ = 0;
    std::size_t readAfterSpeedChange_ = 0;
};

}  // namespace panel::soak
