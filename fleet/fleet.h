// The fleet: the named projectors of the projectors file, each polled on its own line for its
// status, input and lamp hours, side by side, and sent power commands. The window only shows it.
#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "fleet/projector_exchange.h"
#include "fleet/projectors_file.h"

namespace panel {

enum class Reading { NotYet, Answered, NoAnswer, InUse, PortFailed };
enum class PowerPhase { Steady, WarmingUp, CoolingDown };
enum class PowerCommand { On, Off };

struct ProjectorRow {
    Projector projector;
    Reading reading = Reading::NotYet;
    // From the last poll that answered: the decoders' words, or why a query has none.
    QString status;
    QString input;
    std::optional<int> lampHours;
    QString lampNote;  // why there are no lamp hours to show
    QDateTime lastAnswered;
    QString reason;  // why the last poll got no answer
    QString note;    // what the last power command did, or why none was sent
    bool busy = false;
    // In use since right after a poll that lost the line: the device server may hold our own
    // connection from that poll.
    bool heldSinceLoss = false;
};

// Warming up or cooling down, read from the status decoder's words.
PowerPhase phaseOf(const QString& status);

inline constexpr std::chrono::seconds kDefaultPoll{60};

// What a command from outside the fleet's polls brings along.
struct CommandHooks {
    std::shared_ptr<SessionObserver> observer;  // sees the line's events (a session log)
    // Called once: with the exchange's end, or with none when the command was not sent (a
    // power command refused in warm-up or cool-down, whose note says why, or a projector taken
    // out of the list before its turn came).
    std::function<void(const ExchangeResult*)> done;
};

class Fleet final {
public:
    // What a line held, and a device server's refusal, come within a few milliseconds of the
    // connection (6 ms and half a millisecond from ser2net on loopback): the fleet's first code
    // listens this long for both at once, where the window and the shell give each its own wait.
    static constexpr std::chrono::milliseconds kQuietBeforeFirstCode{25};

    explicit Fleet(std::vector<Projector> projectors = {});
    ~Fleet();
    Fleet(const Fleet&) = delete;
    Fleet& operator=(const Fleet&) = delete;

    // Rows of the names still there keep what they showed; the order is the new list's.
    void setProjectors(std::vector<Projector> projectors);
    const std::vector<ProjectorRow>& rows() const { return rows_; }
    int rowOf(const QString& name) const;
    // Commands given for the row's line and not yet begun.
    std::size_t waiting(int row) const;

    void setPollInterval(std::chrono::seconds interval);
    std::chrono::seconds pollInterval() const { return interval_; }
    // Polls now, then every interval.
    void startPolling();
    void pollNow();

    // To the given rows only. A projector warming up or cooling down is sent nothing; its note
    // says why. A command waits for a poll in progress on the same line.
    void power(const std::vector<int>& rows, PowerCommand command, const CommandHooks& hooks = {});
    // Sends `codes` on the row's line when it is free: after a poll in progress, never beside it.
    void send(int row, std::vector<std::string> codes, CommandHooks hooks);

    std::function<void(int row)> rowChanged;
    // Around a change of the list: the rows are still the old ones in the first.
    std::function<void()> listAboutToChange;
    std::function<void()> listChanged;
    std::function<void(std::chrono::milliseconds wall)> cycleFinished;
    // Who hears the sessions of a projector's polls and commands (a log), or nullptr; what it
    // returns must outlive the fleet's exchanges.
    std::function<SessionObserver*(const Projector&)> observerFor;

private:
    struct Line;
    struct Job;
    // The lines one pollNow() started; it ends when the last of them has finished.
    struct Cycle {
        int id = 0;
        int left = 0;
        QElapsedTimer wall;
    };
    void queueStart(std::size_t index);
    void startQueued();
    void startJob(std::size_t index);
    void jobEnded(std::size_t index, const ExchangeResult& result);
    void pollEnded(ProjectorRow& row, const ExchangeResult& result);
    void powerEnded(ProjectorRow& row, PowerCommand command, const ExchangeResult& result);
    static void dropJobs(Line& line, std::vector<std::function<void(const ExchangeResult*)>>& out);
    void changed(std::size_t index);
    void lineFinishedCycle(int id);

    std::vector<ProjectorRow> rows_;
    std::vector<std::unique_ptr<Line>> lines_;  // one per row
    std::chrono::seconds interval_ = kDefaultPoll;
    QTimer timer_;
    // Lines whose job waits its turn to start: opening a hundred ports, and creating what drives
    // each, in one go kept the window from its events for tens of milliseconds; a few lines a
    // pass of the event loop keep it served.
    std::deque<Line*> starts_;
    QTimer starter_;
    // The observers of ended_'s commands, declared first so that they outlive them.
    std::vector<std::shared_ptr<SessionObserver>> endedObservers_;
    // Exchanges that have ended, deleted from the event loop (each one's own call is still on the
    // stack when it ends), or with the fleet.
    std::vector<std::unique_ptr<ProjectorExchange>> ended_;
    QTimer reaper_;
    // A line still polling for an earlier cycle stays in it, so a "Poll now" or a short interval
    // over a slow line may leave more than one cycle open.
    std::vector<Cycle> cycles_;
    int lastCycle_ = 0;
};

}  // namespace panel
