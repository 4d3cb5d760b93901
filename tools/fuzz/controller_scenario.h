// One run of the controller fuzzer: a loaded controller over the fake port and virtual clock, a
// reference model of the form state it must agree with, and the coded steps that drive both.
#pragma once

#include <array>
#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/controller.h"
#include "testkit/controller_rig.h"
#include "tools/fuzz/byte_reader.h"
#include "tools/fuzz/observed_port.h"
#include "tools/fuzz/recording_view.h"

namespace panel::fuzz {

class ControllerScenario {
public:
    ControllerScenario();

    // Sets the port up as the first byte of `data` says, starts the controller, runs the steps
    // coded in the rest; returns the first rule broken, with its step, or empty.
    std::string run(std::span<const std::uint8_t> data);

private:
    // What the controller must show after each step, kept from the outside.
    struct Model {
        std::string sendData;
        std::string recvData;
        std::string pending;  // waiting in the fake port, not read yet
        std::string manualCmd;
        std::uint8_t awaitReply = 0;
        std::uint8_t repeatKey = 0;
        std::uint8_t arrowMode = 0;
        std::int16_t panelOpen = 0;
        std::int16_t pressureValue = 0;
        std::array<std::string, 3> labels;  // by LabelId
        std::vector<std::string> expectedWrites;
        std::vector<std::string> writes;
    };

    // One coded step, chosen by its first byte from a table of the actions below.
    std::string step(ByteReader& in);
    std::string click(ByteReader& in);
    std::string press(ByteReader& in);
    std::string release(ByteReader& in);
    std::string sendManual(ByteReader& in);
    std::string receiveShort(ByteReader& in);
    std::string receiveLong(ByteReader& in);
    std::string advance(ByteReader& in);
    std::string failPort(ByteReader& in);
    std::string mendPort(ByteReader& in);
    std::string hangUp(ByteReader& in);
    std::string removeDevice(ByteReader& in);
    std::string otherEvent(ByteReader& in);
    std::string unlockPanel(ByteReader& in);
    std::string display(ByteReader& in);
    std::string displayReceived(ByteReader& in);
    std::string check() const;

    void expectSend(std::string frame, bool framed);
    void expectRender(const std::string& data);
    void receiveEvent(int kind, const std::string& block);
    void fail(test::FakePort::Op op);
    void onTick(const test::FakeTimer& timer);
    void onReport(char kind);

    test::ControllerRig<RecordingView, ObservedPort> rig_;
    test::VirtualClock& clock_ = rig_.clock;
    test::FakeTimers& timers_ = rig_.timers;
    test::FakePort& fake_ = rig_.port.fake();
    ObservedPort& port_ = rig_.port;
    RecordingView& view_ = rig_.view;
    Controller& controller_ = rig_.controller;

    Model model_;
    std::set<test::FakePort::Op> failing_;
    // Port opens, failures and reports in the order they happened: O, F, N (notice), M (modal).
    std::string events_;
    std::string reportRuleBroken_;
};

}  // namespace panel::fuzz
