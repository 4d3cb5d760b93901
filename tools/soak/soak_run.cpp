#include "tools/soak/soak_run.h"

#include <malloc.h>
#include <QClipboard>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <QWindow>

#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>

#include "core/catalogue.h"
#include "core/monotonic.h"
#include "serial/line_stack.h"
#include "testkit/controls.h"
#include "tools/projector-sim/frame_log.h"
#include "tools/soak/counting_port.h"
#include "tools/soak/twin_ticks.h"
#include "ui/form1.h"

namespace panel::soak {
namespace {

// Longer than any open may take: 3 s to connect and 1 s for the line settings.
constexpr int kConnectPatienceMs = 5000;
// A frame overdue by this long is missing; a told outage must come within it too.
constexpr std::int64_t kPatienceUs = 10'000'000;
// A lost line that is back is open again within this, after the watcher's step in force then
// over the network: the panel reopens it by itself, with no one to reselect it.
constexpr std::int64_t kReopenGraceUs = 1'000'000;
// A selection may fail, or an outage be told, this long before the simulator's end is seen.
constexpr std::int64_t kFailureLeadUs = 200'000;
constexpr std::int64_t kTellLeadUs = 100'000;
// The simulator's exit may be seen this long after the panel told the hang-up; a tell still
// unexplained this long after it is a false alarm.
constexpr std::int64_t kEndAfterTellUs = 500'000;
constexpr std::int64_t kFalseAlarmUs = 3'000'000;
// What was sent at the old speed is given this long to arrive before a speed change.
constexpr int kSpeedDrainMs = 300;
// How long the simulators and servers get to start, and to stop.
constexpr int kStartMs = 20'000;
constexpr int kStopMs = 10'000;
// Memory growth is measured from the end of the first minute.
constexpr int kMemoryBaselineMs = 60'000;
constexpr std::size_t kRecentOperations = 20;
constexpr double kLatenessP99LimitMs = 20;
// The heap in use may grow this much after the first minute. The soak's own ledgers keep only
// what may still be read, so a growth beyond it is the panel's.
constexpr std::int64_t kMemoryGrowthLimitKiB = 2048;

std::int64_t residentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stoll(line.substr(6));
    return 0;
}

// What is allocated and not yet freed. Unlike the resident size it leaves out what the allocator
// keeps back from the system after a free, so a growth in it is memory held, not a fragment.
std::int64_t heapKiB() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<std::int64_t>((info.uordblks + info.hblkhd) / 1024);
}

std::string mib(std::int64_t kib) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(kib) / 1024.0);
    return text;
}

std::string fixed(double value, const char* unit) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f %s", value, unit);
    return text;
}

}  // namespace

SoakRun::SoakRun(SoakOptions options)
    : options_(std::move(options)),
      script_(options_.seed),
      // The faults draw from a stream of their own: the operator's draws stay the same.
      faults_(options_.seed ^ 0x5eedfa017ull, options_.network),
      schedule_([](int attempt) {
          return std::chrono::microseconds(LineWatcher::networkStep(attempt)).count();
      }) {
    for (int number = 1; number <= 2; ++number) {
        auto& sim = lines_[static_cast<std::size_t>(number - 1)];
        sim = std::make_unique<SimLine>(number, options_.simBinary, options_.workDir);
        connect(sim.get(), &SimLine::ended, this, &SoakRun::onLineEnded);
    }
    checkTimer_.setInterval(200);
    connect(&checkTimer_, &QTimer::timeout, this, &SoakRun::periodicCheck);
    faultTimer_.setSingleShot(true);
}

SoakRun::~SoakRun() {
    form_.reset();
    panelPort_.reset();
    line_.reset();
}

// ---- the window ----------------------------------------------------------------------------

QWidget* SoakRun::control(const std::string& name) const {
    return form_->findChild<QWidget*>(QString::fromStdString(name));
}

bool SoakRun::reachable(const std::string& name) const {
    QWidget* widget = control(name);
    if (!widget || !widget->isVisible()) return false;
    const QPoint at = widget->mapTo(form_.get(), widget->rect().center());
    if (!form_->rect().contains(at)) return false;
    QWidget* hit = form_->childAt(at);
    return hit == widget || widget->isAncestorOf(hit);
}

void SoakRun::click(const std::string& name) {
    QWidget* widget = control(name);
    QTest::mouseClick(form_->windowHandle(), Qt::LeftButton, {},
                      widget->mapTo(form_.get(), widget->rect().center()));
}

void SoakRun::doubleClick(const std::string& name) {
    QWidget* widget = control(name);
    QTest::mouseDClick(form_->windowHandle(), Qt::LeftButton, {},
                       widget->mapTo(form_.get(), widget->rect().center()));
}

void SoakRun::keyChord() {
    // Key presses go to the window, where its key preview sees them first.
    QKeyEvent down(QEvent::KeyPress, Qt::Key_J, Qt::ControlModifier, QString(QChar(10)));
    QCoreApplication::sendEvent(form_->windowHandle(), &down);
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_J, Qt::ControlModifier, QString(QChar(10)));
    QCoreApplication::sendEvent(form_->windowHandle(), &up);
}

bool SoakRun::bringIntoView(const std::string& name) {
    if (reachable(name)) return true;
    QWidget* widget = control(name);
    if (!widget || form_->rect().contains(widget->mapTo(form_.get(), widget->rect().center())))
        return false;  // covered (by the port selector), not out of view
    note("   (Ctrl+J and a double-click on the logo to bring " + name + " into view)");
    keyChord();
    if (reachable(controls::kLogo)) doubleClick(controls::kLogo);
    return reachable(name);
}

bool SoakRun::openPortSelector() {
    if (control(controls::kPortFrame)->isVisible()) return true;
    if (!reachable(controls::kPortSelector)) return false;
    click(controls::kPortSelector);
    return control(controls::kPortFrame)->isVisible();
}

// ---- what was sent -------------------------------------------------------------------------

SimLine& SoakRun::line(int number) const {
    return *lines_[static_cast<std::size_t>(number - 1)];
}

bool SoakRun::serverWentSinceOpen() const {
    if (!options_.network || model_.boundLine == 0) return false;
    const std::int64_t down = line(model_.boundLine).serverDownAt();
    return down != 0 && down >= model_.openedAt;
}

Incarnation* SoakRun::bound() {
    if (model_.boundLine == 0) return nullptr;
    return line(model_.boundLine).find(model_.boundId);
}

void SoakRun::expect(const std::string& bytes, std::int64_t sentAt, std::int64_t endAt, int fewest,
                     int most, std::int64_t periodUs) {
    // A closed port sends nothing: any frame that arrives then is caught as unexpected.
    if (!model_.open) {
        ++sendsWhileClosed_;
        return;
    }
    Incarnation* incarnation = bound();
    if (!incarnation) return;  // its line went long ago: the frames go nowhere
    incarnation->ledger.expect(ExpectedFrames{sim::FrameLog::escape(bytes), model_.baud, sentAt,
                                              endAt, fewest, most, periodUs, opNumber_,
                                              model_.reopened});
}

void SoakRun::speedChangedOnBoundLine(std::int64_t at) {
    if (Incarnation* incarnation = bound()) incarnation->ledger.speedChanged(at);
}

// ---- the operator --------------------------------------------------------------------------

void SoakRun::note(const std::string& line) {
    recent_.push_back(line);
    while (recent_.size() > kRecentOperations) recent_.pop_front();
}

void SoakRun::perform(Op op) {
    ++opNumber_;
    note("#" + std::to_string(opNumber_) + " " + Describe(op));
    ++opCounts_[KindName(op.kind)];
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

bool SoakRun::skipped(bool possible, const std::string& why) {
    if (possible) return false;
    ++skipped_;
    note("   (skipped: " + why + ")");
    return true;
}

bool SoakRun::readyFor(std::initializer_list<std::string> names, const std::string& what) {
    for (const std::string& name : names)
        if (skipped(bringIntoView(name), what + " is covered")) return false;
    return true;
}

void SoakRun::clickOp(const Op& op) {
    if (!readyFor({op.control}, op.control)) return;
    const OneShotRow* row = FindOneShot(op.control);
    // Expected before the click: the click's own event processing may already read the log.
    const std::int64_t sentAt = MonotonicMicros();
    expect(std::string(row->code), sentAt, sentAt, 1, 1, 0);
    click(op.control);
    if (row->setsArrowPacing)
        model_.timer1Interval = static_cast<int>(kArrowPacingInterval.count());
}

void SoakRun::holdOp(const Op& op) {
    if (!readyFor({op.control}, op.control)) return;
    const HoldRow* row = FindHold(op.control);
    const int period = row->kind == HoldKind::Fixed ? static_cast<int>(row->repeatInterval.count())
                                                    : model_.timer1Interval;
    QWidget* widget = control(op.control);
    const QPoint at = widget->mapTo(form_.get(), widget->rect().center());

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
    const HeldFor held = pressFor(at, period, op.holdMs);
    holding_.reset();

    if (row->kind == HoldKind::Fixed) model_.timer1Interval = period;
    if (row->zoomRelease) model_.timer1Interval = static_cast<int>(kZoomReleaseInterval.count());
    // 1 + n frames for n whole periods, within one period; no fewer than the twin promises.
    const auto periods = static_cast<int>((held.releasedAt - pressedAt) / (period * 1000));
    if (held.twinTicks < periods) ++holdsSlowed_;
    compareWithTwin(held);
    finishHold(boundLine != 0 ? line(boundLine).find(boundId) : nullptr, held, periods + 2);

    if (form_->controller().state().RepeatKey != 0 ||
        form_->controller().timers().repeat.isEnabled())
        fail("after the release of " + op.control + " the repeat is still armed");
}

SoakRun::HeldFor SoakRun::pressFor(const QPoint& at, int periodMs, int holdMs) {
    const std::size_t writesBefore = panelPort_->writes();
    const int lineBefore = model_.boundLine;
    const int idBefore = model_.boundId;
    const bool openBefore = model_.open;
    const int reopensBefore = outagesSurvived_;
    QTest::mousePress(form_->windowHandle(), Qt::LeftButton, {}, at);
    // A twin of the repeat timer in the same event loop: a tick the loop could not take in time
    // is dropped, not made up, for the twin as for the panel, so its count is what the loop
    // allowed on a busy machine (less the ticks its stalls may have cost the panel's timer).
    QTimer twin;
    twin.setTimerType(Qt::PreciseTimer);
    HeldFor held;
    TwinTicks ticks(MonotonicMicros(), std::int64_t{periodMs} * 1000);
    connect(&twin, &QTimer::timeout, &twin, [&ticks] { ticks.tick(MonotonicMicros()); });
    twin.start(periodMs);
    QEventLoop loop;
    // The release is taken in its turn among the repeat ticks, as on a desktop.
    QTimer::singleShot(holdMs, Qt::PreciseTimer, &loop, [&] {
        twin.stop();
        held.releasedAt = MonotonicMicros();
        QTest::mouseRelease(form_->windowHandle(), Qt::LeftButton, {}, at);
        loop.quit();
    });
    loop.exec();
    held.twinTicks = ticks.count();
    held.twinFewest = ticks.fewestFrames();
    held.written = static_cast<int>(panelPort_->writes() - writesBefore);
    held.reopened = outagesSurvived_ != reopensBefore;
    held.stayedOpen = openBefore && model_.open && !held.reopened &&
                      model_.boundLine == lineBefore && model_.boundId == idBefore;
    return held;
}

void SoakRun::finishHold(Incarnation* pressed, const HeldFor& held, int most) {
    // A reopen cut the hold in two: its second part, begun on the reopened line, gets as many
    // frames as may come; its outage already excuses the first.
    const int fewest = held.reopened ? 0 : held.twinFewest;
    if (pressed) pressed->ledger.finish(opNumber_, held.releasedAt, fewest, most);
    if (Incarnation* now = bound(); now && now != pressed)
        now->ledger.finish(opNumber_, held.releasedAt, 0, most);
}

void SoakRun::compareWithTwin(const HeldFor& held) {
    if (!held.stayedOpen) return;
    const int behind = held.twinTicks + 1 - held.written;
    if (behind <= 0) return;
    ++holdsBehindTwin_;
    mostBehindTwin_ = std::max(mostBehindTwin_, behind);
    note("   (the port wrote " + std::to_string(held.written) + " frames; the twin had " +
         std::to_string(held.twinTicks) + " ticks)");
}

void SoakRun::manualOp(const Op& op) {
    if (!readyFor({controls::kManualEntry, controls::kSend}, "the manual entry")) return;
    auto* box = form_->findChild<QLineEdit*>(QString::fromLatin1(controls::kManualEntry));
    const QString text =
        QString::fromLatin1(op.text.data(), static_cast<qsizetype>(op.text.size()));
    click(controls::kManualEntry);
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
    if (box->text() != text) {
        fail(std::string(controls::kManualEntry) + " holds \"" + box->text().toStdString() +
             "\" after the operator entered \"" + text.toStdString() + "\"");
        return;
    }
    const std::int64_t sentAt = MonotonicMicros();
    expect(op.text, sentAt, sentAt, 1, 1, 0);
    click(controls::kSend);
}

void SoakRun::portOp(int port) {
    if (skipped(openPortSelector(), "COM is covered")) return;
    const std::size_t failuresBefore = failures_;
    const std::int64_t now = MonotonicMicros();
    if (model_.open) speedChangedOnBoundLine(now);  // the selection closes the open port first
    // The operator's selection ends any wait for a lost line.
    model_.open = model_.waiting = model_.lostUntold = model_.reopened = false;
    selecting_ = port;
    selectingSince_ = now;
    click(port == 1 ? controls::kCom1 : controls::kCom2);
    model_.port = port;
    // A network line connects from the event loop: the selection is answered when it settles.
    (void)waitUntil([this] { return !panelPort_->isOpening(); }, kConnectPatienceMs);
    selecting_ = 0;
    if (failures_ > failuresBefore)
        selectionFailed(port);
    else
        selectionOpened(port, now);
}

void SoakRun::selectionFailed(int port) {
    model_.open = false;
    if (panelPort_->isOpen())
        return fail("a failed selection of COM" + std::to_string(port) + " left the port open");
    SimLine& sim = line(port);
    Incarnation* live = sim.live();
    if (live && live->up && !live->downBy(MonotonicMicros() + kFailureLeadUs) &&
        !(options_.network && sim.serverDown()))
        fail("selecting COM" + std::to_string(port) +
             " failed while its simulator was serving: " + lastFailure_);
}

void SoakRun::selectionOpened(int port, std::int64_t now) {
    // Opened, and lost before the selection was answered: that outage is told like any other.
    if (model_.boundLine == port && model_.openedAt >= now && (model_.lostUntold || model_.told))
        return;
    if (!panelPort_->isOpen())
        return fail("selecting COM" + std::to_string(port) + " showed nothing but left it closed");
    Incarnation* live = line(port).live();
    // Through a device server the connection opens with no simulator behind it and is lost
    // at once; that outage is told like any other.
    if (!live && !options_.network)
        return fail("COM" + std::to_string(port) + " opened with no simulator behind it");
    bindTo(port, now);
}

void SoakRun::bindTo(int port, std::int64_t at) {
    const Incarnation* live = line(port).live();
    model_.open = true;
    model_.told = false;
    model_.boundLine = port;
    model_.boundId = live ? live->id : 0;
    model_.openedAt = at;
    boundDownSeen_.reset();
}

void SoakRun::portWrote(std::string_view bytes) {
    // The simulator logs a frame without its CR.
    if (bytes.ends_with('\r')) bytes.remove_suffix(1);
    Incarnation* incarnation = model_.open ? bound() : nullptr;
    if (!incarnation || !incarnation->ledger.wrote(sim::FrameLog::escape(bytes), MonotonicMicros()))
        ++writesUnmatched_;
}

void SoakRun::portLost() {
    if (!model_.open) return;
    model_.open = false;
    model_.lostUntold = model_.waiting = true;
}

void SoakRun::portOpened() {
    const std::int64_t now = MonotonicMicros();
    // A selection's open settling binds the line at once: it may be lost before it is answered.
    if (selecting_ != 0) return bindTo(selecting_, selectingSince_);
    if (!model_.waiting || windingDown_) return;
    note("   panel reopened COM" + std::to_string(model_.port) + " by itself");
    if (model_.lostUntold)
        return fail("COM" + std::to_string(model_.port) +
                    " was lost and reopened by itself, and the operator was never told");
    if (const std::optional<ReturnDue> due = returnDue(); due && now > due->by)
        return fail("COM" + std::to_string(model_.port) + " reopened " +
                    std::to_string((now - due->from) / 1000) + " ms after its line was back; " +
                    std::to_string((due->by - due->from) / 1000) + " ms allowed (the wait " +
                    schedule_.course(due->from) + ")");
    if (!line(model_.port).live() && !options_.network)
        return fail("COM" + std::to_string(model_.port) + " reopened with no simulator behind it");
    // A hold under way goes on repeating into the reopened line: a part of its own from here.
    if (Incarnation* before = bound(); before && holding_)
        before->ledger.finish(holding_->op, now, 0, std::numeric_limits<int>::max());
    ++outagesSurvived_;
    model_.waiting = false;
    model_.reopened = true;
    bindTo(model_.port, now);
    if (Incarnation* incarnation = bound(); incarnation && holding_) {
        ExpectedFrames rest = *holding_;
        rest.baud = model_.baud;
        rest.sentAt = now;
        incarnation->ledger.expect(std::move(rest));
    }
}

void SoakRun::speedOp(int baud) {
    // Let what was sent at the old speed arrive first.
    if (Incarnation* incarnation = bound())
        (void)waitUntil([incarnation,
                         this] { return bound() != incarnation || incarnation->ledger.caughtUp(); },
                        kSpeedDrainMs);
    if (skipped(openPortSelector(), "COM is covered")) return;
    const std::size_t failuresBefore = failures_;
    const std::int64_t now = MonotonicMicros();
    click(baud == 19200 ? controls::kBaud19200 : controls::kBaud9600);
    if (failures_ > failuresBefore)
        return fail("selecting " + std::to_string(baud) + " baud failed: " + lastFailure_);
    if (model_.open) speedChangedOnBoundLine(now);
    model_.baud = baud;
}

void SoakRun::panelOp(const Op& op) {
    switch (op.panel) {
        case PanelAction::KeyChord:
            return keyChord();
        case PanelAction::LogoDoubleClick:
            if (!skipped(reachable(controls::kLogo), "the logo is not in view"))
                doubleClick(controls::kLogo);
            return;
        case PanelAction::Command34:
            if (!skipped(reachable(controls::kDataPanel), "the data panel button is not in view"))
                click(controls::kDataPanel);
            return;
        case PanelAction::Cls:
            if (!skipped(reachable(controls::kClear), "CLS is not in view"))
                click(controls::kClear);
            return;
    }
}

// ---- faults --------------------------------------------------------------------------------

void SoakRun::scheduleFault() {
    if (windingDown_) return;
    nextFault_ = faults_.next();
    faultTimer_.disconnect();
    connect(&faultTimer_, &QTimer::timeout, this, [this] { applyFault(nextFault_); });
    faultTimer_.start(nextFault_.afterMs);
}

void SoakRun::applyFault(const Fault& fault) {
    ++faultCounts_[FaultName(fault.kind)];
    note("   fault: " + Describe(fault));
    SimLine& sim = line(fault.line);
    if (fault.kind == FaultKind::DeviceServer) {
        sim.killServer();
        const int number = fault.line;
        QTimer::singleShot(fault.restartGapMs, this, [this, number] {
            if (windingDown_) return;
            SimLine& again = line(number);
            again.startServer();
            // Served again once it listens; then the next fault.
            auto* poll = new QTimer(this);
            connect(poll, &QTimer::timeout, this, [this, poll, &again] {
                if (!again.serverListening() && !windingDown_) return;
                again.serverBack();
                poll->deleteLater();
                poll->stop();
                scheduleFault();
            });
            poll->start(20);
        });
        return;
    }
    restarts_[fault.line] = Restart{fault, false};
    if (sim.live())
        sim.stop();
    else
        onLineEnded(fault.line);
}

void SoakRun::onLineEnded(int lineNumber) {
    if (windingDown_) return;
    const auto found = restarts_.find(lineNumber);
    if (found == restarts_.end()) {
        fail("the COM" + std::to_string(lineNumber) + " simulator ended unasked");
        return;
    }
    const int gap = found->second.fault.restartGapMs;
    QTimer::singleShot(gap, this, [this, lineNumber] {
        if (windingDown_) return;
        Restart& restart = restarts_[lineNumber];
        SimLine& sim = line(lineNumber);
        if (restart.fault.kind == FaultKind::HangUp && !restart.hungUpStarted) {
            // This one hangs up by itself; the clean restart follows its end.
            restart.hungUpStarted = true;
            sim.start(restart.fault.args);
            return;
        }
        sim.start(restart.fault.kind == FaultKind::HangUp ? std::vector<std::string>{}
                                                          : restart.fault.args);
        restarts_.erase(lineNumber);
        scheduleFault();
    });
}

// ---- invariants ----------------------------------------------------------------------------

void SoakRun::fail(const std::string& what) {
    if (broken_.empty()) broken_ = what;
}

FailureReply SoakRun::portSelectionFailed(QWidget*, const QString& text, bool) {
    ++failures_;
    lastFailure_ = text.toStdString();
    note("   panel showed: " + lastFailure_);
    return FailureReply::Dismissed;
}

void SoakRun::portProblem(QWidget*, const QString& text) {
    const std::int64_t now = MonotonicMicros();
    note("   panel told: " + text.toStdString());
    if (windingDown_) return;
    if (!(model_.open || model_.lostUntold) || model_.told)
        return fail("a port problem was told again before any port had opened: " +
                    text.toStdString());
    SimLine& sim = line(model_.boundLine);
    const QString name = options_.network ? sim.url() : sim.link();
    if (!text.startsWith(name + QStringLiteral(": ")) || text.count(name) != 1)
        return fail("the port problem does not name the line " + name.toStdString() +
                    " once, in front: " + text.toStdString());
    model_.told = true;
    model_.open = model_.lostUntold = false;
    model_.waiting = true;
    Incarnation* incarnation = bound();
    if (incarnation && !incarnation->downBy(now + kTellLeadUs) && !serverWentSinceOpen())
        unexplainedTell_ = PendingTell{model_.boundLine, model_.boundId, now, text.toStdString()};
}

void SoakRun::periodicCheck() {
    const std::int64_t now = MonotonicMicros();
    for (auto& line : lines_)
        if (std::string broken = line->check(now, kPatienceUs); !broken.empty())
            return fail(broken);
    if (windingDown_) return;

    // An outage of the open line must be told, and within the patience; so must one the port
    // noticed itself (it is closed by then, the tell still due).
    const bool held = model_.open || model_.lostUntold;
    if (held && !boundDownSeen_) {
        Incarnation* incarnation = bound();
        if (!incarnation)
            boundDownSeen_ = now;
        else if (serverWentSinceOpen())
            boundDownSeen_ = line(model_.boundLine).serverDownAt();
        else if (incarnation->downBy(now))
            boundDownSeen_ =
                std::min(incarnation->downAt.value_or(now), incarnation->hangupAt.value_or(now));
    }
    if (held && boundDownSeen_ && !model_.told && now - *boundDownSeen_ > kPatienceUs)
        return fail("COM" + std::to_string(model_.boundLine) +
                    "'s line went down and the operator was never told");

    // A problem told while its line was serving is a false alarm, unless the line's end shows up
    // a moment later (the simulator's exit is seen after the panel's hang-up).
    if (unexplainedTell_) {
        Incarnation* incarnation = line(unexplainedTell_->line).find(unexplainedTell_->id);
        if (!incarnation || incarnation->downBy(unexplainedTell_->at + kEndAfterTellUs) ||
            serverWentSinceOpen())
            unexplainedTell_.reset();
        else if (now - unexplainedTell_->at > kFalseAlarmUs)
            return fail("a port problem was told while its line was up: " + unexplainedTell_->text);
    }
    checkReturn(now);
}

std::optional<std::int64_t> SoakRun::lineBackSince(int number) {
    const Incarnation* live = line(number).live();
    if (!live || !live->up) return std::nullopt;
    if (!options_.network) return live->upAt;
    if (line(number).serverDown()) return std::nullopt;
    return std::max(live->upAt, line(number).serverUpAt());
}

std::optional<SoakRun::ReturnDue> SoakRun::returnDue() {
    const std::optional<std::int64_t> back =
        model_.waiting ? lineBackSince(model_.port) : std::nullopt;
    if (!back) return std::nullopt;
    // Back before the loss was seen: the wait, and its steps, start from the loss.
    const std::int64_t from = std::max(*back, schedule_.beganAt());
    const std::int64_t step = options_.network ? schedule_.stepAt(from) : 0;
    return ReturnDue{from, step, from + step + kReopenGraceUs};
}

void SoakRun::checkReturn(std::int64_t now) {
    const std::optional<ReturnDue> due = returnDue();
    // A simulator that hangs up by itself before then is not back for good.
    if (!due || now <= due->by || line(model_.port).live()->downBy(due->by)) return;
    fail("COM" + std::to_string(model_.port) + "'s line has been back for " +
         std::to_string((now - due->from) / 1000) +
         " ms and the panel has not reopened it (allowed: " +
         (options_.network
              ? "the watcher's " + std::to_string(due->stepUs / 1000) + " ms step and 1 s"
              : std::string("1 s")) +
         (schedule_.waiting() ? "; the wait " + schedule_.course(due->from) + ")"
                              : std::string("; the panel is not waiting for it)")));
}

void SoakRun::checkWindowState() {
    if (panelPort_->isOpen()) {
        if (!model_.open) return fail("the port is open though no selection opened it");
        if (panelPort_->commPort() != model_.port)
            return fail("the open port is COM" + std::to_string(panelPort_->commPort()) + "; COM" +
                        std::to_string(model_.port) + " was selected");
    }
    const int baud = options_.network ? line_->network().lineSettings().baudRate
                                      : line_->local().lineSettings().baudRate;
    if (baud != model_.baud)
        return fail("the line is set to " + std::to_string(baud) + " baud; " +
                    std::to_string(model_.baud) + " was selected");
}

// ---- waiting -------------------------------------------------------------------------------

void SoakRun::pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool SoakRun::waitUntil(const std::function<bool()>& done, int ms) {
    // Not QTest::qWaitFor: it sleeps in 10 ms steps, which the lateness probe would count.
    const std::int64_t deadline = MonotonicMicros() + std::int64_t{ms} * 1000;
    while (!done()) {
        if (MonotonicMicros() >= deadline) return false;
        pause(5);
    }
    return true;
}

// ---- the run -------------------------------------------------------------------------------

int SoakRun::run() {
    if (!startLines() || !openWindow()) return 2;
    operate();
    const std::int64_t ranUs = MonotonicMicros() - startedAt_;
    windDown();
    judgeTimeAndMemory();
    summary(ranUs);
    return broken_.empty() ? 0 : report();
}

bool SoakRun::serving(int number) {
    const Incarnation* live = line(number).live();
    return live && live->up;
}

bool SoakRun::startLines() {
    for (auto& sim : lines_) sim->start({});
    // A simulator that ends at start leaves no live incarnation to wait for. Each line is waited
    // for on its own: the other's end may not have been seen yet when one has ended.
    (void)waitUntil(
        [this] { return (serving(1) || !line(1).live()) && (serving(2) || !line(2).live()); },
        kStartMs);
    for (int number = 1; number <= 2; ++number)
        if (!serving(number)) {
            std::fprintf(stderr, "soak: the COM%d simulator %s\n", number,
                         line(number).live() ? "did not start" : "ended at start");
            return false;
        }
    if (!options_.network) return true;
    for (auto& sim : lines_) sim->startServer();
    if (!waitUntil([this] { return line(1).serverListening() && line(2).serverListening(); },
                   kStartMs)) {
        std::fprintf(stderr, "soak: ser2net did not listen (see %s)\n",
                     qPrintable(options_.workDir));
        return false;
    }
    return true;
}

void SoakRun::buildPorts() {
    // As the program builds them, and counted on the window's side.
    const PortDevices devices = options_.network ? PortDevices{line(1).url(), line(2).url()}
                                                 : PortDevices{line(1).link(), line(2).link()};
    line_ = std::make_unique<LineStack>(LineConfig{.devices = devices, .reopenLostLines = true});
    panelPort_ = std::make_unique<CountingPort>(
        line_->port(), CountingPort::Observer{[this](std::string_view bytes) { portWrote(bytes); },
                                              [this] { portLost(); }, [this] { portOpened(); }});
    connect(line_->watcher(), &LineWatcher::waitChanged, this, [this](int port) {
        if (port == 0)
            schedule_.ended();
        else
            schedule_.began(MonotonicMicros());
    });
    // After the port's own connection: the try has been made when this runs.
    connect(line_->watcher(), &LineWatcher::tryNow, this,
            [this] { schedule_.tried(MonotonicMicros()); });
}

bool SoakRun::openWindow() {
    buildPorts();
    form_ = std::make_unique<Form1>(*panelPort_, this);
    form_->describePorts(line_->port().device(1), line_->port().device(2));
    connect(line_->watcher(), &LineWatcher::waitChanged, form_.get(), &Form1::showLineWait);
    form_->load();
    form_->show();
    form_->activateWindow();
    (void)QTest::qWaitForWindowActive(form_.get());
    (void)waitUntil([this] { return !panelPort_->isOpening(); }, kConnectPatienceMs);
    const Incarnation* live = line(1).live();
    if (!panelPort_->isOpen() || !live) {
        std::fprintf(stderr, "soak: the panel did not open COM1: %s\n",
                     live ? lastFailure_.c_str() : "its simulator ended");
        return false;
    }
    bindTo(1, MonotonicMicros());
    return true;
}

void SoakRun::operate() {
    probe_ = std::make_unique<LatenessProbe>();
    startedAt_ = MonotonicMicros();
    memoryStart_ = measureMemory();
    memoryTrend_.start();
    QTimer::singleShot(kMemoryBaselineMs, this, [this] { memoryMinute_ = measureMemory(); });
    checkTimer_.start();
    scheduleFault();
    const auto length = static_cast<std::int64_t>(options_.minutes * 60e6);
    while (MonotonicMicros() - startedAt_ < length && broken_.empty()) {
        const Op op = script_.next();
        perform(op);
        if (!broken_.empty()) break;
        checkWindowState();
        pause(op.pauseMs);
    }
}

void SoakRun::windDown() {
    // No more faults; what was sent arrives, then the window and the lines go.
    windingDown_ = true;
    faultTimer_.stop();
    if (broken_.empty()) {
        const bool arrived = waitUntil(
            [this] {
                periodicCheck();
                return !broken_.empty() || (lines_[0]->caughtUp() && lines_[1]->caughtUp());
            },
            static_cast<int>(kPatienceUs / 1000));
        if (!arrived && broken_.empty()) fail("frames still missing at the end of the run");
    }
    memoryEnd_ = measureMemory();
    checkTimer_.stop();
    panelWrites_ = panelPort_->writes();
    form_.reset();
    panelPort_.reset();
    line_.reset();
    for (auto& sim : lines_) {
        sim->killServer();
        sim->stop();
    }
    (void)waitUntil([this] { return !lines_[0]->live() && !lines_[1]->live(); }, kStopMs);
    if (broken_.empty()) periodicCheck();
}

void SoakRun::judgeTimeAndMemory() {
    if (!broken_.empty() || options_.timingReportOnly) return;
    if (probe_->percentile(0.99) >= kLatenessP99LimitMs)
        fail("the event loop's 99th percentile lateness is " +
             fixed(probe_->percentile(0.99), "ms") + ", not under 20 ms");
    else if (memoryMinute_ && memoryEnd_.heapKiB - memoryMinute_->heapKiB > kMemoryGrowthLimitKiB)
        fail("the heap in use grew from " + mib(memoryMinute_->heapKiB) +
             " after the first minute to " + mib(memoryEnd_.heapKiB) + " at the end");
}

SoakRun::Memory SoakRun::measureMemory() {
    return {residentKiB(), heapKiB()};
}

int SoakRun::report() const {
    std::printf("\nSOAK FAILED: %s\nseed: %llu (replay: scripts/soak --seed %llu --minutes %g%s)\n",
                broken_.c_str(), static_cast<unsigned long long>(options_.seed),
                static_cast<unsigned long long>(options_.seed), options_.minutes,
                options_.network ? " --network" : "");
    std::printf("last %zu operations, newest last:\n", recent_.size());
    for (const std::string& entry : recent_) std::printf("  %s\n", entry.c_str());
    std::fflush(stdout);
    return 1;
}

namespace {

// "<total> (<kind> <count>, ..." for a tally by kind.
std::string tally(const std::map<std::string, int>& counts) {
    int total = 0;
    std::string kinds;
    for (const auto& [kind, count] : counts) {
        total += count;
        kinds += (kinds.empty() ? "" : ", ") + kind + " " + std::to_string(count);
    }
    return std::to_string(total) + " (" + kinds;
}

}  // namespace

void SoakRun::summary(std::int64_t ranUs) const {
    std::ostringstream out;
    out << "soak summary: seed " << options_.seed << ", ran " << fixed(ranUs / 60e6, "min") << "\n";
    out << "  operations: " << tally(opCounts_) << "; " << skipped_
        << " not possible at the time: control covered or out of view)\n";
    out << "  faults injected: " << tally(faultCounts_) << ")\n";
    const auto holds = opCounts_.find("hold");
    out << "  holds: " << (holds == opCounts_.end() ? 0 : holds->second) << " in all, "
        << holdsSlowed_
        << " on which the busy event loop dropped repeat ticks (the fewest frames lowered to "
           "what a twin timer got); "
        << holdsBehindTwin_ << " on which the port wrote fewer frames than 1 + the twin's ticks"
        << (holdsBehindTwin_ ? " (at most " + std::to_string(mostBehindTwin_) + " fewer)" : "")
        << "\n";
    out << "  outages survived: " << outagesSurvived_
        << " (told once, then reopened by the panel itself with no one reselecting it)\n";
    frameSummary(out);
    out << "  event loop lateness (" << LatenessProbe::kPeriodMs << " ms probe, "
        << probe_->samples() << " ticks): median " << fixed(probe_->percentile(0.5), "ms")
        << ", p99 " << fixed(probe_->percentile(0.99), "ms") << ", max "
        << fixed(probe_->maximum(), "ms") << "\n";
    const auto figures = [this](std::int64_t Memory::*figure) {
        return "start " + mib(memoryStart_.*figure) + ", after the first minute " +
               (memoryMinute_ ? mib(*memoryMinute_.*figure) : "(the run was shorter)") + ", end " +
               mib(memoryEnd_.*figure);
    };
    out << "  heap in use: " << figures(&Memory::heapKiB) << "\n";
    out << "  resident memory: " << figures(&Memory::residentKiB)
        << " (with what the allocator keeps after frees)\n";
    if (options_.timingReportOnly)
        out << "  (lateness and memory reported only: not checked in this run)\n";
    out << (broken_.empty() ? "  every invariant held\n" : "");
    std::fputs(out.str().c_str(), stdout);
    std::fflush(stdout);
}

void SoakRun::frameSummary(std::ostream& out) const {
    std::size_t checked = 0;
    std::size_t lost = 0;
    std::size_t lostOnTheWay = 0;
    std::size_t afterSpeed = 0;
    for (const auto& sim : lines_) {
        checked += sim->checked();
        lost += sim->lost();
        lostOnTheWay += sim->lostOnTheWay();
        afterSpeed += sim->readAfterSpeedChange();
    }
    out << "  frames checked: " << checked << " (" << sendsWhileClosed_
        << " operations sent on a closed port and nothing came of them; " << lost
        << " lost with a line in the second before it went down, " << lostOnTheWay
        << " of them written by the port and " << lost - lostOnTheWay << " never written; "
        << afterSpeed << " read by the simulator after a later speed change)\n";
    out << "  port writes: " << panelWrites_ << " frames written by the panel's port, "
        << writesUnmatched_ << " of them not sent by any operation of the line's\n";
}

}  // namespace panel::soak
