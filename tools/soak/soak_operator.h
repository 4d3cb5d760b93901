// The seeded operator at the window: performs each operation of the script with the window's own
// controls, as a person would, reads what the panel shows, and keeps the model of what the panel
// should be doing and of where each frame sent should arrive.
#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "tools/soak/frame_ledger.h"
#include "tools/soak/operator_script.h"
#include "tools/soak/soak_report.h"
#include "ui/prompter.h"

namespace panel {
class Form1;
}

namespace panel::soak {

class CountingPort;
class SoakInvariants;
class SoakWindow;
struct Incarnation;
struct PanelModel;
struct SoakWorld;

class SoakOperator final : public Prompter {
public:
    // Longer than any open may take: 3 s to connect and 1 s for the line settings.
    static constexpr int kConnectPatienceMs = 5000;

    SoakOperator(SoakWorld& world, SoakWindow& window, SoakInvariants& invariants);

    // The window and the port it drives, once they are built.
    void attach(Form1& form, CountingPort& port);
    void perform(Op op);

    // What the panel's port did by itself (CountingPort).
    void portWrote(std::string_view bytes);
    void portLost();
    void portOpened();
    // The model's port is open on `port`, bound to its live simulator.
    void bindTo(int port, std::int64_t at);

    const std::string& lastFailure() const { return lastFailure_; }

    FailureReply portSelectionFailed(QWidget*, const QString& text, bool offerChooser) override;
    void portProblem(QWidget*, const QString& text) override;

private:
    struct HeldFor {
        std::int64_t releasedAt = 0;
        int twinTicks = 0;        // the ticks a twin of the repeat timer got while held
        int twinFewest = 1;       // the fewest frames they promise (TwinTicks)
        int written = 0;          // the frames the port wrote meanwhile
        bool reopened = false;    // the panel reopened the line meanwhile
        bool stayedOpen = false;  // on one line, open throughout
    };

    // True, counted and noted as skipped, when the operation is not possible now.
    bool skipped(bool possible, const std::string& why);
    // False, and skipped, when a control the operation needs stays covered.
    bool readyFor(std::initializer_list<std::string> names, const std::string& what);

    void clickOp(const Op& op);
    void holdOp(const Op& op);
    HeldFor pressFor(const std::string& name, int periodMs, int holdMs);
    // The hold's bounds, to the simulator the press went to and any its reopen went on to.
    void finishHold(Incarnation* pressed, const HeldFor& held, int most);
    // The panel's repeat against its twin: the first frame and one a tick.
    void compareWithTwin(const HeldFor& held);
    void manualOp(const Op& op);
    // Types `text` into the manual entry as the operation says (typed, pasted or cleared).
    void enter(const Op& op, const QString& text);
    void portOp(int port);
    void selectionFailed(int port);
    void selectionOpened(int port, std::int64_t at);
    void speedOp(int baud);
    void panelOp(const Op& op);

    // What was sent, and where it should arrive.
    void expect(const std::string& bytes, std::int64_t sentAt, std::int64_t endAt, int fewest,
                int most, std::int64_t periodUs);
    void speedChangedOnBoundLine(std::int64_t at);

    SoakWorld& world_;
    PanelModel& model_;
    SoakReport& report_;
    SoakReport::Tallies& tallies_;
    SoakWindow& window_;
    SoakInvariants& invariants_;
    Form1* form_ = nullptr;
    CountingPort* port_ = nullptr;

    int opNumber_ = 0;
    std::optional<ExpectedFrames> holding_;  // the frames of a hold under way, for a reopen
    int selecting_ = 0;                      // the COM port a selection under way opens
    // When that selection began: its connection may settle from what the device server sent before
    // it went, so the line counts as opened from here.
    std::int64_t selectingSince_ = 0;
    std::size_t failures_ = 0;  // port selection failures shown
    std::string lastFailure_;
};

}  // namespace panel::soak
