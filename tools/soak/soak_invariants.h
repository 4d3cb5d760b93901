// The invariants the soak checks as it goes, from the simulators' frame logs and the window's own
// state: every frame arrives, an outage of the open line is told once and in time and never while
// the line serves, a line that is back is reopened by the panel in time, and the open port is the
// one selected at the speed selected.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string>

namespace panel {
class SerialPort;
}

namespace panel::soak {

struct SoakWorld;

class SoakInvariants {
public:
    // When the lost line is back, the panel must have opened it again by `by`.
    struct ReturnDue {
        std::int64_t from = 0;
        std::int64_t stepUs = 0;  // the watcher's step in force then (0 for a local line)
        std::int64_t by = 0;
    };

    // A frame overdue by this long is missing; a told outage must come within it too.
    static constexpr std::int64_t kPatienceUs = 10'000'000;

    explicit SoakInvariants(SoakWorld& world) : world_(world) {}

    // The frame logs, the outage of the open line and its tell, the lost line's return.
    void periodicCheck();
    // The port as the operator left it after an operation: `baud` is the line's speed.
    void checkWindowState(const SerialPort& port, int baud);
    // The panel told the operator of a port problem.
    void told(const QString& text);
    // The port was opened or reopened onto a line: its outage is yet to be seen.
    void lineBound() { boundDownSeen_.reset(); }
    // While the panel waits for its lost line and the line is back: by when it must reopen.
    std::optional<ReturnDue> returnDue() const;

private:
    struct PendingTell {
        int line;
        int id;
        std::int64_t at;
        std::string text;
    };

    void checkTold(std::int64_t now);
    void checkFalseAlarm(std::int64_t now);
    void checkReturn(std::int64_t now);

    SoakWorld& world_;
    std::optional<PendingTell> unexplainedTell_;
    std::optional<std::int64_t> boundDownSeen_;  // when the open line was seen down
};

}  // namespace panel::soak
