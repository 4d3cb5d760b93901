#include "tools/soak/soak_invariants.h"

#include <algorithm>

#include "core/monotonic.h"
#include "core/serial_port.h"
#include "tools/soak/soak_world.h"

namespace panel::soak {
namespace {

// A lost line that is back is open again within this, after the watcher's step in force then
// over the network: the panel reopens it by itself, with no one to reselect it.
constexpr std::int64_t kReopenGraceUs = 1'000'000;
// An outage may be told this long before the simulator's end is seen.
constexpr std::int64_t kTellLeadUs = 100'000;
// The simulator's exit may be seen this long after the panel told the hang-up; a tell still
// unexplained this long after it is a false alarm.
constexpr std::int64_t kEndAfterTellUs = 500'000;
constexpr std::int64_t kFalseAlarmUs = 3'000'000;

}  // namespace

void SoakInvariants::periodicCheck() {
    const std::int64_t now = MonotonicMicros();
    for (auto& line : world_.lines)
        if (std::string broken = line->check(now, kPatienceUs); !broken.empty())
            return world_.report.fail(broken);
    if (world_.windingDown) return;
    checkTold(now);
    checkFalseAlarm(now);
    checkReturn(now);
}

void SoakInvariants::checkTold(std::int64_t now) {
    // An outage of the open line must be told, and within the patience; so must one the port
    // noticed itself (it is closed by then, the tell still due).
    const PanelModel& model = world_.model;
    const bool held = model.open || model.lostUntold;
    if (held && !boundDownSeen_) {
        Incarnation* incarnation = world_.bound();
        if (!incarnation)
            boundDownSeen_ = now;
        else if (world_.serverWentSinceOpen())
            boundDownSeen_ = world_.line(model.boundLine).serverDownAt();
        else if (incarnation->downBy(now))
            boundDownSeen_ =
                std::min(incarnation->downAt.value_or(now), incarnation->hangupAt.value_or(now));
    }
    if (held && boundDownSeen_ && !model.told && now - *boundDownSeen_ > kPatienceUs)
        world_.report.fail("COM" + std::to_string(model.boundLine) +
                           "'s line went down and the operator was never told");
}

void SoakInvariants::checkFalseAlarm(std::int64_t now) {
    // A problem told while its line was serving is a false alarm, unless the line's end shows up
    // a moment later (the simulator's exit is seen after the panel's hang-up).
    if (!unexplainedTell_) return;
    Incarnation* incarnation = world_.line(unexplainedTell_->line).find(unexplainedTell_->id);
    if (!incarnation || incarnation->downBy(unexplainedTell_->at + kEndAfterTellUs) ||
        world_.serverWentSinceOpen())
        unexplainedTell_.reset();
    else if (now - unexplainedTell_->at > kFalseAlarmUs)
        world_.report.fail("a port problem was told while its line was up: " +
                           unexplainedTell_->text);
}

std::optional<SoakInvariants::ReturnDue> SoakInvariants::returnDue() const {
    const std::optional<std::int64_t> back =
        world_.model.waiting ? world_.lineBackSince(world_.model.port) : std::nullopt;
    if (!back) return std::nullopt;
    // Back before the loss was seen: the wait, and its steps, start from the loss.
    const std::int64_t from = std::max(*back, world_.schedule.beganAt());
    const std::int64_t step = world_.options.network ? world_.schedule.stepAt(from) : 0;
    return ReturnDue{from, step, from + step + kReopenGraceUs};
}

void SoakInvariants::checkReturn(std::int64_t now) {
    const std::optional<ReturnDue> due = returnDue();
    const int port = world_.model.port;
    // A simulator that hangs up by itself before then is not back for good.
    if (!due || now <= due->by || world_.line(port).live()->downBy(due->by)) return;
    const WaitSchedule& schedule = world_.schedule;
    world_.report.fail(
        "COM" + std::to_string(port) + "'s line has been back for " +
        std::to_string((now - due->from) / 1000) +
        " ms and the panel has not reopened it (allowed: " +
        (world_.options.network
             ? "the watcher's " + std::to_string(due->stepUs / 1000) + " ms step and 1 s"
             : std::string("1 s")) +
        (schedule.waiting() ? "; the wait " + schedule.course(due->from) + ")"
                            : std::string("; the panel is not waiting for it)")));
}

void SoakInvariants::checkWindowState(const SerialPort& port, int baud) {
    const PanelModel& model = world_.model;
    if (port.isOpen()) {
        if (!model.open)
            return world_.report.fail("the port is open though no selection opened it");
        if (port.commPort() != model.port)
            return world_.report.fail("the open port is COM" + std::to_string(port.commPort()) +
                                      "; COM" + std::to_string(model.port) + " was selected");
    }
    if (baud != model.baud)
        world_.report.fail("the line is set to " + std::to_string(baud) + " baud; " +
                           std::to_string(model.baud) + " was selected");
}

void SoakInvariants::told(const QString& text) {
    const std::int64_t now = MonotonicMicros();
    PanelModel& model = world_.model;
    if (world_.windingDown) return;
    if (!(model.open || model.lostUntold) || model.told)
        return world_.report.fail("a port problem was told again before any port had opened: " +
                                  text.toStdString());
    SimLine& sim = world_.line(model.boundLine);
    const QString name = world_.options.network ? sim.url() : sim.link();
    if (!text.startsWith(name + QStringLiteral(": ")) || text.count(name) != 1)
        return world_.report.fail("the port problem does not name the line " + name.toStdString() +
                                  " once, in front: " + text.toStdString());
    model.told = true;
    model.open = model.lostUntold = false;
    model.waiting = true;
    Incarnation* incarnation = world_.bound();
    if (incarnation && !incarnation->downBy(now + kTellLeadUs) && !world_.serverWentSinceOpen())
        unexplainedTell_ = PendingTell{model.boundLine, model.boundId, now, text.toStdString()};
}

}  // namespace panel::soak
