// The faults the plan draws, applied to the lines one at a time: a simulator stopped, or hung up,
// and restarted after a gap, or (over the network) its device server killed and started again.
#pragma once

#include <QObject>
#include <QTimer>
#include <map>

#include "tools/soak/fault_plan.h"

namespace panel::soak {

struct SoakWorld;

class SoakFaults final : public QObject {
public:
    explicit SoakFaults(SoakWorld& world);

    // The first fault is scheduled; each next one when the last has been undone.
    void start();
    void stop() { timer_.stop(); }

private:
    // A line restarted after its simulator ends.
    struct Restart {
        Fault fault;
        bool hungUpStarted = false;
    };

    void schedule();
    void apply(const Fault& fault);
    void restartServer(int line);
    void onLineEnded(int line);
    void restartLine(int line);

    SoakWorld& world_;
    FaultPlan plan_;
    QTimer timer_;
    Fault next_;
    std::map<int, Restart> restarts_;
};

}  // namespace panel::soak
