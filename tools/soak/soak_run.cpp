#include "tools/soak/soak_run.h"

#include <QTimer>
#include <cstdio>

#include "core/monotonic.h"
#include "serial/line_stack.h"
#include "tools/soak/counting_port.h"
#include "tools/soak/loop_wait.h"
#include "ui/form1.h"

namespace panel::soak {
namespace {

// How long the simulators and servers get to start, and to stop.
constexpr int kStartMs = 20'000;
constexpr int kStopMs = 10'000;
// Memory growth is measured from the end of the first minute.
constexpr int kMemoryBaselineMs = 60'000;

}  // namespace

SoakRun::SoakRun(SoakOptions options)
    : world_(std::move(options)),
      script_(world_.options.seed),
      faults_(world_),
      invariants_(world_),
      window_(world_.report),
      operator_(world_, window_, invariants_) {
    checkTimer_.setInterval(200);
    connect(&checkTimer_, &QTimer::timeout, this, [this] { invariants_.periodicCheck(); });
}

SoakRun::~SoakRun() {
    closeWindow();
}

void SoakRun::closeWindow() {
    form_.reset();
    panelPort_.reset();
    line_.reset();
}

int SoakRun::run() {
    if (!startLines() || !openWindow()) return 2;
    operate();
    const std::int64_t ranUs = MonotonicMicros() - startedAt_;
    windDown();
    world_.report.judgeTimeAndMemory(world_.options, *probe_);
    world_.report.summary(world_.options, ranUs, *probe_, world_.lines);
    return world_.report.broken() ? world_.report.failure(world_.options) : 0;
}

bool SoakRun::startLines() {
    for (auto& sim : world_.lines) sim->start({});
    // A simulator that ends at start leaves no live incarnation to wait for. Each line is waited
    // for on its own: the other's end may not have been seen yet when one has ended.
    const auto settled = [this](int number) {
        return world_.serving(number) || !world_.line(number).live();
    };
    (void)WaitUntil([&settled] { return settled(1) && settled(2); }, kStartMs);
    for (int number = 1; number <= 2; ++number)
        if (!world_.serving(number)) {
            std::fprintf(stderr, "soak: the COM%d simulator %s\n", number,
                         world_.line(number).live() ? "did not start" : "ended at start");
            return false;
        }
    if (!world_.options.network) return true;
    for (auto& sim : world_.lines) sim->startServer();
    if (!WaitUntil(
            [this] { return world_.line(1).serverListening() && world_.line(2).serverListening(); },
            kStartMs)) {
        std::fprintf(stderr, "soak: ser2net did not listen (see %s)\n",
                     qPrintable(world_.options.workDir));
        return false;
    }
    return true;
}

void SoakRun::buildPorts() {
    // As the program builds them, and counted on the window's side.
    const SimLine& line1 = world_.line(1);
    const SimLine& line2 = world_.line(2);
    const PortDevices devices = world_.options.network ? PortDevices{line1.url(), line2.url()}
                                                       : PortDevices{line1.link(), line2.link()};
    line_ = std::make_unique<LineStack>(LineConfig{.devices = devices, .reopenLostLines = true});
    panelPort_ = std::make_unique<CountingPort>(
        line_->port(), CountingPort::Observer{
                           [this](std::string_view bytes) { operator_.portWrote(bytes); },
                           [this] { operator_.portLost(); }, [this] { operator_.portOpened(); }});
    connect(line_->watcher(), &LineWatcher::waitChanged, this, [this](int port) {
        if (port == 0)
            world_.schedule.ended();
        else
            world_.schedule.began(MonotonicMicros());
    });
    // After the port's own connection: the try has been made when this runs.
    connect(line_->watcher(), &LineWatcher::tryNow, this,
            [this] { world_.schedule.tried(MonotonicMicros()); });
}

int SoakRun::lineBaud() const {
    return world_.options.network ? line_->network().lineSettings().baudRate
                                  : line_->local().lineSettings().baudRate;
}

bool SoakRun::openWindow() {
    buildPorts();
    form_ = std::make_unique<Form1>(*panelPort_, &operator_);
    form_->describePorts(line_->port().device(1), line_->port().device(2));
    connect(line_->watcher(), &LineWatcher::waitChanged, form_.get(), &Form1::showLineWait);
    form_->load();
    operator_.attach(*form_, *panelPort_);
    window_.show(*form_);
    (void)WaitUntil([this] { return !panelPort_->isOpening(); }, SoakOperator::kConnectPatienceMs);
    const Incarnation* live = world_.line(1).live();
    if (!panelPort_->isOpen() || !live) {
        std::fprintf(stderr, "soak: the panel did not open COM1: %s\n",
                     live ? operator_.lastFailure().c_str() : "its simulator ended");
        return false;
    }
    operator_.bindTo(1, MonotonicMicros());
    return true;
}

void SoakRun::operate() {
    SoakReport& report = world_.report;
    probe_ = std::make_unique<LatenessProbe>();
    startedAt_ = MonotonicMicros();
    report.memoryStart = SoakReport::Memory::now();
    memoryTrend_.start();
    QTimer::singleShot(kMemoryBaselineMs, this,
                       [&report] { report.memoryMinute = SoakReport::Memory::now(); });
    checkTimer_.start();
    faults_.start();
    const auto length = static_cast<std::int64_t>(world_.options.minutes * 60e6);
    while (MonotonicMicros() - startedAt_ < length && !report.broken()) {
        const Op op = script_.next();
        operator_.perform(op);
        if (report.broken()) break;
        invariants_.checkWindowState(*panelPort_, lineBaud());
        Pause(op.pauseMs);
    }
}

void SoakRun::windDown() {
    // No more faults; what was sent arrives, then the window and the lines go.
    SoakReport& report = world_.report;
    world_.windingDown = true;
    faults_.stop();
    if (!report.broken()) {
        const bool arrived = WaitUntil(
            [this, &report] {
                invariants_.periodicCheck();
                return report.broken() ||
                       (world_.lines[0]->caughtUp() && world_.lines[1]->caughtUp());
            },
            static_cast<int>(SoakInvariants::kPatienceUs / 1000));
        if (!arrived && !report.broken()) report.fail("frames still missing at the end of the run");
    }
    report.memoryEnd = SoakReport::Memory::now();
    checkTimer_.stop();
    report.tallies.panelWrites = panelPort_->writes();
    closeWindow();
    for (auto& sim : world_.lines) {
        sim->killServer();
        sim->stop();
    }
    (void)WaitUntil([this] { return !world_.lines[0]->live() && !world_.lines[1]->live(); },
                    kStopMs);
    if (!report.broken()) invariants_.periodicCheck();
}

}  // namespace panel::soak
