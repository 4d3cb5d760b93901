#include "core/controller.h"

#include <algorithm>
#include <array>

#include "core/catalogue.h"
#include "core/replies.h"
#include "core/trace.h"

namespace panel {
namespace {

// The window design's interval of the port-selector timer.
constexpr std::chrono::milliseconds kSelectorHideDelay{5000};
constexpr std::string_view kNoReply = " X X X X";

SessionObserver& nobody() {
    static SessionObserver none;
    return none;
}

}  // namespace

Controller::Controller(SerialPort& port, Timers timers, View& view)
    : port_(port), timers_(timers), view_(view), observer_(&nobody()) {
    port_.setListener(this);
    timers_.repeat.setTickHandler([this] { repeatTick(); });
    timers_.replyWindow.setTickHandler([this] { closeReplyWindow(); });
    timers_.selectorHide.setTickHandler([this] { hidePortSelector(); });
    timers_.clearing.setTickHandler([this] { clearTraces(); });
    // The window design's intervals; every timer is stopped when the window opens.
    timers_.repeat.setInterval(kRepeatDesignInterval);
    timers_.replyWindow.setInterval(kLayoutPair.replyWindow);
    timers_.selectorHide.setInterval(kSelectorHideDelay);
    timers_.clearing.setInterval(kLayoutPair.clearingDelay);
    for (Timer* t :
         {&timers_.repeat, &timers_.replyWindow, &timers_.selectorHide, &timers_.clearing})
        t->setEnabled(false);
}

Controller::~Controller() {
    port_.setListener(nullptr);
    for (Timer* t :
         {&timers_.repeat, &timers_.replyWindow, &timers_.selectorHide, &timers_.clearing}) {
        t->setEnabled(false);
        t->setTickHandler({});
    }
}

void Controller::load(const std::function<void()>& placeWindow) {
    state_.CommSettings = std::string(kSettings19200);
    state_.CmdPrefix.clear();
    if (placeWindow) placeWindow();
    state_.RepeatKey = 0;
    state_.AwaitReply = 0;
    clearRecvData();
    // A failure here is not reported on its own: the selection of "COM1" that follows repeats the
    // open and reports what still fails, so the operator sees one message for the two.
    (void)port_.setCommPort(1);
    (void)port_.setSettings(state_.CommSettings);
    if (!port_.setOpen(true)) portOpened();
    view_.selectOption1();
    // A line still connecting is left to finish: closing it for the selection would cost a
    // device server that takes one client its only connection.
    if (port_.isOpening()) {
        openFallback_ = 2;
        return;
    }
    selectPort(1, 2);
}

Handled Controller::click(std::string_view control) {
    if (const OneShotRow* row = FindOneShot(control)) {
        if (row->intervals) {
            setPair(*row->intervals);
        }
        SendCommand(row->code);
        if (row->setsArrowPacing) {
            timers_.repeat.setInterval(kArrowPacingInterval);
            state_.ArrowMode = kArrowModeMenu;
        }
        return Handled::Yes;
    }

    using Action = void (Controller::*)();
    struct Other {
        std::string_view control;
        Action action;
    };
    static constexpr std::array kOthers{
        Other{"Option1", &Controller::clickOption1},
        Other{"Option2", &Controller::clickOption2},
        Other{"Option9", &Controller::clickOption9},
        Other{"Option10", &Controller::clickOption10},
        Other{"Command33", &Controller::showPortSelector},
        Other{"Command16", &Controller::end},
        Other{"Command34", &Controller::togglePanelTimer},
    };
    for (const Other& other : kOthers) {
        if (other.control == control) {
            (this->*other.action)();
            return Handled::Yes;
        }
    }
    return Handled::UnknownControl;
}

Handled Controller::press(std::string_view control) {
    const HoldRow* row = FindHold(control);
    if (!row) return Handled::UnknownControl;
    if (row->kind == HoldKind::Fixed) {
        state_.RepeatKey = row->key;
        SendCommand(row->code);
        timers_.repeat.setInterval(row->repeatInterval);
        setPair(row->intervals);
    } else {
        if (state_.ArrowMode == kArrowModeMenu) setPair(kArrowMenuPair);
        if (state_.ArrowMode == kArrowModeZoom) setPair(kArrowZoomPair);
        state_.RepeatKey = row->key;
        SendCommand(row->code);
    }
    timers_.repeat.setEnabled(true);
    return Handled::Yes;
}

Handled Controller::release(std::string_view control) {
    const HoldRow* row = FindHold(control);
    if (!row) return Handled::UnknownControl;
    state_.RepeatKey = 0;
    timers_.repeat.setEnabled(false);
    timers_.replyWindow.setEnabled(false);
    timers_.clearing.setEnabled(true);
    setCaption(LabelId::SentTrace, {});
    setCaption(LabelId::ReceivedTrace, {});
    setPair(kLayoutPair);
    clearRecvData();
    if (row->zoomRelease) {
        timers_.repeat.setInterval(kZoomReleaseInterval);
        state_.ArrowMode = kArrowModeZoom;
    }
    return Handled::Yes;
}

void Controller::sendManual(std::string_view text) {
    setPair(kPictureModePair);
    state_.ManualCmd = std::string(text);
    SendCommand(state_.ManualCmd);
}

void Controller::SendCommand(std::string_view code) {
    std::string frame;
    frame.reserve(state_.CmdPrefix.size() + code.size() + 1);
    frame += state_.CmdPrefix;
    frame += code;
    frame += '\r';
    state_.SendData = std::move(frame);
    display(state_.SendData, kDisplaySend);
}

void Controller::display(const std::string& data, std::uint8_t mode) {
    if (mode == kDisplaySend) {
        showSent(data);
    } else {
        showReceived(data);
    }
}

void Controller::showSent(const std::string& frame) {
    // The write comes before anything is shown. A port that refuses it is reported, and the
    // exchange runs on as for any send so that the timers and traces stay consistent.
    decodedInWindow_ = false;
    frameRecorded_ = false;
    if (PortResult failed = port_.output(frame)) {
        ioFailed(*failed);
    } else {
        tell(SessionEventKind::Sent, frame);
        frameRecorded_ = true;
    }
    setCaption(LabelId::SentTrace, RenderTrace(frame));
    timers_.replyWindow.setEnabled(true);
    state_.AwaitReply = 1;
    timers_.clearing.setEnabled(true);
}

void Controller::showReceived(const std::string& data) {
    renderReceived(data);
    Decoded decoded = DecodeReply(state_.SendData, state_.CmdPrefix, receivedTrace_);
    if (decoded.pressureValue) state_.PressureValue = *decoded.pressureValue;
    if (decoded.caption) {
        setCaption(LabelId::DecodedReply, std::move(*decoded.caption));
        decodedInWindow_ = true;
    }
}

const std::string& Controller::caption(LabelId label) const {
    switch (label) {
        case LabelId::SentTrace:
            return sentTrace_;
        case LabelId::ReceivedTrace:
            return receivedTrace_;
        case LabelId::DecodedReply:
            break;
    }
    return decodedReply_;
}

void Controller::onComm(int kind) {
    if (kind != kCommEventReceived) return;
    if (PortResult failed = port_.input(inputBuffer_)) {
        ioFailed(*failed);
        return;
    }
    // A receive event with nothing waiting received no character: it must not close the reply.
    if (inputBuffer_.empty()) return;
    // Recorded whole, before RecvData's bound drops any of it.
    tell(SessionEventKind::Received, inputBuffer_);
    // The 16-bit character count bounds RecvData: what does not fit is dropped until it is emptied.
    const std::size_t room = kRecvDataLimit - std::min(kRecvDataLimit, state_.RecvData.size());
    state_.RecvData.append(inputBuffer_, 0, std::min(room, inputBuffer_.size()));
    state_.AwaitReply = 0;
    display(state_.RecvData, kDisplayReceived);
}

void Controller::onPortFailure(const PortError& error) {
    tellLost(error);
    reportPortProblem(error);
}

void Controller::onPortOpened() {
    tellOpen(lineLost_ ? SessionEventKind::Reopened : SessionEventKind::Open);
    portOpened();
    if (!openFallback_) return;  // the serial layer reopened a line that had gone down
    openFallback_.reset();
    setPortSelectorVisible(false);
}

void Controller::onOpenFailed(const PortError& error) {
    if (!openFallback_) {
        // The serial layer reopening a lost line met a new obstacle; it tells each one once.
        view_.notifyPortProblem(withDeviceName(port_.deviceName(), error.description));
        return;
    }
    const int fallback = *openFallback_;
    openFallback_.reset();
    failSelection(error.description, fallback);
}

void Controller::closePort() {
    if (!port_.isOpen() && !port_.isOpening()) return;
    const bool wasOpen = port_.isOpen();
    (void)port_.setOpen(false);
    if (wasOpen) tellClosed();
}

void Controller::setSessionObserver(SessionObserver* observer) {
    observer_ = observer ? observer : &nobody();
}

void Controller::repeatTick() {
    if (state_.RepeatKey == 0) return;
    if (auto code = RepeatCode(state_.RepeatKey)) SendCommand(*code);
    // The tick leaves the repeat timer enabled with its count running: re-enabling it here would
    // begin a new count and stretch every period by the time this handler took.
}

void Controller::closeReplyWindow() {
    if (state_.AwaitReply == 1) setCaption(LabelId::ReceivedTrace, std::string(kNoReply));
    if (frameRecorded_) {
        const std::string_view answer = decodedInWindow_ ? decodedReply_ : std::string_view();
        tell(SessionEventKind::Answer, state_.AwaitReply == 1 ? kNoReply : answer);
        frameRecorded_ = false;
    }
    timers_.replyWindow.setEnabled(false);
    clearRecvData();
    state_.AwaitReply = 0;
}

void Controller::hidePortSelector() {
    setPortSelectorVisible(false);
    timers_.selectorHide.setEnabled(false);
}

void Controller::clearTraces() {
    setCaption(LabelId::SentTrace, {});
    setCaption(LabelId::ReceivedTrace, {});
    setCaption(LabelId::DecodedReply, {});
    timers_.clearing.setEnabled(false);
}

void Controller::selectPort(int port, int fallback) {
    PortResult failure;
    auto note = [&failure](PortResult result) {
        if (result) failure = std::move(result);  // a later failure replaces an earlier one
    };
    // A line still connecting is cancelled like an open one is closed.
    if (port_.isOpen() || port_.isOpening()) {
        const bool wasOpen = port_.isOpen();
        note(port_.setOpen(false));
        if (wasOpen) tellClosed();
    }
    openFallback_.reset();
    lineLost_ = false;  // what opens now is the operator's choice, not the line coming back
    note(port_.setCommPort(port));
    // A closed port is opened too: otherwise one failed selection would leave every port closed
    // until the program restarts.
    if (!failure) note(port_.setOpen(true));
    if (failure) return failSelection(failure->description, fallback);
    if (port_.isOpening()) {
        openFallback_ = fallback;
        return;
    }
    portOpened();
    // An open that finishes later is recorded when it has.
    if (port_.isOpen()) tellOpen(SessionEventKind::Open);
    setPortSelectorVisible(false);
}

void Controller::failSelection(const std::string& description, int fallback) {
    problemReported_ = true;
    // The box is modal and its event loop runs the timers: the selector must not hide while the
    // operator reads it, or the next click meant for the selector lands on "COM" beneath it. It
    // gets its full time again once the box is dismissed.
    const bool hiding = timers_.selectorHide.isEnabled();
    timers_.selectorHide.setEnabled(false);
    view_.showPortSelectionFailure(description);
    (void)port_.setCommPort(fallback);
    // the port selector stays shown
    if (hiding) timers_.selectorHide.setEnabled(true);
}

void Controller::selectSpeed(std::string_view settings) {
    state_.CommSettings = std::string(settings);
    // The port stays as it was, so a later failure of it is still worth telling.
    if (PortResult failed = port_.setSettings(state_.CommSettings)) {
        view_.showPortSelectionFailure(failed->description);
    } else {
        tell(SessionEventKind::Speed, state_.CommSettings);
    }
    setPortSelectorVisible(false);
}

void Controller::showPortSelector() {
    setPortSelectorVisible(true);
    timers_.selectorHide.setEnabled(true);
}

void Controller::togglePanelTimer() {
    // The window changes its height between these two steps; only the timer's restart shows.
    timers_.selectorHide.setEnabled(false);
    state_.PanelOpen = 0;
    timers_.selectorHide.setEnabled(true);
}

void Controller::end() {
    (void)port_.setOpen(false);
    tellClosed();
    view_.endProgram();
}

void Controller::setPair(const IntervalPair& pair) {
    timers_.replyWindow.setInterval(pair.replyWindow);
    timers_.clearing.setInterval(pair.clearingDelay);
}

void Controller::setCaption(LabelId label, std::string text) {
    std::string* target = &decodedReply_;
    if (label == LabelId::SentTrace) target = &sentTrace_;
    if (label == LabelId::ReceivedTrace) {
        target = &receivedTrace_;
        receivedTraceMirrorsRecv_ = false;
    }
    *target = std::move(text);
    view_.captionChanged(label, *target);
}

void Controller::setPortSelectorVisible(bool visible) {
    portSelectorVisible_ = visible;
    view_.setPortSelectorVisible(visible);
}

void Controller::clearRecvData() {
    state_.RecvData.clear();
    receivedTraceMirrorsRecv_ = false;
}

void Controller::renderReceived(const std::string& data) {
    // Incremental when ReceivedTrace still holds the trace of an earlier, shorter RecvData:
    // rendering is linear in what arrived, not in everything received so far.
    const bool incremental = &data == &state_.RecvData && receivedTraceMirrorsRecv_ &&
                             receivedTraceRendered_ <= data.size();
    if (incremental) {
        AppendTrace(receivedTrace_, std::string_view(data).substr(receivedTraceRendered_));
    } else {
        receivedTrace_ = RenderTrace(data);
    }
    receivedTraceMirrorsRecv_ = &data == &state_.RecvData;
    receivedTraceRendered_ = data.size();
    view_.captionChanged(LabelId::ReceivedTrace, receivedTrace_);
}

void Controller::ioFailed(const PortError& error) {
    // Whatever failed, the port is treated as closed: a later port selection opens it again.
    if (port_.isOpen()) {
        (void)port_.setOpen(false);
        tellLost(error);
    }
    reportPortProblem(error);
}

void Controller::reportPortProblem(const PortError& error) {
    if (problemReported_) return;
    problemReported_ = true;
    view_.notifyPortProblem(withDeviceName(port_.deviceName(), error.description));
}

void Controller::tell(SessionEventKind kind, std::string_view data) {
    observer_->record(SessionEvent{kind, port_.commPort(), data});
}

void Controller::tellOpen(SessionEventKind kind) {
    recordShowsOpen_ = true;
    lineLost_ = false;
    tell(kind, state_.CommSettings);
}

void Controller::tellClosed() {
    // Start-up opens COM1 and then selects it, closing it once: the record shows one open.
    if (!recordShowsOpen_) return;
    recordShowsOpen_ = false;
    tell(SessionEventKind::Closed);
}

void Controller::tellLost(const PortError& error) {
    recordShowsOpen_ = false;
    lineLost_ = true;
    tell(SessionEventKind::Lost, error.description);
}

}  // namespace panel
