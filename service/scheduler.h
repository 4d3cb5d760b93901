// The schedule at work: each rule's next run kept, a timer armed for the earliest, the rule run
// through the fleet's own power and send, a projector in warm-up or cool-down tried again for a
// while. What it did goes to the session log and the event stream; the last runs are kept in a
// state file so that a run missed while the service was down is told, never run late.
#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QTimeZone>
#include <QTimer>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "fleet/fleet.h"
#include "service/action_log.h"
#include "service/schedule_rule.h"

namespace panel {

class Scheduler final : public QObject {
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;
    // The latest a run may start and still count as on time; later (a clock that jumped ahead, a
    // machine that slept) it is missed.
    static constexpr std::chrono::seconds kLateness{60};
    // Wall-clock jumps are caught by looking again at least this often.
    static constexpr std::chrono::seconds kRecheck{60};

    Scheduler(Fleet& fleet, ActionLog& log, Clock clock = {}, QObject* parent = nullptr);
    ~Scheduler() override;

    // The first call tells the runs missed since the state file's last word; later calls (the
    // files read again) keep the history of rules that are still there.
    void setRules(std::vector<ScheduleRule> rules, const QTimeZone& zone, const QString& stateFile);
    // Looks at the clock now: runs what is due, tells what was missed, arms the timer again.
    void recheck();
    // The state written, the timer stopped; runs under way are dropped with the fleet's lines.
    void stop();

    QJsonObject listing() const;

    // How long a projector in warm-up or cool-down is tried again, and how often.
    std::chrono::milliseconds retryEvery{std::chrono::seconds(15)};
    std::chrono::milliseconds retryFor{std::chrono::minutes(5)};

    // An event for the stream: its type ("schedule") and object.
    std::function<void(const QJsonObject&)> event;
    // Each projector's end of a run: the problem, or empty when it went through.
    std::function<void(const QString& projector, const QString& problem)> outcome;
    // A line for the journal.
    std::function<void(const QString&)> tell;

private:
    struct Entry {
        ScheduleRule rule;
        QDateTime next;
        QDateTime lastRun;
    };
    struct Attempt;

    QDateTime now() const;
    void arm();
    void run(const Entry& entry, const QDateTime& due);
    void missed(const Entry& entry, const QDateTime& due);
    void attempt(const std::shared_ptr<Attempt>& a);
    void finish(const std::shared_ptr<Attempt>& a, const QString& problem);
    void note(const QString& projector, const QString& text);
    void readState();
    void writeState();

    Fleet& fleet_;
    ActionLog& log_;
    Clock clock_;
    QTimeZone zone_;
    QString stateFile_;
    std::vector<Entry> entries_;
    QDateTime alive_;  // the last time this service (or the one before it) looked at the clock
    std::map<QString, QDateTime> lastRuns_;  // by rule text
    bool started_ = false;
    bool stateFailed_ = false;  // told once until it works again
    QTimer timer_;
    std::unique_ptr<QObject> retries_;  // the context of pending retries: stop() drops them
};

}  // namespace panel
