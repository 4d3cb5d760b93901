// The panel's controller: form state, the send path (SendCommand, display), the receive path, the
// timer ticks and the handlers of every control, with no window toolkit.
//
// Pipeline: a control handler -> SendCommand -> display(send): write, trace into SentTrace, start
// the reply window and the clearing delay. Received bytes -> onComm -> RecvData ->
// display(received): trace into ReceivedTrace, then the reply decoders write DecodedReply.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/catalogue.h"
#include "core/serial_port.h"
#include "core/session_observer.h"
#include "core/timer.h"
#include "core/view.h"

namespace panel {

inline constexpr std::uint8_t kDisplaySend = 1;
inline constexpr std::uint8_t kDisplayReceived = 2;
inline constexpr std::size_t kRecvDataLimit = 32767;  // the 16-bit character count of RecvData
inline constexpr std::string_view kSettings19200 = "19200,N,8,1";
inline constexpr std::string_view kSettings9600 = "9600,N,8,1";

// The variables of the window object, with their values at start.
struct FormState {
    std::string SendData;
    std::string RecvData;
    std::string CommSettings = std::string(kSettings19200);
    std::string CmdPrefix;
    std::uint8_t AwaitReply = 0;
    std::uint8_t RepeatKey = 0;
    std::uint8_t ArrowMode = 0;
    std::int16_t PanelOpen = 0;
    std::string ManualCmd;
    std::int16_t PressureValue = 0;
};

// The four timers by role. The window designer's names: repeat is Timer1, replyWindow Timer2,
// selectorHide Timer3, clearing Timer4.
struct Timers {
    Timer& repeat;        // press-and-hold repeat
    Timer& replyWindow;   // how long a reply is awaited
    Timer& selectorHide;  // hides the port selector
    Timer& clearing;      // clears the traffic labels
};

// How a handler call was taken: controls the controller does not know are refused, not ignored
// silently, so that wiring mistakes show up in tests.
enum class Handled { Yes, UnknownControl };

class Controller final : private PortListener {
public:
    Controller(SerialPort& port, Timers timers, View& view);
    ~Controller() override;
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    // The window's load handler. `placeWindow` runs at the geometry step, between setting the
    // command prefix and clearing the exchange variables.
    void load(const std::function<void()>& placeWindow = {});

    // Click handlers, by control name: the 46 catalogue buttons, Option1/2/9/10, Command33 "COM",
    // Command16 "END", Command34 (its timer and PanelOpen steps; the window changes its height).
    Handled click(std::string_view control);
    // Press and release of the 13 press-and-hold buttons.
    Handled press(std::string_view control);
    Handled release(std::string_view control);

    // "SEND" (Command95) with the text of Text1, one byte per character.
    void sendManual(std::string_view text);
    // Ctrl+J unlocks the full data panel.
    void unlockPanel() { state_.PanelOpen = 1; }
    // The program is ending by another way than "END" (the title bar, the end of the shell
    // mode): the port is released and the session record says so.
    void closePort();

    // Who hears of the session's events; nullptr for nobody. Not owned.
    void setSessionObserver(SessionObserver* observer);

    // A click's first step: the reply window and clearing delay that its send will use.
    void setPair(const IntervalPair& pair);
    void SendCommand(std::string_view code);
    // The window's one shared routine for both directions (the designer's Hyouji). Mode
    // kDisplaySend writes `data` to the port, traces it into SentTrace and opens the reply window;
    // any other mode renders a received block (`data` is normally RecvData) into ReceivedTrace and
    // decodes it into DecodedReply. One routine with a byte mode rather than two entry points,
    // because "every value but 1 receives" is behaviour that callers (and the fuzzer) can reach.
    void display(const std::string& data, std::uint8_t mode);

    const FormState& state() const { return state_; }
    const std::string& caption(LabelId label) const;
    const Timers& timers() const { return timers_; }
    bool portSelectorVisible() const { return portSelectorVisible_; }

private:
    void onComm(int kind) override;
    void onPortFailure(const PortError& error) override;
    void onPortOpened() override;
    void onOpenFailed(const PortError& error) override;

    void repeatTick();
    void closeReplyWindow();
    void hidePortSelector();
    void clearTraces();

    void clickOption1() { selectPort(1, 2); }
    void clickOption2() { selectPort(2, 1); }
    void clickOption9() { selectSpeed(kSettings19200); }
    void clickOption10() { selectSpeed(kSettings9600); }
    void selectPort(int port, int fallback);
    void failSelection(const std::string& description, int fallback);
    void selectSpeed(std::string_view settings);
    void showPortSelector();
    void togglePanelTimer();
    void end();

    void showSent(const std::string& frame);
    void showReceived(const std::string& data);
    void setCaption(LabelId label, std::string text);
    void setPortSelectorVisible(bool visible);
    void clearRecvData();
    void renderReceived(const std::string& data);
    void ioFailed(const PortError& error);
    void reportPortProblem(const PortError& error);
    void portOpened() { problemReported_ = false; }
    void tell(SessionEventKind kind, std::string_view data = {});
    void tellOpen(SessionEventKind kind);
    void tellClosed();
    void tellLost(const PortError& error);

    SerialPort& port_;
    Timers timers_;
    View& view_;
    FormState state_;

    std::string sentTrace_;
    std::string receivedTrace_;
    std::string decodedReply_;
    bool portSelectorVisible_ = false;

    // ReceivedTrace holds the trace of the first `receivedTraceRendered_` characters of RecvData,
    // so a new block only appends its own tokens instead of re-rendering everything received so
    // far.
    bool receivedTraceMirrorsRecv_ = false;
    std::size_t receivedTraceRendered_ = 0;

    // A port problem has been shown and no port has opened since: do not show it again.
    bool problemReported_ = false;
    // The fallback port of a selection whose open is still under way: it is answered when the
    // open settles.
    std::optional<int> openFallback_;

    std::string inputBuffer_;  // reused by every receive event

    SessionObserver* observer_;
    bool recordShowsOpen_ = false;  // the record's last word on the line is open or reopened
    bool lineLost_ = false;         // the line went down by itself and has not opened since
    bool frameRecorded_ = false;    // this reply window's frame went out: its answer is due
    bool decodedInWindow_ = false;  // a decoder wrote DecodedReply during this reply window
};

}  // namespace panel
