#include "tools/soak/soak_operator.h"

#include <QClipboard>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <limits>

#include "core/catalogue.h"
#include "core/monotonic.h"
#include "testkit/controls.h"
#include "tools/projector-sim/frame_log.h"
#include "tools/soak/counting_port.h"
#include "tools/soak/loop_wait.h"
#include "tools/soak/soak_invariants.h"
#include "tools/soak/soak_window.h"
#include "tools/soak/soak_world.h"
#include "tools/soak/twin_ticks.h"
#include "ui/form1.h"

namespace panel::soak {
namespace {

// A selection may fail this long before the simulator's end is seen.
constexpr std::int64_t kFailureLeadUs = 200'000;
// What was sent at the old speed is given this long to arrive before a speed change.
constexpr int kSpeedDrainMs = 300;

}  // namespace

SoakOperator::SoakOperator(SoakWorld& world, SoakWindow& window, SoakInvariants& invariants)
    : world_(world),
      model_(world.model),
      report_(world.report),
      tallies_(world.report.tallies),
      window_(window),
      invariants_(invariants) {}

void SoakOperator::attach(Form1& form, CountingPort& port) {
    form_ = &form;
    port_ = &port;
}

void SoakOperator::perform(Op op) {
    ++opNumber_;
    report_.note("#" + std::to_string(opNumber_) + " " + Describe(op));
    ++tallies_.operations[KindName(op.kind)];
    switch (op.kind) {
        case OpKind::Click:
            return clickOp(op);
        case OpKind::Hold:
            return holdOp(op);
        case OpKind::Manual:
            return manualOp(op);
        case OpKind::Port:
            return portOp(op.port);
        case OpKind::Speed:
            return speedOp(op.baud);
        case OpKind::Panel:
            return panelOp(op);
    }
}

bool SoakOperator::skipped(bool possible, const std::string& why) {
    if (possible) return false;
    ++tallies_.skipped;
    report_.note("   (skipped: " + why + ")");
    return true;
}

bool SoakOperator::readyFor(std::initializer_list<std::string> names, const std::string& what) {
    for (const std::string& name : names)
        if (skipped(window_.bringIntoView(name), what + " is covered")) return false;
    return true;
}

void SoakOperator::clickOp(const Op& op) {
    if (!readyFor({op.control}, op.control)) return;
    const OneShotRow* row = FindOneShot(op.control);
    // Expected before the click: the click's own event processing may already read the log.
    const std::int64_t sentAt = MonotonicMicros();
    expect(std::string(row->code), sentAt, sentAt, 1, 1, 0);
    window_.click(op.control.c_str());
    if (row->setsArrowPacing)
        model_.timer1Interval = static_cast<int>(kArrowPacingInterval.count());
}

void SoakOperator::holdOp(const Op& op) {
    if (!readyFor({op.control}, op.control)) return;
    const HoldRow* row = FindHold(op.control);
    const int period = row->kind == HoldKind::Fixed ? static_cast<int>(row->repeatInterval.count())
                                                    : model_.timer1Interval;

    const std::int64_t pressedAt = MonotonicMicros();
    // Open-ended while held: the frames are checked as they come.
    const auto open = std::numeric_limits<std::int64_t>::max();
    expect(std::string(row->code), pressedAt, open, 1, std::numeric_limits<int>::max(),
           std::int64_t{period} * 1000);
    holding_ = ExpectedFrames{.frame = sim::FrameLog::escape(row->code),
                              .endAt = open,
                              .minCount = 0,
                              .maxCount = std::numeric_limits<int>::max(),
                              .periodUs = std::int64_t{period} * 1000,
                              .op = opNumber_,
                              .afterReopen = true};
    // Bounds go to the line the press went to, even if the port has moved on since.
    const int boundLine = model_.boundLine;
    const int boundId = model_.boundId;
    const HeldFor held = pressFor(op.control, period, op.holdMs);
    holding_.reset();

    if (row->kind == HoldKind::Fixed) model_.timer1Interval = period;
    if (row->zoomRelease) model_.timer1Interval = static_cast<int>(kZoomReleaseInterval.count());
    // 1 + n frames for n whole periods, within one period; no fewer than the twin promises.
    const auto periods = static_cast<int>((held.releasedAt - pressedAt) / (period * 1000));
    if (held.twinTicks < periods) ++tallies_.holdsSlowed;
    compareWithTwin(held);
    finishHold(boundLine != 0 ? world_.line(boundLine).find(boundId) : nullptr, held, periods + 2);

    if (form_->controller().state().RepeatKey != 0 ||
        form_->controller().timers().repeat.isEnabled())
        report_.fail("after the release of " + op.control + " the repeat is still armed");
}

SoakOperator::HeldFor SoakOperator::pressFor(const std::string& name, int periodMs, int holdMs) {
    const std::size_t writesBefore = port_->writes();
    const int lineBefore = model_.boundLine;
    const int idBefore = model_.boundId;
    const bool openBefore = model_.open;
    const int reopensBefore = tallies_.outagesSurvived;
    window_.press(name.c_str());
    // A twin of the repeat timer in the same event loop: a tick the loop could not take in time
    // is dropped, not made up, for the twin as for the panel, so its count is what the loop
    // allowed on a busy machine (less the ticks its stalls may have cost the panel's timer).
    QTimer twin;
    twin.setTimerType(Qt::PreciseTimer);
    HeldFor held;
    TwinTicks ticks(MonotonicMicros(), std::int64_t{periodMs} * 1000);
    QObject::connect(&twin, &QTimer::timeout, &twin, [&ticks] { ticks.tick(MonotonicMicros()); });
    twin.start(periodMs);
    QEventLoop loop;
    // The release is taken in its turn among the repeat ticks, as on a desktop.
    QTimer::singleShot(holdMs, Qt::PreciseTimer, &loop, [&] {
        twin.stop();
        held.releasedAt = MonotonicMicros();
        window_.release(name.c_str());
        loop.quit();
    });
    loop.exec();
    held.twinTicks = ticks.count();
    held.twinFewest = ticks.fewestFrames();
    held.written = static_cast<int>(port_->writes() - writesBefore);
    held.reopened = tallies_.outagesSurvived != reopensBefore;
    held.stayedOpen = openBefore && model_.open && !held.reopened &&
                      model_.boundLine == lineBefore && model_.boundId == idBefore;
    return held;
}

void SoakOperator::finishHold(Incarnation* pressed, const HeldFor& held, int most) {
    // A reopen cut the hold in two: its second part, begun on the reopened line, gets as many
    // frames as may come; its outage already excuses the first.
    const int fewest = held.reopened ? 0 : held.twinFewest;
    if (pressed) pressed->ledger.finish(opNumber_, held.releasedAt, fewest, most);
    if (Incarnation* now = world_.bound(); now && now != pressed)
        now->ledger.finish(opNumber_, held.releasedAt, 0, most);
}

void SoakOperator::compareWithTwin(const HeldFor& held) {
    if (!held.stayedOpen) return;
    const int behind = held.twinTicks + 1 - held.written;
    if (behind <= 0) return;
    ++tallies_.holdsBehindTwin;
    tallies_.mostBehindTwin = std::max(tallies_.mostBehindTwin, behind);
    report_.note("   (the port wrote " + std::to_string(held.written) + " frames; the twin had " +
                 std::to_string(held.twinTicks) + " ticks)");
}

void SoakOperator::manualOp(const Op& op) {
    if (!readyFor({controls::kManualEntry, controls::kSend}, "the manual entry")) return;
    auto* box = qobject_cast<QLineEdit*>(window_.control(controls::kManualEntry));
    const QString text =
        QString::fromLatin1(op.text.data(), static_cast<qsizetype>(op.text.size()));
    enter(op, text);
    if (box->text() != text) {
        report_.fail(std::string(controls::kManualEntry) + " holds \"" + box->text().toStdString() +
                     "\" after the operator entered \"" + text.toStdString() + "\"");
        return;
    }
    const std::int64_t sentAt = MonotonicMicros();
    expect(op.text, sentAt, sentAt, 1, 1, 0);
    window_.click(controls::kSend);
}

void SoakOperator::enter(const Op& op, const QString& text) {
    auto* box = qobject_cast<QLineEdit*>(window_.control(controls::kManualEntry));
    window_.click(controls::kManualEntry);
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);  // select what it held
    if (text.isEmpty()) {
        QTest::keyClick(box, Qt::Key_Delete);
    } else if (op.paste) {
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    } else {
        // Key and text by hand: QTest's character overloads know ASCII alone.
        for (const QChar c : text) {
            const char16_t code = c.unicode();
            const char16_t key = code >= u'a' && code <= u'z' ? code - 0x20 : code;
            QTest::sendKeyEvent(QTest::Click, box, static_cast<Qt::Key>(key), QString(c),
                                Qt::NoModifier);
        }
    }
}

void SoakOperator::portOp(int port) {
    if (skipped(window_.openPortSelector(), "COM is covered")) return;
    const std::size_t failuresBefore = failures_;
    const std::int64_t now = MonotonicMicros();
    if (model_.open) speedChangedOnBoundLine(now);  // the selection closes the open port first
    // The operator's selection ends any wait for a lost line.
    model_.open = model_.waiting = model_.lostUntold = model_.reopened = false;
    selecting_ = port;
    selectingSince_ = now;
    window_.click(port == 1 ? controls::kCom1 : controls::kCom2);
    model_.port = port;
    // A network line connects from the event loop: the selection is answered when it settles.
    (void)WaitUntil([this] { return !port_->isOpening(); }, kConnectPatienceMs);
    selecting_ = 0;
    if (failures_ > failuresBefore)
        selectionFailed(port);
    else
        selectionOpened(port, now);
}

void SoakOperator::selectionFailed(int port) {
    model_.open = false;
    if (port_->isOpen())
        return report_.fail("a failed selection of COM" + std::to_string(port) +
                            " left the port open");
    SimLine& sim = world_.line(port);
    Incarnation* live = sim.live();
    if (live && live->up && !live->downBy(MonotonicMicros() + kFailureLeadUs) &&
        !(world_.options.network && sim.serverDown()))
        report_.fail("selecting COM" + std::to_string(port) +
                     " failed while its simulator was serving: " + lastFailure_);
}

void SoakOperator::selectionOpened(int port, std::int64_t now) {
    // Opened, and lost before the selection was answered: that outage is told like any other.
    if (model_.boundLine == port && model_.openedAt >= now && (model_.lostUntold || model_.told))
        return;
    if (!port_->isOpen())
        return report_.fail("selecting COM" + std::to_string(port) +
                            " showed nothing but left it closed");
    Incarnation* live = world_.line(port).live();
    // Through a device server the connection opens with no simulator behind it and is lost
    // at once; that outage is told like any other.
    if (!live && !world_.options.network)
        return report_.fail("COM" + std::to_string(port) + " opened with no simulator behind it");
    bindTo(port, now);
}

void SoakOperator::bindTo(int port, std::int64_t at) {
    const Incarnation* live = world_.line(port).live();
    model_.open = true;
    model_.told = false;
    model_.boundLine = port;
    model_.boundId = live ? live->id : 0;
    model_.openedAt = at;
    invariants_.lineBound();
}

void SoakOperator::portWrote(std::string_view bytes) {
    // The simulator logs a frame without its CR.
    if (bytes.ends_with('\r')) bytes.remove_suffix(1);
    Incarnation* incarnation = model_.open ? world_.bound() : nullptr;
    if (!incarnation || !incarnation->ledger.wrote(sim::FrameLog::escape(bytes), MonotonicMicros()))
        ++tallies_.writesUnmatched;
}

void SoakOperator::portLost() {
    if (!model_.open) return;
    model_.open = false;
    model_.lostUntold = model_.waiting = true;
}

void SoakOperator::portOpened() {
    const std::int64_t now = MonotonicMicros();
    // A selection's open settling binds the line at once: it may be lost before it is answered.
    if (selecting_ != 0) return bindTo(selecting_, selectingSince_);
    if (!model_.waiting || world_.windingDown) return;
    report_.note("   panel reopened COM" + std::to_string(model_.port) + " by itself");
    if (model_.lostUntold)
        return report_.fail("COM" + std::to_string(model_.port) +
                            " was lost and reopened by itself, and the operator was never told");
    if (const std::optional<SoakInvariants::ReturnDue> due = invariants_.returnDue();
        due && now > due->by)
        return report_.fail("COM" + std::to_string(model_.port) + " reopened " +
                            std::to_string((now - due->from) / 1000) +
                            " ms after its line was back; " +
                            std::to_string((due->by - due->from) / 1000) +
                            " ms allowed (the wait " + world_.schedule.course(due->from) + ")");
    if (!world_.line(model_.port).live() && !world_.options.network)
        return report_.fail("COM" + std::to_string(model_.port) +
                            " reopened with no simulator behind it");
    // A hold under way goes on repeating into the reopened line: a part of its own from here.
    if (Incarnation* before = world_.bound(); before && holding_)
        before->ledger.finish(holding_->op, now, 0, std::numeric_limits<int>::max());
    ++tallies_.outagesSurvived;
    model_.waiting = false;
    model_.reopened = true;
    bindTo(model_.port, now);
    if (Incarnation* incarnation = world_.bound(); incarnation && holding_) {
        ExpectedFrames rest = *holding_;
        rest.baud = model_.baud;
        rest.sentAt = now;
        incarnation->ledger.expect(std::move(rest));
    }
}

void SoakOperator::speedOp(int baud) {
    // Let what was sent at the old speed arrive first.
    if (Incarnation* incarnation = world_.bound())
        (void)WaitUntil(
            [incarnation, this] {
                return world_.bound() != incarnation || incarnation->ledger.caughtUp();
            },
            kSpeedDrainMs);
    if (skipped(window_.openPortSelector(), "COM is covered")) return;
    const std::size_t failuresBefore = failures_;
    const std::int64_t now = MonotonicMicros();
    window_.click(baud == 19200 ? controls::kBaud19200 : controls::kBaud9600);
    if (failures_ > failuresBefore)
        return report_.fail("selecting " + std::to_string(baud) + " baud failed: " + lastFailure_);
    if (model_.open) speedChangedOnBoundLine(now);
    model_.baud = baud;
}

void SoakOperator::panelOp(const Op& op) {
    switch (op.panel) {
        case PanelAction::KeyChord:
            return window_.keyChord();
        case PanelAction::LogoDoubleClick:
            if (!skipped(window_.reachable(controls::kLogo), "the logo is not in view"))
                window_.doubleClick(controls::kLogo);
            return;
        case PanelAction::Command34:
            if (!skipped(window_.reachable(controls::kDataPanel),
                         "the data panel button is not in view"))
                window_.click(controls::kDataPanel);
            return;
        case PanelAction::Cls:
            if (!skipped(window_.reachable(controls::kClear), "CLS is not in view"))
                window_.click(controls::kClear);
            return;
    }
}

FailureReply SoakOperator::portSelectionFailed(QWidget*, const QString& text, bool) {
    ++failures_;
    lastFailure_ = text.toStdString();
    report_.note("   panel showed: " + lastFailure_);
    return FailureReply::Dismissed;
}

void SoakOperator::portProblem(QWidget*, const QString& text) {
    report_.note("   panel told: " + text.toStdString());
    invariants_.told(text);
}
void SoakOperator::expect(const std::string& bytes, std::int64_t sentAt, std::int64_t endAt,
                          int fewest, int most, std::int64_t periodUs) {
    // A closed port sends nothing: any frame that arrives then is caught as unexpected.
    if (!model_.open) {
        ++tallies_.sendsWhileClosed;
        return;
    }
    Incarnation* incarnation = world_.bound();
    if (!incarnation) return;  // its line went long ago: the frames go nowhere
    incarnation->ledger.expect(ExpectedFrames{sim::FrameLog::escape(bytes), model_.baud, sentAt,
                                              endAt, fewest, most, periodUs, opNumber_,
                                              model_.reopened});
}
void SoakOperator::speedChangedOnBoundLine(std::int64_t at) {
    if (Incarnation* incarnation = world_.bound()) incarnation->ledger.speedChanged(at);
}

}  // namespace panel::soak
