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
#include "tools/soak/memory_trend.h"
#include "tools/soak/operator_script.h"
#include "tools/soak/sim_line.h"
#include "tools/soak/wait_schedule.h"
#include "ui/prompter.h"

class QPoint;
class QWidget;

namespace panel {
class Form1;
class LineStack;
class SerialPort;
}  // namespace panel

namespace panel::soak {

class CountingPort;

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
        int twinTicks = 0;        // the ticks a twin of the repeat timer got while held
        int twinFewest = 1;       // the fewest frames they promise (TwinTicks)
        int written = 0;          // the frames the port wrote meanwhile
        bool reopened = false;    // the panel reopened the line meanwhile
        bool stayedOpen = false;  // on one line, open throughout
    };
    HeldFor pressFor(const QPoint& at, int periodMs, int holdMs);
    // The hold's bounds, to the simulator the press went to and any its reopen went on to.
    void finishHold(Incarnation* pressed, const HeldFor& held, int most);
    // The panel's repeat against its twin: the first frame and one a tick.
    void compareWithTwin(const HeldFor& held);
    void manualOp(const Op& op);
    void portOp(int port);
    void selectionFailed(int port);
    void selectionOpened(int port, std::int64_t at);
    void speedOp(int baud);
    void panelOp(const Op& op);

    // What the panel's port did by itself (CountingPort).
    void portWrote(std::string_view bytes);
    void portLost();
    void portOpened();
    // The model's port is open on `port`, bound to its live simulator.
    void bindTo(int port, std::int64_t at);

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
    // When the lost line is back, the panel must have opened it again by `by`.
    struct ReturnDue {
        std::int64_t from = 0;
        std::int64_t stepUs = 0;  // the watcher's step in force then (0 for a local line)
        std::int64_t by = 0;
    };
    void periodicCheck();
    void checkReturn(std::int64_t now);
    // While the panel waits for its lost line and the line is back: by when it must reopen.
    std::optional<ReturnDue> returnDue();
    // Since when the line serves again (its simulator, and its device server with --network).
    std::optional<std::int64_t> lineBackSince(int number);
    void checkWindowState();
    void fail(const std::string& what);
    void note(const std::string& line);

    // Waits: every one runs the event loop, so timers, faults and the probe carry on.
    void pause(int ms);
    bool waitUntil(const std::function<bool()>& done, int ms);

    // The run's stages; the first two print why they could not start.
    bool startLines();
    void buildPorts();
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
    std::unique_ptr<LineStack> line_;
    std::unique_ptr<CountingPort> panelPort_;  // what the window drives
    WaitSchedule schedule_;
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
        bool lostUntold = false;  // the open port closed by itself; the tell is due
        bool waiting = false;     // for the panel to reopen the lost line by itself
        bool reopened = false;    // by the panel itself, since the last selection
    } model_;

    struct PendingTell {
        int line;
        int id;
        std::int64_t at;
        std::string text;
    };
    std::optional<PendingTell> unexplainedTell_;
    std::optional<ExpectedFrames> holding_;  // the frames of a hold under way, for a reopen
    int selecting_ = 0;                      // the COM port a selection under way opens
    // When that selection began: its connection may settle from what the device server sent before
    // it went, so the line counts as opened from here.
    std::int64_t selectingSince_ = 0;
    std::size_t failures_ = 0;  // port selection failures shown
    std::string lastFailure_;
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
    std::size_t panelWrites_ = 0;
    int writesUnmatched_ = 0;  // written while no operation of the model sent that frame
    int skipped_ = 0;
    int sendsWhileClosed_ = 0;
    int holdsSlowed_ = 0;
    int holdsBehindTwin_ = 0;  // the port wrote fewer than 1 + the twin's ticks
    int mostBehindTwin_ = 0;
    std::int64_t startedAt_ = 0;
    struct Memory {
        std::int64_t residentKiB = 0;
        std::int64_t heapKiB = 0;
    };
    static Memory measureMemory();
    Memory memoryStart_;
    std::optional<Memory> memoryMinute_;
    Memory memoryEnd_;
    MemoryTrend memoryTrend_;
};

}  // namespace panel::soak
