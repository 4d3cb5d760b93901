#include "tools/fuzz/controller_scenario.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "core/catalogue.h"
#include "core/replies.h"
#include "core/trace.h"
#include "testkit/controls.h"
#include "tools/fuzz/checks.h"

namespace panel::fuzz {
namespace {

using Op = test::FakePort::Op;

constexpr std::array<std::string_view, 8> kOtherControls{
    controls::kCom1,         controls::kCom2, controls::kBaud19200, controls::kBaud9600,
    controls::kPortSelector, controls::kEnd,  controls::kDataPanel, controls::kNoSuchControl,
};

// Around every interval the controller uses, so that ticks fall just before, on and after.
constexpr std::array<int, 32> kAdvances{
    1,   4,   5,   6,   24,  25,  26,  49,  50,   51,   149,  150,  190,  199,  200,  201,
    245, 249, 250, 251, 499, 500, 501, 999, 1000, 1001, 1999, 2000, 2500, 4999, 5000, 5500};

constexpr std::array<std::string_view, 3> kLabelNames{"Label11", "Label12", "Label22"};

std::size_t Index(LabelId label) {
    return static_cast<std::size_t>(label);
}

// Every control name the window has, the catalogue's first, and one it does not have.
const std::vector<std::string_view>& Controls() {
    static const std::vector<std::string_view> names = [] {
        std::vector<std::string_view> all;
        for (const OneShotRow& row : OneShotCatalogue()) all.push_back(row.button);
        for (const HoldRow& row : HoldCatalogue()) all.push_back(row.button);
        all.insert(all.end(), kOtherControls.begin(), kOtherControls.end());
        return all;
    }();
    return names;
}

bool IsHoldKey(std::uint8_t key) {
    for (const HoldRow& row : HoldCatalogue()) {
        if (row.key == key) return true;
    }
    return false;
}

}  // namespace

ControllerScenario::ControllerScenario() {
    port_.setObserver(ObservedPort::Observer{
        [this](const std::string& bytes, bool failed) {
            model_.writes.push_back(bytes);
            if (failed) onReport('F');
        },
        [this] { onReport('O'); },
    });
    view_.setReporter([this](char kind) { onReport(kind); });
    clock_.onTick([this](const test::FakeTimer& timer) { onTick(timer); });
}

void ControllerScenario::onReport(char kind) {
    if (kind == 'N') {
        const std::size_t lastOpen = events_.rfind('O');
        const std::size_t since = lastOpen == std::string::npos ? 0 : lastOpen + 1;
        if (events_.find_first_of("NM", since) != std::string::npos && reportRuleBroken_.empty())
            reportRuleBroken_ = "a port problem was reported again before the port opened";
    }
    events_ += kind;
}

void ControllerScenario::expectSend(std::string frame, bool framed) {
    model_.labels[Index(LabelId::SentTrace)] = RenderTrace(frame);
    model_.awaitReply = 1;
    if (framed) model_.sendData = frame;
    model_.expectedWrites.push_back(std::move(frame));
}

void ControllerScenario::expectRender(const std::string& data) {
    std::string& label12 = model_.labels[Index(LabelId::ReceivedTrace)];
    label12 = RenderTrace(data);
    const Decoded decoded = DecodeReply(model_.sendData, "", label12);
    if (decoded.pressureValue) model_.pressureValue = *decoded.pressureValue;
    if (decoded.caption) model_.labels[Index(LabelId::DecodedReply)] = *decoded.caption;
}

void ControllerScenario::receiveEvent(int kind, const std::string& block) {
    model_.pending += block;
    if (kind == kCommEventReceived) {
        if (failing_.contains(Op::Input)) {
            onReport('F');
        } else {
            const std::string taken = std::exchange(model_.pending, {});
            if (!taken.empty()) {
                const std::size_t room = kRecvDataLimit - model_.recvData.size();
                model_.recvData += taken.substr(0, room);
                model_.awaitReply = 0;
                expectRender(model_.recvData);
            }
        }
    }
    if (kind == kCommEventReceived) {
        fake_.receive(block);
    } else {
        fake_.raiseEvent(kind, block);
    }
}

void ControllerScenario::fail(test::FakePort::Op op) {
    failing_.insert(op);
    fake_.failOn(op, PortError{"fuzzed failure"});
}

void ControllerScenario::onTick(const test::FakeTimer& timer) {
    if (&timer == &timers_.repeat) {
        if (model_.repeatKey != 0) {
            if (auto code = RepeatCode(model_.repeatKey))
                expectSend(std::string(*code) + "\r", true);
        }
    } else if (&timer == &timers_.replyWindow) {
        if (model_.awaitReply == 1) model_.labels[Index(LabelId::ReceivedTrace)] = " X X X X";
        model_.recvData.clear();
        model_.awaitReply = 0;
    } else if (&timer == &timers_.clearing) {
        for (auto& label : model_.labels) label.clear();
    }
}

std::string ControllerScenario::step(ByteReader& in) {
    using Action = std::string (ControllerScenario::*)(ByteReader&);
    // Clicks come twice as often as the other steps: most controls are clicked.
    static constexpr std::array<Action, 16> kActions{
        &ControllerScenario::click,       &ControllerScenario::click,
        &ControllerScenario::press,       &ControllerScenario::release,
        &ControllerScenario::sendManual,  &ControllerScenario::receiveShort,
        &ControllerScenario::receiveLong, &ControllerScenario::advance,
        &ControllerScenario::failPort,    &ControllerScenario::mendPort,
        &ControllerScenario::hangUp,      &ControllerScenario::removeDevice,
        &ControllerScenario::otherEvent,  &ControllerScenario::unlockPanel,
        &ControllerScenario::display,     &ControllerScenario::displayReceived,
    };
    return (this->*kActions[in.byte() % kActions.size()])(in);
}

std::string ControllerScenario::click(ByteReader& in) {
    const std::string_view name = Controls()[in.byte() % Controls().size()];
    const OneShotRow* row = FindOneShot(name);
    bool known = row != nullptr;
    for (std::string_view other : kOtherControls) known = known || other == name;
    known = known && name != controls::kNoSuchControl;
    if (row) expectSend(std::string(row->code) + "\r", true);
    if (row && row->setsArrowPacing) model_.arrowMode = kArrowModeMenu;
    if (name == controls::kDataPanel) model_.panelOpen = 0;
    const std::size_t before = events_.size();
    const Handled handled = controller_.click(name);
    // A failed speed choice is told in the selection's box but leaves the port as it was, so it
    // does not stand for a port problem that later failures would repeat.
    if (name == controls::kBaud19200 || name == controls::kBaud9600)
        std::replace(events_.begin() + static_cast<std::ptrdiff_t>(before), events_.end(), 'M',
                     'S');
    if ((handled == Handled::Yes) != known)
        return "click " + std::string(name) + " handled wrongly";
    return {};
}

std::string ControllerScenario::press(ByteReader& in) {
    const std::string_view name = Controls()[in.byte() % Controls().size()];
    const HoldRow* row = FindHold(name);
    if (row) {
        model_.repeatKey = row->key;
        expectSend(std::string(row->code) + "\r", true);
    }
    if ((controller_.press(name) == Handled::Yes) != (row != nullptr))
        return "press " + std::string(name) + " handled wrongly";
    return {};
}

std::string ControllerScenario::release(ByteReader& in) {
    const std::string_view name = Controls()[in.byte() % Controls().size()];
    const HoldRow* row = FindHold(name);
    if (row) {
        model_.repeatKey = 0;
        model_.labels[Index(LabelId::SentTrace)].clear();
        model_.labels[Index(LabelId::ReceivedTrace)].clear();
        model_.recvData.clear();
        if (row->zoomRelease) model_.arrowMode = kArrowModeZoom;
    }
    if ((controller_.release(name) == Handled::Yes) != (row != nullptr))
        return "release " + std::string(name) + " handled wrongly";
    return {};
}

std::string ControllerScenario::sendManual(ByteReader& in) {
    const std::uint8_t b = in.byte();
    const std::string text =
        b < 144 ? std::string(kQueries[b % kQueries.size()]) : in.bytes(b % 24);
    model_.manualCmd = text;
    expectSend(text + "\r", true);
    controller_.sendManual(text);
    return {};
}

std::string ControllerScenario::receiveShort(ByteReader& in) {
    receiveEvent(kCommEventReceived, in.bytes(in.byte() % 16));
    return {};
}

std::string ControllerScenario::receiveLong(ByteReader& in) {
    const std::size_t length = in.word();
    const std::string pattern = in.bytes(1 + in.byte() % 4);
    std::string block;
    while (!pattern.empty() && block.size() < length) block += pattern;
    receiveEvent(kCommEventReceived, block);
    return {};
}

std::string ControllerScenario::advance(ByteReader& in) {
    const std::uint8_t b = in.byte();
    clock_.advance(
        std::chrono::milliseconds{b < 224 ? kAdvances[b % kAdvances.size()] : in.word() % 12000});
    return {};
}

std::string ControllerScenario::failPort(ByteReader& in) {
    fail(static_cast<Op>(in.byte() % 6));
    return {};
}

std::string ControllerScenario::mendPort(ByteReader& in) {
    const auto which = static_cast<Op>(in.byte() % 6);
    failing_.erase(which);
    fake_.clearFailure(which);
    return {};
}

std::string ControllerScenario::hangUp(ByteReader&) {
    onReport('F');
    fake_.hangUp(PortError{"The device was disconnected"});
    return {};
}

std::string ControllerScenario::removeDevice(ByteReader& in) {
    fake_.makeUnopenable(1 + in.byte() % 2, PortError{"No such device"});
    return {};
}

std::string ControllerScenario::otherEvent(ByteReader& in) {
    static constexpr std::array<int, 4> kKinds{1, 3, kCommEventOther, kCommEventReceived};
    const int kind = kKinds[in.byte() % kKinds.size()];
    receiveEvent(kind, in.bytes(in.byte() % 8));
    return {};
}

std::string ControllerScenario::unlockPanel(ByteReader&) {
    model_.panelOpen = 1;
    controller_.unlockPanel();
    return {};
}

std::string ControllerScenario::display(ByteReader& in) {
    const std::uint8_t mode = in.byte();
    const std::string data = in.bytes(in.byte() % 16);
    if (mode == kDisplaySend) {
        expectSend(data, false);
    } else {
        expectRender(data);
    }
    controller_.display(data, mode);
    return {};
}

std::string ControllerScenario::displayReceived(ByteReader& in) {
    // The receive handler's own call, RecvData passed by reference.
    const std::uint8_t mode = static_cast<std::uint8_t>(2 + in.byte() % 254);
    expectRender(model_.recvData);
    controller_.display(controller_.state().RecvData, mode);
    return {};
}

std::string ControllerScenario::check() const {
    const FormState& s = controller_.state();
    if (!reportRuleBroken_.empty()) return reportRuleBroken_;
    if (port_.writtenWhileClosed) return "written to a closed port";
    if (s.RecvData.size() > kRecvDataLimit) return "RecvData is longer than 32767 characters";
    if (s.RecvData != model_.recvData) return "RecvData differs from the model";
    if (s.SendData != model_.sendData) return "SendData differs from the model";
    if (!s.CmdPrefix.empty()) return "CmdPrefix is not empty";
    if (s.ManualCmd != model_.manualCmd) return "ManualCmd differs from the model";
    if (s.AwaitReply != model_.awaitReply) return "AwaitReply differs from the model";
    if (s.RepeatKey != model_.repeatKey) return "RepeatKey differs from the model";
    if (s.RepeatKey != 0 && !IsHoldKey(s.RepeatKey)) return "RepeatKey is no key of the hold table";
    if (s.ArrowMode != model_.arrowMode) return "ArrowMode differs from the model";
    if (s.PanelOpen != model_.panelOpen) return "PanelOpen differs from the model";
    if (s.PressureValue != model_.pressureValue) return "PressureValue differs from the model";
    if (model_.writes != model_.expectedWrites) return "the frames written differ from the model";
    if (timers_.repeat.isEnabled() != (s.RepeatKey != 0))
        return "Timer1 runs without a held button, or a held button does not repeat";
    if (timers_.replyWindow.interval() > timers_.clearing.interval())
        return "the reply window outlasts the clearing delay";
    for (std::size_t i = 0; i < kLabelNames.size(); ++i) {
        const auto label = static_cast<LabelId>(i);
        const std::string name(kLabelNames[i]);
        if (controller_.caption(label) != model_.labels[i]) return name + " differs from the model";
        if (view_.captions[i] != controller_.caption(label))
            return name + " is not what the view shows";
    }
    if (view_.frame8Visible != controller_.portSelectorVisible())
        return "the view's port selector disagrees with the controller";
    // Every failure since the port last opened has been told, once.
    const std::size_t lastOpen = events_.rfind('O');
    const std::size_t since = lastOpen == std::string::npos ? 0 : lastOpen + 1;
    if (events_.find('F', since) != std::string::npos &&
        events_.find_first_of("NM", since) == std::string::npos)
        return "a port failure was not reported";
    return {};
}

std::string ControllerScenario::run(std::span<const std::uint8_t> data) {
    ByteReader in(data);
    try {
        // The first byte sets the port up before start-up: COM1 missing, settings or opens refused.
        const std::uint8_t setup = in.byte();
        if (setup & 1) fake_.makeUnopenable(1, PortError{"No such device"});
        if (setup & 2) fail(Op::SetSettings);
        if (setup & 4) fail(Op::Open);
        controller_.load();
        if (std::string failure = check(); !failure.empty()) return "after load: " + failure;
        for (int n = 1; !in.empty(); ++n) {
            model_.writes.clear();
            model_.expectedWrites.clear();
            std::string failure = step(in);
            if (failure.empty()) failure = check();
            if (!failure.empty()) return "step " + std::to_string(n) + ": " + failure;
        }
    } catch (const std::exception& e) {
        return std::string("exception: ") + e.what();
    }
    return {};
}

std::string CheckController(std::span<const std::uint8_t> data) {
    ControllerScenario scenario;
    return scenario.run(data);
}

}  // namespace panel::fuzz
