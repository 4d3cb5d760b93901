#include "service/scheduler.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QSaveFile>
#include <algorithm>

#include "service/schedule_clock.h"

namespace panel {
namespace {

constexpr const char* kActor = "schedule";

QString iso(const QDateTime& t) {
    return t.isValid() ? t.toUTC().toString(Qt::ISODateWithMs) : QString();
}

QJsonValue isoOrNull(const QDateTime& t) {
    return t.isValid() ? QJsonValue(iso(t)) : QJsonValue();
}

QDateTime fromIso(const QJsonValue& value) {
    QDateTime t = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    return t.isValid() ? t.toUTC() : QDateTime();
}

QString projectorsText(const ScheduleRule& rule) {
    if (rule.all) return QStringLiteral("all");
    QStringList names;
    for (const QString& name : rule.projectors) names.append(name);
    return names.join(QStringLiteral(", "));
}

}  // namespace

// One projector's part in one run, tried again while it warms up or cools down.
struct Scheduler::Attempt {
    ScheduleRule rule;
    QString projector;
    QDateTime due;
    QElapsedTimer since;
};

Scheduler::Scheduler(Fleet& fleet, ActionLog& log, Clock clock, QObject* parent)
    : QObject(parent), fleet_(fleet), log_(log), clock_(std::move(clock)) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.callOnTimeout(this, &Scheduler::recheck);
}

Scheduler::~Scheduler() = default;

QDateTime Scheduler::now() const {
    return clock_ ? clock_().toUTC() : QDateTime::currentDateTimeUtc();
}

void Scheduler::setRules(std::vector<ScheduleRule> rules, const QTimeZone& zone,
                         const QString& stateFile) {
    zone_ = zone;
    if (stateFile != stateFile_ || !started_) {
        stateFile_ = stateFile;
        readState();
    }
    entries_.clear();
    for (ScheduleRule& rule : rules) {
        Entry entry{std::move(rule), {}, {}};
        const auto last = lastRuns_.find(entry.rule.text);
        if (last != lastRuns_.end()) entry.lastRun = last->second;
        entries_.push_back(std::move(entry));
    }
    const QDateTime t = now();
    for (Entry& entry : entries_) {
        // The first time only: what fell between the last word of the service and now.
        if (!started_ && alive_.isValid()) {
            const QDateTime from = std::max(alive_, entry.lastRun);
            for (const QDateTime& due : runsBetween(entry.rule, from, t, zone_)) missed(entry, due);
        }
        entry.next = nextRun(entry.rule, std::max(t, entry.lastRun), zone_);
    }
    started_ = true;
    alive_ = t;
    writeState();
    arm();
}

void Scheduler::recheck() {
    const QDateTime t = now();
    for (Entry& entry : entries_) {
        if (entry.next.isValid() && entry.next <= t) {
            if (entry.next.secsTo(t) <= kLateness.count()) {
                entry.lastRun = entry.next;
                lastRuns_[entry.rule.text] = entry.next;
                run(entry, entry.next);
            } else {
                missed(entry, entry.next);
            }
        }
        // From now or the last run, whichever is later: a clock set back never runs a rule twice.
        entry.next = nextRun(entry.rule, std::max(t, entry.lastRun), zone_);
    }
    alive_ = t;
    writeState();
    arm();
}

void Scheduler::arm() {
    const QDateTime t = now();
    qint64 wait = std::chrono::milliseconds(kRecheck).count();
    for (const Entry& entry : entries_)
        if (entry.next.isValid()) wait = std::min(wait, t.msecsTo(entry.next));
    if (entries_.empty()) return timer_.stop();
    timer_.start(static_cast<int>(std::max<qint64>(wait, 0)));
}

void Scheduler::stop() {
    timer_.stop();
    retries_.reset();
    if (started_) {
        alive_ = now();
        writeState();
    }
}

void Scheduler::note(const QString& projector, const QString& text) {
    log_.note(kActor, projector.toStdString(), text.toStdString());
}

void Scheduler::missed(const Entry& entry, const QDateTime& due) {
    const QString text = QStringLiteral("missed the run of %1 (line %2) due at %3: not run late")
                             .arg(entry.rule.text)
                             .arg(entry.rule.line)
                             .arg(due.toTimeZone(zone_).toString(Qt::ISODate));
    note(QString(), text);
    if (tell) tell(QStringLiteral("schedule: ") + text);
    if (event)
        event(QJsonObject{{"rule", entry.rule.text}, {"due", iso(due)}, {"result", "missed"}});
}

void Scheduler::run(const Entry& entry, const QDateTime& due) {
    std::vector<QString> names;
    if (entry.rule.all) {
        for (const ProjectorRow& row : fleet_.rows()) names.push_back(row.projector.name);
    } else {
        names = entry.rule.projectors;
    }
    note(QString(), QStringLiteral("runs %1 (line %2)").arg(entry.rule.text).arg(entry.rule.line));
    if (event)
        event(QJsonObject{
            {"rule", entry.rule.text},
            {"due", iso(due)},
            {"result", "started"},
            {"projectors", QJsonArray::fromStringList(QStringList(names.begin(), names.end()))}});
    for (const QString& name : names) {
        auto a = std::make_shared<Attempt>(Attempt{entry.rule, name, due, {}});
        a->since.start();
        attempt(a);
    }
}

void Scheduler::attempt(const std::shared_ptr<Attempt>& a) {
    const int row = fleet_.rowOf(a->projector);
    if (row < 0) return finish(a, QStringLiteral("no longer in the projectors file"));
    QPointer<Scheduler> self(this);
    // Warming up or cooling down: the line is not asked now but again a little later.
    auto waitOrGiveUp = [self, a](const QString& phase) {
        if (!self) return;
        if (a->since.elapsed() + self->retryEvery.count() > self->retryFor.count())
            return self->finish(a, QStringLiteral("still %1 after %2 s: not sent")
                                       .arg(phase)
                                       .arg(self->retryFor.count() / 1000));
        if (!self->retries_) self->retries_ = std::make_unique<QObject>();
        QTimer::singleShot(self->retryEvery, self->retries_.get(), [self, a] { self->attempt(a); });
    };
    const ProjectorRow& current = fleet_.rows()[static_cast<std::size_t>(row)];
    const PowerPhase phase =
        current.reading == Reading::Answered ? phaseOf(current.status) : PowerPhase::Steady;
    const Projector& projector = current.projector;
    CommandHooks hooks;
    hooks.observer = log_.observer(
        kActor, LoggedPort{projector.name.toStdString(), projector.port.toStdString()});
    hooks.done = [self, a, waitOrGiveUp](const ExchangeResult* result) {
        if (!self) return;
        if (!result) {
            const int now = self->fleet_.rowOf(a->projector);
            if (now < 0) return self->finish(a, QStringLiteral("no longer in the projectors file"));
            const PowerPhase p = phaseOf(self->fleet_.rows()[static_cast<std::size_t>(now)].status);
            return waitOrGiveUp(p == PowerPhase::CoolingDown ? QStringLiteral("cooling down")
                                                             : QStringLiteral("warming up"));
        }
        switch (result->end) {
            case ExchangeEnd::AllAnswered:
                return self->finish(a, {});
            case ExchangeEnd::SomeUnanswered:
                return self->finish(a, QStringLiteral("no answer"));
            case ExchangeEnd::InUse:
                return self->finish(a, QStringLiteral("in use: another client has the line"));
            case ExchangeEnd::PortFailed:
                return self->finish(a, result->problem);
        }
    };
    switch (a->rule.action) {
        case ScheduleAction::PowerOn:
        case ScheduleAction::PowerOff:
            fleet_.power(
                {row},
                a->rule.action == ScheduleAction::PowerOn ? PowerCommand::On : PowerCommand::Off,
                hooks);
            return;
        case ScheduleAction::Codes:
            // Codes are held back in warm-up and cool-down as a power command is.
            if (phase != PowerPhase::Steady)
                return waitOrGiveUp(phase == PowerPhase::CoolingDown
                                        ? QStringLiteral("cooling down")
                                        : QStringLiteral("warming up"));
            fleet_.send(row, a->rule.codes, std::move(hooks));
            return;
    }
}

void Scheduler::finish(const std::shared_ptr<Attempt>& a, const QString& problem) {
    const QString action = actionText(a->rule);
    const QString text = problem.isEmpty() ? QStringLiteral("%1: done").arg(action)
                                           : QStringLiteral("%1: failed: %2").arg(action, problem);
    note(a->projector, text);
    if (!problem.isEmpty() && tell)
        tell(QStringLiteral("schedule: %1: %2 (%3)").arg(a->projector, text, a->rule.text));
    if (event) {
        QJsonObject object{{"rule", a->rule.text},
                           {"due", iso(a->due)},
                           {"projector", a->projector},
                           {"result", problem.isEmpty() ? "done" : "failed"}};
        if (!problem.isEmpty()) object.insert("error", problem);
        event(object);
    }
    if (outcome) outcome(a->projector, problem);
}

QJsonObject Scheduler::listing() const {
    QJsonArray rules;
    for (const Entry& entry : entries_) {
        QJsonObject object{
            {"rule", entry.rule.text},
            {"line", entry.rule.line},
            {"days", daysText(entry.rule)},
            {"time", entry.rule.time.toString(QStringLiteral("HH:mm"))},
            {"action", actionText(entry.rule)},
            {"projectors", projectorsText(entry.rule)},
            {"next_run", isoOrNull(entry.next)},
            {"next_run_local", entry.next.isValid()
                                   ? QJsonValue(entry.next.toTimeZone(zone_).toString(Qt::ISODate))
                                   : QJsonValue()},
            {"last_run", isoOrNull(entry.lastRun)},
        };
        rules.append(object);
    }
    return QJsonObject{{"time_zone", QString::fromUtf8(zone_.id())}, {"rules", rules}};
}

void Scheduler::readState() {
    alive_ = {};
    lastRuns_.clear();
    if (stateFile_.isEmpty()) return;
    QFile file(stateFile_);
    if (!file.open(QIODevice::ReadOnly)) return;  // the first start: nothing was missed
    const QJsonObject state = QJsonDocument::fromJson(file.read(1 << 20)).object();
    alive_ = fromIso(state.value(QStringLiteral("alive")));
    const QJsonObject runs = state.value(QStringLiteral("runs")).toObject();
    for (auto it = runs.begin(); it != runs.end(); ++it) {
        const QDateTime t = fromIso(it.value());
        if (t.isValid()) lastRuns_[it.key()] = t;
    }
}

void Scheduler::writeState() {
    if (stateFile_.isEmpty() || entries_.empty()) return;  // no rule, nothing to miss
    QJsonObject runs;
    for (const Entry& entry : entries_)
        if (entry.lastRun.isValid()) runs.insert(entry.rule.text, iso(entry.lastRun));
    const QByteArray bytes =
        QJsonDocument(QJsonObject{{"alive", iso(alive_)}, {"runs", runs}}).toJson();
    QSaveFile file(stateFile_);
    // Written whole or not at all: a crash half-way leaves the last good state.
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (tell && !stateFailed_)
            tell(QStringLiteral("schedule: cannot write %1: %2")
                     .arg(stateFile_, file.errorString()));
        stateFailed_ = true;
        return;
    }
    stateFailed_ = false;
}

}  // namespace panel
