#include "tools/soak/soak_faults.h"

#include "tools/soak/soak_world.h"

namespace panel::soak {

SoakFaults::SoakFaults(SoakWorld& world)
    : world_(world),
      // The faults draw from a stream of their own: the operator's draws stay the same.
      plan_(world.options.seed ^ 0x5eedfa017ull, world.options.network) {
    for (auto& line : world_.lines)
        connect(line.get(), &SimLine::ended, this, &SoakFaults::onLineEnded);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] { apply(next_); });
}

void SoakFaults::start() {
    schedule();
}

void SoakFaults::schedule() {
    if (world_.windingDown) return;
    next_ = plan_.next();
    timer_.start(next_.afterMs);
}

void SoakFaults::apply(const Fault& fault) {
    ++world_.report.tallies.faults[FaultName(fault.kind)];
    world_.report.note("   fault: " + Describe(fault));
    SimLine& sim = world_.line(fault.line);
    if (fault.kind == FaultKind::DeviceServer) {
        sim.killServer();
        const int number = fault.line;
        QTimer::singleShot(fault.restartGapMs, this, [this, number] { restartServer(number); });
        return;
    }
    restarts_[fault.line] = Restart{fault, false};
    if (sim.live())
        sim.stop();
    else
        onLineEnded(fault.line);
}

void SoakFaults::restartServer(int line) {
    if (world_.windingDown) return;
    SimLine& again = world_.line(line);
    again.startServer();
    // Served again once it listens; then the next fault.
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this, poll, &again] {
        if (!again.serverListening() && !world_.windingDown) return;
        again.serverBack();
        poll->deleteLater();
        poll->stop();
        schedule();
    });
    poll->start(20);
}

void SoakFaults::onLineEnded(int line) {
    if (world_.windingDown) return;
    const auto found = restarts_.find(line);
    if (found == restarts_.end()) {
        world_.report.fail("the COM" + std::to_string(line) + " simulator ended unasked");
        return;
    }
    const int gap = found->second.fault.restartGapMs;
    QTimer::singleShot(gap, this, [this, line] { restartLine(line); });
}

void SoakFaults::restartLine(int line) {
    if (world_.windingDown) return;
    Restart& restart = restarts_[line];
    SimLine& sim = world_.line(line);
    if (restart.fault.kind == FaultKind::HangUp && !restart.hungUpStarted) {
        // This one hangs up by itself; the clean restart follows its end.
        restart.hungUpStarted = true;
        sim.start(restart.fault.args);
        return;
    }
    sim.start(restart.fault.kind == FaultKind::HangUp ? std::vector<std::string>{}
                                                      : restart.fault.args);
    restarts_.erase(line);
    schedule();
}

}  // namespace panel::soak
