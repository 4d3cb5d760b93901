// The soak: the real window, offscreen and in process, driven by the seeded operator with Qt's
// test events against two simulators that the fault plan keeps restarting; every invariant checked
// from the simulators' frame logs and the window's own state.
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <memory>

#include "tools/soak/lateness_probe.h"
#include "tools/soak/memory_trend.h"
#include "tools/soak/operator_script.h"
#include "tools/soak/soak_faults.h"
#include "tools/soak/soak_invariants.h"
#include "tools/soak/soak_operator.h"
#include "tools/soak/soak_options.h"
#include "tools/soak/soak_window.h"
#include "tools/soak/soak_world.h"

namespace panel {
class Form1;
class LineStack;
}  // namespace panel

namespace panel::soak {

class CountingPort;

class SoakRun final : public QObject {
public:
    explicit SoakRun(SoakOptions options);
    ~SoakRun() override;

    // Runs to the end or to the first broken invariant; the process's exit status.
    int run();

private:
    // The run's stages; the first two print why they could not start.
    bool startLines();
    void buildPorts();
    bool openWindow();
    void operate();
    void windDown();
    // The speed the open line is set to, as the serial layer has it.
    int lineBaud() const;
    void closeWindow();

    SoakWorld world_;
    OperatorScript script_;
    SoakFaults faults_;
    SoakInvariants invariants_;
    SoakWindow window_;
    SoakOperator operator_;
    std::unique_ptr<LineStack> line_;
    std::unique_ptr<CountingPort> panelPort_;  // what the window drives
    std::unique_ptr<Form1> form_;
    std::unique_ptr<LatenessProbe> probe_;
    QTimer checkTimer_;
    std::int64_t startedAt_ = 0;
    MemoryTrend memoryTrend_;
};

}  // namespace panel::soak
