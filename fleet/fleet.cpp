#include "fleet/fleet.h"

#include <algorithm>
#include <utility>

#include "fleet/log_categories.h"
#include "serial/held_line.h"

namespace panel {
namespace {

// Status, input and lamp hours: the three queries of one poll, in this order.
const std::vector<std::string> kPollCodes{"CR0", "CR1", "CR3"};

// Lines started in one pass of the event loop; each start costs up to a few tenths of a
// millisecond on a busy machine.
constexpr int kStartsPerPass = 8;

constexpr std::string_view kPowerOnCode = "C00";
constexpr std::string_view kPowerOffCode = "C01";

QString words(const std::optional<std::string>& decoded) {
    return decoded ? QString::fromLatin1(decoded->data(), static_cast<qsizetype>(decoded->size()))
                         .simplified()
                   : QString();
}

// The lamp hours answer: its digits up to the CR.
std::optional<int> lampHours(const CodeAnswer& answer) {
    const std::string& bytes = answer.bytes;
    const std::size_t end = bytes.find('\r');
    if (end == std::string::npos || end == 0 || end > 9) return std::nullopt;
    int hours = 0;
    for (std::size_t i = 0; i < end; ++i) {
        if (bytes[i] < '0' || bytes[i] > '9') return std::nullopt;
        hours = hours * 10 + (bytes[i] - '0');
    }
    return hours;
}

// A query that got nothing back, or whose answer no decoder knows: said in its cell, never blank.
QString unreadable(const CodeAnswer* answer) {
    if (!answer || !answer->replied) return QStringLiteral("no answer");
    return QStringLiteral("unknown answer:") + words(answer->received);
}

QString cellWords(const CodeAnswer* answer) {
    const QString decoded = answer && answer->replied ? words(answer->decoded) : QString();
    return decoded.isEmpty() ? unreadable(answer) : decoded;
}

}  // namespace

PowerPhase phaseOf(const QString& status) {
    if (status.contains(QLatin1String("count down"), Qt::CaseInsensitive))
        return PowerPhase::WarmingUp;
    if (status.contains(QLatin1String("cooling down"), Qt::CaseInsensitive))
        return PowerPhase::CoolingDown;
    return PowerPhase::Steady;
}

// A command waiting for its line, or running on it.
struct Fleet::Job {
    std::vector<std::string> codes;
    std::optional<PowerCommand> power;
    CommandHooks hooks;
};

// One projector's line: at most one exchange on it at a time, and what waits for it.
struct Fleet::Line {
    // Before the exchange, so that it outlives it: an exchange may still tell its observer as it
    // ends.
    std::optional<Job> runningJob;  // empty while a poll runs
    std::unique_ptr<ProjectorExchange> running;
    bool pollWanted = false;
    // A power command has ended and no poll since has shown what it started.
    bool powerUnseen = false;
    std::deque<Job> wanted;  // commands, in the order given; they go before a poll
    int cycle = 0;           // the open cycle this line's poll counts in, 0 for none
    bool queued = false;     // in starts_
};

Fleet::Fleet(std::vector<Projector> projectors) {
    timer_.callOnTimeout([this] { pollNow(); });
    reaper_.setSingleShot(true);
    reaper_.setInterval(0);
    reaper_.callOnTimeout([this] {
        ended_.clear();
        endedObservers_.clear();
    });
    starter_.setInterval(0);
    starter_.callOnTimeout([this] { startQueued(); });
    setProjectors(std::move(projectors));
}

Fleet::~Fleet() = default;

void Fleet::dropJobs(Line& line, std::vector<std::function<void(const ExchangeResult*)>>& out) {
    // The running job stays with its exchange, whose observer it keeps alive.
    if (line.runningJob && line.runningJob->hooks.done)
        out.push_back(std::exchange(line.runningJob->hooks.done, {}));
    for (Job& job : line.wanted)
        if (job.hooks.done) out.push_back(std::move(job.hooks.done));
    line.wanted.clear();
}

void Fleet::setProjectors(std::vector<Projector> projectors) {
    if (listAboutToChange) listAboutToChange();
    std::vector<ProjectorRow> rows;
    std::vector<std::unique_ptr<Line>> lines;
    for (Projector& projector : projectors) {
        const int old = rowOf(projector.name);
        const bool same = old >= 0 && rows_[old].projector.port == projector.port &&
                          rows_[old].projector.speed == projector.speed;
        if (same) {
            rows.push_back(std::move(rows_[old]));
            lines.push_back(std::move(lines_[old]));
        } else {
            ProjectorRow row;
            row.projector = std::move(projector);
            rows.push_back(std::move(row));
            lines.push_back(std::make_unique<Line>());
        }
    }
    // The commands of projectors left out still get their end, once the new list stands.
    std::vector<std::function<void(const ExchangeResult*)>> dropped;
    for (auto& line : lines_)
        if (line) dropJobs(*line, dropped);
    std::erase_if(starts_, [&](Line* queued) {
        return std::none_of(lines.begin(), lines.end(),
                            [queued](const auto& line) { return line.get() == queued; });
    });
    rows_ = std::move(rows);
    lines_ = std::move(lines);  // the lines left behind cancel their exchanges
    // A cycle counts only the lines still there; one left with none is over unannounced.
    for (Cycle& cycle : cycles_)
        cycle.left = static_cast<int>(
            std::count_if(lines_.begin(), lines_.end(),
                          [&cycle](const auto& line) { return line->cycle == cycle.id; }));
    std::erase_if(cycles_, [](const Cycle& cycle) { return cycle.left == 0; });
    if (listChanged) listChanged();
    const ExchangeResult removed{
        ExchangeEnd::PortFailed, {}, QStringLiteral("taken out of the projectors file")};
    for (auto& done : dropped) done(&removed);
}

int Fleet::rowOf(const QString& name) const {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].projector.name == name) return static_cast<int>(i);
    return -1;
}

void Fleet::setPollInterval(std::chrono::seconds interval) {
    interval_ = std::max(interval, std::chrono::seconds{1});
    timer_.setInterval(interval_);
}

void Fleet::startPolling() {
    qCInfo(lcFleet) << "polling" << lines_.size() << "projectors every" << interval_.count() << "s";
    timer_.start(interval_);
    pollNow();
}

void Fleet::pollNow() {
    qCDebug(lcFleet) << "poll" << lastCycle_ + 1 << "starts:" << lines_.size() << "projectors";
    Cycle cycle{++lastCycle_, 0, {}};
    cycle.wall.start();
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        Line& line = *lines_[i];
        if (line.cycle != 0) continue;  // the last poll of this line has not ended yet
        line.cycle = cycle.id;
        line.pollWanted = true;
        ++cycle.left;
        queueStart(i);
    }
    if (cycle.left > 0) cycles_.push_back(std::move(cycle));
}

namespace {

// Why a power command may not go to this projector now, from its last poll that answered.
std::optional<QString> phaseRefusal(const ProjectorRow& row) {
    if (row.reading != Reading::Answered) return std::nullopt;
    switch (phaseOf(row.status)) {
        case PowerPhase::WarmingUp:
            return QStringLiteral("not sent: warming up");
        case PowerPhase::CoolingDown:
            return QStringLiteral("not sent: cooling down");
        case PowerPhase::Steady:
            break;
    }
    return std::nullopt;
}

}  // namespace

void Fleet::power(const std::vector<int>& rows, PowerCommand command, const CommandHooks& hooks) {
    for (int r : rows) {
        if (r < 0 || static_cast<std::size_t>(r) >= rows_.size()) continue;
        ProjectorRow& row = rows_[r];
        if (std::optional<QString> refused = phaseRefusal(row)) {
            row.note = *refused;
            changed(r);
            if (hooks.done) hooks.done(nullptr);
            continue;
        }
        row.note = QStringLiteral("waiting for the line");
        const std::string_view code = command == PowerCommand::On ? kPowerOnCode : kPowerOffCode;
        lines_[r]->wanted.push_back(Job{{std::string(code)}, command, hooks});
        queueStart(static_cast<std::size_t>(r));
        changed(r);
    }
}

void Fleet::send(int row, std::vector<std::string> codes, CommandHooks hooks) {
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) {
        if (hooks.done) hooks.done(nullptr);
        return;
    }
    lines_[row]->wanted.push_back(Job{std::move(codes), std::nullopt, std::move(hooks)});
    queueStart(static_cast<std::size_t>(row));
}

std::size_t Fleet::waiting(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= lines_.size()) return 0;
    return lines_[static_cast<std::size_t>(row)]->wanted.size();
}

void Fleet::queueStart(std::size_t index) {
    Line& line = *lines_[index];
    if (line.running || line.queued) return;
    line.queued = true;
    starts_.push_back(&line);
    if (!starter_.isActive()) starter_.start();
}

void Fleet::startQueued() {
    for (int started = 0; started < kStartsPerPass && !starts_.empty(); ++started) {
        Line* const key = starts_.front();
        starts_.pop_front();
        key->queued = false;
        for (std::size_t i = 0; i < lines_.size(); ++i)
            if (lines_[i].get() == key && !key->running) startJob(i);
    }
    if (starts_.empty()) starter_.stop();
}

void Fleet::startJob(std::size_t index) {
    Line& line = *lines_[index];
    ProjectorRow& row = rows_[index];
    // The fleet's polls and commands take an answer as soon as it has ended: a hundred lines
    // waiting out three reply windows each kept every poll at a second and a half.
    ExchangeRequest request{row.projector.port, row.projector.speed, {}, {}};
    request.completeWhenEnded = true;
    request.quiet = kQuietBeforeFirstCode;
    // A power command behind another waits for the poll that shows what that one did, and is
    // checked then: it may have started a warm-up. Behind anything else it goes first, checked
    // against the last poll, as every command does.
    const bool powerNext = !line.wanted.empty() && line.wanted.front().power;
    const bool pollFirst = powerNext && line.powerUnseen && line.pollWanted;
    if (powerNext && !pollFirst) {
        if (std::optional<QString> refused = phaseRefusal(row)) {
            Job job = std::move(line.wanted.front());
            line.wanted.pop_front();
            row.note = *refused;
            changed(index);
            startJob(index);
            if (job.hooks.done) job.hooks.done(nullptr);
            return;
        }
    }
    if (!line.wanted.empty() && !pollFirst) {
        line.runningJob = std::move(line.wanted.front());
        line.wanted.pop_front();
        request.codes = line.runningJob->codes;
        request.observer = line.runningJob->hooks.observer.get();
    } else if (line.pollWanted) {
        line.runningJob.reset();
        line.pollWanted = false;
        request.codes = kPollCodes;
    } else {
        return;
    }
    if (!request.observer && observerFor) request.observer = observerFor(row.projector);
    Line* const key = &line;
    line.running = std::make_unique<ProjectorExchange>(
        std::move(request), [this, key](const ExchangeResult& result) {
            for (std::size_t i = 0; i < lines_.size(); ++i)
                if (lines_[i].get() == key) jobEnded(i, result);
        });
    row.busy = true;
    line.running->start();
    qCDebug(lcFleet) << row.projector.name
                     << (!line.runningJob         ? "poll"
                         : line.runningJob->power ? "power command"
                                                  : "command")
                     << "starts";
    changed(index);
}

void Fleet::jobEnded(std::size_t index, const ExchangeResult& result) {
    Line& line = *lines_[index];
    ProjectorRow& row = rows_[index];
    // Not destroyed here: its own queued call is still on the stack.
    ended_.push_back(std::move(line.running));
    reaper_.start();
    row.busy = false;
    std::function<void(const ExchangeResult*)> done;
    if (line.runningJob) {
        Job job = std::move(*line.runningJob);
        line.runningJob.reset();
        // The ended exchange may still tell its observer until it is reaped.
        if (job.hooks.observer) endedObservers_.push_back(std::move(job.hooks.observer));
        if (job.power) {
            powerEnded(row, *job.power, result);
            line.pollWanted = true;  // show what the command did
            line.powerUnseen = true;
        }
        done = std::move(job.hooks.done);
    } else {
        pollEnded(row, result);
        line.powerUnseen = false;
        if (line.cycle != 0) lineFinishedCycle(std::exchange(line.cycle, 0));
    }
    changed(index);
    startJob(index);
    // Last: whoever asked may give the fleet more to do.
    if (done) done(&result);
}

void Fleet::pollEnded(ProjectorRow& row, const ExchangeResult& result) {
    const bool any = std::any_of(result.answers.begin(), result.answers.end(),
                                 [](const CodeAnswer& a) { return a.replied; });
    if (result.end == ExchangeEnd::InUse) {
        // A poll cut off mid-way gets nothing back, and the next ones fail to connect; what the
        // device server held of the first outlives the cut.
        row.heldSinceLoss = row.reading == Reading::NoAnswer ||
                            row.reading == Reading::PortFailed ||
                            (row.reading == Reading::InUse && row.heldSinceLoss);
        row.reading = Reading::InUse;
        qCInfo(lcFleet) << row.projector.name
                        << "taken as in use, held since a cut:" << row.heldSinceLoss;
        row.reason = row.heldSinceLoss ? QString::fromStdString(heldLineAdvice())
                                       : QStringLiteral("in use: another client has the line");
        return;
    }
    row.heldSinceLoss = false;
    if (result.end == ExchangeEnd::PortFailed || !any) {
        row.reading =
            result.end == ExchangeEnd::PortFailed ? Reading::PortFailed : Reading::NoAnswer;
        row.reason = result.end == ExchangeEnd::PortFailed ? result.problem
                                                           : QStringLiteral("nothing came back");
        qCDebug(lcFleet) << row.projector.name << "no answer:" << row.reason;
        return;
    }
    row.reading = Reading::Answered;
    row.reason.clear();
    row.lastAnswered = QDateTime::currentDateTime();
    const auto answer = [&result](std::size_t i) {
        return i < result.answers.size() ? &result.answers[i] : nullptr;
    };
    row.status = cellWords(answer(0));
    row.input = cellWords(answer(1));
    const CodeAnswer* lamp = answer(2);
    row.lampHours = lamp && lamp->replied ? lampHours(*lamp) : std::nullopt;
    row.lampNote = row.lampHours ? QString() : unreadable(lamp);
}

void Fleet::powerEnded(ProjectorRow& row, PowerCommand command, const ExchangeResult& result) {
    const QString what =
        command == PowerCommand::On ? QStringLiteral("Power on") : QStringLiteral("Power off");
    if (result.end == ExchangeEnd::InUse)
        row.note = what + QStringLiteral(" not sent: in use");
    else if (result.end == ExchangeEnd::PortFailed)
        row.note = what + QStringLiteral(" failed: ") + result.problem;
    else if (result.end == ExchangeEnd::SomeUnanswered)
        row.note = what + QStringLiteral(" sent: no answer");
    else
        row.note = what + QStringLiteral(" sent: acknowledged");
}

void Fleet::lineFinishedCycle(int id) {
    const auto cycle =
        std::find_if(cycles_.begin(), cycles_.end(), [id](const Cycle& c) { return c.id == id; });
    if (cycle == cycles_.end() || --cycle->left > 0) return;
    const std::chrono::milliseconds wall(cycle->wall.elapsed());
    qCDebug(lcFleet) << "poll" << id << "ends after" << wall.count() << "ms";
    cycles_.erase(cycle);
    if (cycleFinished) cycleFinished(wall);
}

void Fleet::changed(std::size_t index) {
    if (rowChanged) rowChanged(static_cast<int>(index));
}

}  // namespace panel
