#include "core/controller.h"

#include <algorithm>
#include <array>

#include "core/catalogue.h"
#include "core/replies.h"
#include "core/trace.h"

namespace panel {
namespace {

constexpr int kTimer3Design = 5000;
constexpr std::string_view kNoReply = " X X X X";

}  // namespace

Controller::Controller(SerialPort& port, Timers timers, View& view)
    : port_(port), timers_(timers), view_(view) {
    port_.setListener(this);
    timers_.timer1.setTickHandler([this] { tickTimer1(); });
    timers_.timer2.setTickHandler([this] { tickTimer2(); });
    timers_.timer3.setTickHandler([this] { tickTimer3(); });
    timers_.timer4.setTickHandler([this] { tickTimer4(); });
    // The window design's intervals; every timer is stopped when the window opens.
    timers_.timer1.setInterval(kRepeatDesignInterval);
    timers_.timer2.setInterval(kLayoutPair.replyWindow);
    timers_.timer3.setInterval(kTimer3Design);
    timers_.timer4.setInterval(kLayoutPair.clearingDelay);
    for (Timer* t : {&timers_.timer1, &timers_.timer2, &timers_.timer3, &timers_.timer4})
        t->setEnabled(false);
}

Controller::~Controller() {
    port_.setListener(nullptr);
    for (Timer* t : {&timers_.timer1, &timers_.timer2, &timers_.timer3, &timers_.timer4}) {
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
    selectPort(1, 2);
}

Handled Controller::click(std::string_view control) {
    if (const OneShotRow* row = FindOneShot(control)) {
        if (row->intervals) {
            timers_.timer2.setInterval(row->intervals->replyWindow);
            timers_.timer4.setInterval(row->intervals->clearingDelay);
        }
        SendCommand(row->code);
        if (row->setsArrowPacing) {
            timers_.timer1.setInterval(kArrowPacingInterval);
            state_.ArrowMode = 1;
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
        timers_.timer1.setInterval(row->repeatInterval);
        timers_.timer2.setInterval(row->intervals.replyWindow);
        timers_.timer4.setInterval(row->intervals.clearingDelay);
    } else {
        if (state_.ArrowMode == 1) {
            timers_.timer2.setInterval(150);
            timers_.timer4.setInterval(190);
        } else if (state_.ArrowMode == 3) {
            timers_.timer2.setInterval(5);
            timers_.timer4.setInterval(5);
        }
        state_.RepeatKey = row->key;
        SendCommand(row->code);
    }
    timers_.timer1.setEnabled(true);
    return Handled::Yes;
}

Handled Controller::release(std::string_view control) {
    const HoldRow* row = FindHold(control);
    if (!row) return Handled::UnknownControl;
    state_.RepeatKey = 0;
    timers_.timer1.setEnabled(false);
    timers_.timer2.setEnabled(false);
    timers_.timer4.setEnabled(true);
    setCaption(LabelId::Label11, {});
    setCaption(LabelId::Label12, {});
    timers_.timer2.setInterval(kLayoutPair.replyWindow);
    timers_.timer4.setInterval(kLayoutPair.clearingDelay);
    clearRecvData();
    if (row->zoomRelease) {
        timers_.timer1.setInterval(kZoomReleaseInterval);
        state_.ArrowMode = 3;
    }
    return Handled::Yes;
}

void Controller::sendManual(std::string_view text) {
    timers_.timer2.setInterval(kPictureModePair.replyWindow);
    timers_.timer4.setInterval(kPictureModePair.clearingDelay);
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
    Hyouji(state_.SendData, 1);
}

void Controller::Hyouji(const std::string& data, std::uint8_t mode) {
    if (mode == 1) {
        // The write comes before anything is shown. A port that refuses it is reported, and the
        // exchange runs on as for any send so that the timers and traces stay consistent.
        if (PortResult failed = port_.output(data)) ioFailed(*failed);
        setCaption(LabelId::Label11, RenderTrace(data));
        timers_.timer2.setEnabled(true);
        state_.AwaitReply = 1;
        timers_.timer4.setEnabled(true);
        return;
    }
    renderReceived(data);
    Decoded decoded = DecodeReply(state_.SendData, state_.CmdPrefix, label12_);
    if (decoded.pressureValue) state_.PressureValue = *decoded.pressureValue;
    if (decoded.label22) setCaption(LabelId::Label22, std::move(*decoded.label22));
}

const std::string& Controller::caption(LabelId label) const {
    switch (label) {
        case LabelId::Label11:
            return label11_;
        case LabelId::Label12:
            return label12_;
        case LabelId::Label22:
            break;
    }
    return label22_;
}

void Controller::onComm() {
    if (port_.commEvent() != kCommEventReceived) return;
    if (PortResult failed = port_.input(inputBuffer_)) {
        ioFailed(*failed);
        return;
    }
    // A receive event with nothing waiting received no character: it must not close the reply.
    if (inputBuffer_.empty()) return;
    // The 16-bit character count bounds RecvData: what does not fit is dropped until it is emptied.
    const std::size_t room = kRecvDataLimit - std::min(kRecvDataLimit, state_.RecvData.size());
    state_.RecvData.append(inputBuffer_, 0, std::min(room, inputBuffer_.size()));
    state_.AwaitReply = 0;
    Hyouji(state_.RecvData, 2);
}

void Controller::onPortFailure(const PortError& error) {
    reportPortProblem(error);
}

void Controller::tickTimer1() {
    if (state_.RepeatKey == 0) return;
    if (auto code = RepeatCode(state_.RepeatKey)) SendCommand(*code);
    // The tick leaves Timer1 enabled with its count running: re-enabling it here would begin a new
    // count and stretch every period by the time this handler took.
}

void Controller::tickTimer2() {
    if (state_.AwaitReply == 1) setCaption(LabelId::Label12, std::string(kNoReply));
    timers_.timer2.setEnabled(false);
    clearRecvData();
    state_.AwaitReply = 0;
}

void Controller::tickTimer3() {
    setPortSelectorVisible(false);
    timers_.timer3.setEnabled(false);
}

void Controller::tickTimer4() {
    setCaption(LabelId::Label11, {});
    setCaption(LabelId::Label12, {});
    setCaption(LabelId::Label22, {});
    timers_.timer4.setEnabled(false);
}

void Controller::selectPort(int port, int fallback) {
    PortResult failure;
    auto note = [&failure](PortResult result) {
        if (result) failure = std::move(result);  // a later failure replaces an earlier one
    };
    if (port_.isOpen()) note(port_.setOpen(false));
    note(port_.setCommPort(port));
    // A closed port is opened too: otherwise one failed selection would leave every port closed
    // until the program restarts.
    if (!failure) note(port_.setOpen(true));
    if (failure) {
        problemReported_ = true;
        view_.showPortSelectionFailure(failure->description);
        (void)port_.setCommPort(fallback);
        return;  // the port selector stays shown
    }
    portOpened();
    setPortSelectorVisible(false);
}

void Controller::selectSpeed(std::string_view settings) {
    state_.CommSettings = std::string(settings);
    // The port stays as it was, so a later failure of it is still worth telling.
    if (PortResult failed = port_.setSettings(state_.CommSettings))
        view_.showPortSelectionFailure(failed->description);
    setPortSelectorVisible(false);
}

void Controller::showPortSelector() {
    setPortSelectorVisible(true);
    timers_.timer3.setEnabled(true);
}

void Controller::togglePanelTimer() {
    // The window changes its height between these two steps; only the timer's restart shows.
    timers_.timer3.setEnabled(false);
    state_.PanelOpen = 0;
    timers_.timer3.setEnabled(true);
}

void Controller::end() {
    (void)port_.setOpen(false);
    view_.endProgram();
}

void Controller::setCaption(LabelId label, std::string text) {
    std::string* target = &label22_;
    if (label == LabelId::Label11) target = &label11_;
    if (label == LabelId::Label12) {
        target = &label12_;
        label12MirrorsRecv_ = false;
    }
    *target = std::move(text);
    view_.captionChanged(label, *target);
}

void Controller::setPortSelectorVisible(bool visible) {
    frame8Visible_ = visible;
    view_.setPortSelectorVisible(visible);
}

void Controller::clearRecvData() {
    state_.RecvData.clear();
    label12MirrorsRecv_ = false;
}

void Controller::renderReceived(const std::string& data) {
    // Incremental when Label12 still holds the trace of an earlier, shorter RecvData: rendering is
    // linear in what arrived, not in everything received so far.
    const bool incremental =
        &data == &state_.RecvData && label12MirrorsRecv_ && label12Rendered_ <= data.size();
    if (incremental) {
        AppendTrace(label12_, std::string_view(data).substr(label12Rendered_));
    } else {
        label12_ = RenderTrace(data);
    }
    label12MirrorsRecv_ = &data == &state_.RecvData;
    label12Rendered_ = data.size();
    view_.captionChanged(LabelId::Label12, label12_);
}

void Controller::ioFailed(const PortError& error) {
    // Whatever failed, the port is treated as closed: a later port selection opens it again.
    if (port_.isOpen()) (void)port_.setOpen(false);
    reportPortProblem(error);
}

void Controller::reportPortProblem(const PortError& error) {
    if (problemReported_) return;
    problemReported_ = true;
    view_.notifyPortProblem(port_.deviceName() + ": " + error.description);
}

}  // namespace panel
