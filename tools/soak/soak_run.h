// The soak: the real window, offscreen and in process, driven by the seeded operator with Qt's
// test events against two simulators that the fault plan keeps restarting; every invariant checked
// from the simulators' frame logs and the window's own state.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "tools/soak/fault_plan.h"
#include "tools/soak/lateness_probe.h"
#include "tools/soak/operator_script.h"
#include "tools/soak/sim_line.h"
#include "ui/prompter.h"

class QPoint;
class QWidget;

namespace panel {
class Form1;
class NetworkPort;
class QtSerialPort;
class RoutedSerialPort;
class SerialPort;
}  // namespace panel

namespace panel::soak {

struct SoakOptions {
    double minutes = 2;
    std::uint64_t seed = 0;
    QString simBinary;
    QString workDir;
    // Lateness and memory are printed but break nothing (a test on a shared machine).
    bool timingReportOnly = false;
    // The simulators behind ser2net, reached over rfc2217://; ser2net is restarted too.
    bool network = false;
};

class SoakRun final : public QObject, public Prompter {
    Q_OBJECT

public:
    explicit SoakRun(SoakOptions options);
    ~SoakRun() override;

    // Runs to the end or to the first broken invariant; the process's exit status.
    int run();

    FailureReply portSelectionFailed(QWidget*, const QString& text, bool offerChooser) override;
    void portProblem(QWidget*, const QString& text) override;

private:
    // The operator.
    void perform(Op op);
    void clickOp(const Op& op);
    void holdOp(const Op& op);
    struct HeldFor {
        std::int64_t releasedAt = 0;
        int twinTicks = 0;  // the ticks a twin of the repeat timer got while held
    };
    HeldFor pressFor(const QPoint& at, int periodMs, int holdMs);
    void manualOp(const Op& op);
    void portOp(int port, const std::string& record);
    void selectionFailed(int port, std::int64_t at);
    void selectionOpened(int port, std::int64_t at);
    void speedOp(int baud);
    void panelOp(const Op& op);
    void react();

    // The window.
    QWidget* control(const std::string& name) const;
    bool reachable(const std::string& name) const;
    bool bringIntoView(const std::string& name);
    // True, counted and noted as skipped, when the operation is not possible now.
    bool skipped(bool possible, const std::string& why);
    // False, and skipped, when a control the operation needs stays covered.
    bool readyFor(std::initializer_list<std::string> names, const std::string& what);
    bool openPortSelector();
    void click(const std::string& name);
    void doubleClick(const std::string& name);
    void keyChord();

    // What was sent, and where it should arrive.
    void expect(const std::string& bytes, std::int64_t sentAt, std::int64_t endAt, int fewest,
                int most, std::int64_t periodUs);
    SimLine& line(int number) const;
    // The simulator behind the line is up and has printed its device.
    bool serving(int number);
    Incarnation* bound();
    // The device server of the open line has gone since the port opened (--network).
    bool serverWentSinceOpen() const;
    void speedChangedOnBoundLine(std::int64_t at);

    // Faults.
    void scheduleFault();
    void applyFault(const Fault& fault);
    void onLineEnded(int line);

    // Invariants.
    void periodicCheck();
    void checkWindowState();
    void fail(const std::string& what);
    void note(const std::string& line);

    // Waits: every one runs the event loop, so timers, faults and the probe carry on.
    void pause(int ms);
    bool waitUntil(const std::function<bool()>& done, int ms);

    // The run's stages; the first two print why they could not start.
    bool startLines();
    bool openWindow();
    void operate();
    void windDown();
    void judgeTimeAndMemory();
    void summary(std::int64_t ranUs) const;
    void frameSummary(std::ostream& out) const;
    int report() const;

    SoakOptions options_;
    OperatorScript script_;
    FaultPlan faults_;
    std::array<std::unique_ptr<SimLine>, 2> lines_;
    std::unique_ptr<QtSerialPort> port_;
    std::unique_ptr<NetworkPort> netPort_;      // --network
    std::unique_ptr<RoutedSerialPort> routed_;  // --network
    SerialPort* panelPort_ = nullptr;           // what the window drives
    std::unique_ptr<Form1> form_;
    std::unique_ptr<LatenessProbe> probe_;
    QTimer checkTimer_;
    QTimer faultTimer_;

    // The operator's model of the panel.
    struct Model {
        int port = 1;  // the option last clicked
        bool open = false;
        int baud = 19200;
        int timer1Interval = 200;
        int boundLine = 0;  // the incarnation the open port reaches
        int boundId = 0;
        bool told = false;  // the outage of the open line has been told
        std::int64_t openedAt = 0;
        std::int64_t nextReselectAt = 0;
    } model_;

    struct PendingTell {
        int line;
        int id;
        std::int64_t at;
        std::string text;
    };
    std::optional<PendingTell> unexplainedTell_;
    std::size_t failures_ = 0;  // port selection failures shown
    std::string lastFailure_;
    bool outageOutstanding_ = false;             // told, and not yet reselected
    std::optional<std::int64_t> boundDownSeen_;  // when the open line was seen down
    bool windingDown_ = false;
    Fault nextFault_;

    // Faults in progress: a line restarted after its simulator ends.
    struct Restart {
        Fault fault;
        bool hungUpStarted = false;
    };
    std::map<int, Restart> restarts_;

    int opNumber_ = 0;
    std::deque<std::string> recent_;  // the last 20 operations and faults
    std::string broken_;
    std::map<std::string, int> opCounts_;
    std::map<std::string, int> faultCounts_;
    int outagesSurvived_ = 0;
    int skipped_ = 0;
    int sendsWhileClosed_ = 0;
    int holdsSlowed_ = 0;
    std::int64_t startedAt_ = 0;
    std::int64_t rssStartKiB_ = 0;
    std::optional<std::int64_t> rssMinuteKiB_;
    std::int64_t rssEndKiB_ = 0;
};

}  // namespace panel::soak
