// The soak's fleet leg: the fleet window polling eight simulators behind one ser2net while they
// fail and come back, and an operator's panel now and then holding one line. Checked after every
// poll cycle: each row shows what its simulator could answer, no row is stuck, the operator's
// connection is never cut by a poll, and resident memory stays flat.
#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QTcpSocket>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <vector>

#include "testkit/ser2net_process.h"
#include "ui/fleet_window.h"

namespace panel::soak {

struct FleetSoakOptions {
    double minutes = 2;
    std::uint64_t seed = 0;
    QString simBinary;
    QString workDir;
};

class FleetSoak final {
public:
    explicit FleetSoak(FleetSoakOptions options);
    ~FleetSoak();
    // Exit status: 0 when every invariant held.
    int run();

private:
    enum class Mode { Clean, Latency, Split, NoReply, Down };
    struct Sim {
        std::unique_ptr<QProcess> process;
        Mode mode = Mode::Clean;
        qint64 changedMs = 0;  // on the run's clock
    };

    bool startServer();
    void setMode(int index, Mode mode);
    void nextFault();
    void cycleEnded(qint64 wallMs);
    void check(int index, qint64 cycleStartMs);
    void holdLine();
    void releaseLine();
    void wireOperator();
    void broke(const QString& what);
    void watchdog();

    FleetSoakOptions options_;
    std::mt19937_64 random_;
    QElapsedTimer clock_;
    std::vector<Sim> sims_;
    std::unique_ptr<test::Ser2NetProcess> server_;
    std::uint16_t operatorPort_ = 0;  // a second raw port on the first simulator's line
    std::unique_ptr<FleetWindow> window_;
    QTimer faults_;
    QTimer operator_;
    QTimer watchdog_;
    QTcpSocket panel_;       // the operator's panel
    QByteArray panelHeard_;  // the start of what the panel's connection brought
    bool holding_ = false;
    qint64 holdStartMs_ = -1;
    qint64 holdEndMs_ = -1;
    int holds_ = 0;
    int answersWhileHolding_ = 0;
    qint64 lastCycleEndMs_ = 0;
    qint64 lastCycleStartMs_ = 0;
    int cycles_ = 0;
    int checks_ = 0;
    int faultCount_ = 0;
    std::optional<qint64> rssAtMinute_;
    qint64 rssAtStart_ = 0;
    QString broken_;
};

}  // namespace panel::soak
