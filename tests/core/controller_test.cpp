// The send and receive paths, the exchange timers, start-up and the port and speed selection.
#include <random>

#include "core/trace.h"
#include "testkit/controls.h"
#include "tests/core/controller_fixture.h"
#include "tests/support/expected_replies.h"

namespace panel::test {
namespace {

using namespace std::chrono_literals;

using Op = FakePort::Op;

class SendTest : public ControllerFixture {};

TEST_F(SendTest, FrameIsPrefixCodeAndOneCarriageReturn) {
    struct Case {
        std::string code;
        std::string frame;
        std::string trace;
    };
    for (const Case& c : {Case{"C00", "C00\r", " C 0 0 CR "},
                          Case{"CF INPUT HDMI HDMI", "CF INPUT HDMI HDMI\r",
                               " C F   I N P U T   H D M I   H D M I CR "},
                          Case{"", "\r", " CR "}}) {
        port.clearWrites();
        controller.SendCommand(c.code);
        ASSERT_EQ(port.writes().size(), 1u) << "one write per frame";
        EXPECT_EQ(port.writes()[0], c.frame);
        EXPECT_EQ(state().SendData, c.frame);
        EXPECT_EQ(label(LabelId::SentTrace), c.trace);
        EXPECT_EQ(state().AwaitReply, 1);
        EXPECT_TRUE(timers.replyWindow.isEnabled());
        EXPECT_TRUE(timers.clearing.isEnabled());
    }
}

TEST_F(SendTest, SendLeavesTheReceivedLabelsAndTextAlone) {
    click(controls::kStatus);
    port.receive("00\r");
    controller.SendCommand("C01");
    EXPECT_EQ(label(LabelId::ReceivedTrace), " 0 0 CR ");
    EXPECT_EQ(label(LabelId::DecodedReply), expected::Caption("CR0", "00"));
    EXPECT_EQ(state().RecvData, "00\r");
}

TEST_F(SendTest, DisplayWithAnyModeButOneTakesTheReceivePath) {
    click(controls::kStatus);
    port.clearWrites();
    controller.display("00\r", 7);
    EXPECT_TRUE(port.writes().empty());
    EXPECT_EQ(label(LabelId::ReceivedTrace), " 0 0 CR ");
    EXPECT_EQ(label(LabelId::DecodedReply), expected::Caption("CR0", "00"));
    EXPECT_EQ(label(LabelId::SentTrace), " C R 0 CR ");
}

class ReplyWindowTest : public ControllerFixture {};

TEST_F(ReplyWindowTest, NoAnswerIsMarkedAtTheReplyWindowsClose) {
    click(controls::kPowerOn);
    clock.advance(499ms);
    EXPECT_EQ(label(LabelId::ReceivedTrace), "");
    clock.advance(1ms);
    EXPECT_EQ(label(LabelId::ReceivedTrace), " X X X X");
    EXPECT_EQ(state().AwaitReply, 0);
    EXPECT_FALSE(timers.replyWindow.isEnabled());
    clock.advance(500ms);
    EXPECT_EQ(label(LabelId::SentTrace), "");
    EXPECT_EQ(label(LabelId::ReceivedTrace), "");
    EXPECT_EQ(label(LabelId::DecodedReply), "");
    EXPECT_FALSE(timers.clearing.isEnabled());
}

TEST_F(ReplyWindowTest, AnySingleCharacterPreventsTheMark) {
    for (char c : std::string("\x06\r ?z\0", 6)) {
        click(controls::kPowerOn);
        port.receive(std::string(1, c));
        clock.advance(500ms);
        EXPECT_NE(label(LabelId::ReceivedTrace), " X X X X") << int(c);
        EXPECT_EQ(label(LabelId::ReceivedTrace), RenderTrace(std::string(1, c)));
        clock.advance(1000ms);
    }
}

TEST_F(ReplyWindowTest, ReplyWindowEmptiesRecvDataButTheLabelsKeepTheReply) {
    click(controls::kStatus);
    port.receive("80\r");
    clock.advance(500ms);
    EXPECT_EQ(state().RecvData, "");
    EXPECT_EQ(label(LabelId::ReceivedTrace), " 8 0 CR ");
    EXPECT_EQ(label(LabelId::DecodedReply), expected::Caption("CR0", "80"));
    clock.advance(500ms);
    EXPECT_EQ(label(LabelId::ReceivedTrace), "");
    EXPECT_EQ(label(LabelId::DecodedReply), "");
}

TEST_F(ReplyWindowTest, ReplyInTwoPiecesGrowsTheTraceAndDecodesWhenComplete) {
    click(controls::kStatus);
    click(controls::kStatus);  // Label22 must stay as it was on the first piece
    port.receive("0");
    EXPECT_EQ(state().RecvData, "0");
    EXPECT_EQ(label(LabelId::ReceivedTrace), " 0 ");
    EXPECT_EQ(label(LabelId::DecodedReply), "");
    port.receive("0\r");
    EXPECT_EQ(state().RecvData, "00\r");
    EXPECT_EQ(label(LabelId::ReceivedTrace), " 0 0 CR ");
    EXPECT_EQ(label(LabelId::DecodedReply), expected::Caption("CR0", "00"));
}

TEST_F(ReplyWindowTest, CharactersAfterTheWindowClosedAreStillShownAndDecoded) {
    click(controls::kInputMode);
    clock.advance(1000ms);  // both timers ran out
    port.receive("3\r");
    EXPECT_EQ(label(LabelId::ReceivedTrace), " 3 CR ");
    EXPECT_EQ(label(LabelId::DecodedReply), " Video");
    clock.advance(5000ms);
    EXPECT_EQ(label(LabelId::DecodedReply), " Video") << "no timer runs to clear it";
}

TEST_F(ReplyWindowTest, IntervalsLastSetStayInForce) {
    click(controls::kPictureReal);  // REAL: 2000 / 2500
    click(controls::kPowerOff);     // OFF sets none
    clock.advance(1999ms);
    EXPECT_EQ(label(LabelId::ReceivedTrace), "");
    clock.advance(1ms);
    EXPECT_EQ(label(LabelId::ReceivedTrace), " X X X X");
    controller.sendManual("C00");
    EXPECT_EQ(pair(), (std::pair{2000, 2500}));
    press(controls::kVolumeUp);
    release(controls::kVolumeUp);
    click(controls::kPowerOn);
    EXPECT_EQ(pair(), (std::pair{500, 1000}));
}

TEST_F(ReplyWindowTest, ClickBeforeTheWindowClosedDecodesTheRestAgainstTheNewQuery) {
    click(controls::kPowerOn);  // power on: its answer is no query reply
    port.receive("0");
    click(controls::kStatus);  // STATUS before the first reply window closed
    port.receive("0\r");
    EXPECT_EQ(state().RecvData, "00\r");
    EXPECT_EQ(label(LabelId::DecodedReply), expected::Caption("CR0", "00"));
}

TEST_F(ReplyWindowTest, NoDecoderAfterAControlCommand) {
    click(controls::kPowerOn);
    port.receive("00\r");
    EXPECT_EQ(label(LabelId::ReceivedTrace), " 0 0 CR ");
    EXPECT_EQ(label(LabelId::DecodedReply), "");
}

TEST_F(ReplyWindowTest, ManualQueriesDecodeOnlyWhenTypedExactly) {
    controller.sendManual("CR9");
    port.receive("ID 1.0\r");
    EXPECT_EQ(label(LabelId::DecodedReply), label(LabelId::ReceivedTrace));
    clock.advance(3000ms);
    for (const char* typed : {"cr0", "CR0 ", " CR0"}) {
        controller.sendManual(typed);
        EXPECT_EQ(port.writes().back(), std::string(typed) + "\r");
        port.receive("00\r");
        EXPECT_EQ(label(LabelId::DecodedReply), "") << typed;
        clock.advance(3000ms);
    }
    controller.sendManual("CR0");
    port.receive("00\r");
    EXPECT_EQ(label(LabelId::DecodedReply), expected::Caption("CR0", "00"));
    EXPECT_EQ(state().ManualCmd, "CR0");
}

TEST_F(ReplyWindowTest, PressureOutOfRangeLeavesLabelAndValueThenLaterRepliesDecode) {
    controller.sendManual("CR PRESSURE");
    port.receive("512\r");
    EXPECT_EQ(label(LabelId::DecodedReply), "650 hPa");
    EXPECT_EQ(state().PressureValue, 650);
    clock.advance(2000ms);  // reply window closes, labels stay until 2500
    controller.sendManual("CR PRESSURE");
    port.receive("1E999\r");
    EXPECT_EQ(label(LabelId::DecodedReply), "650 hPa");
    EXPECT_EQ(state().PressureValue, 650);
    clock.advance(2000ms);
    controller.sendManual("CR PRESSURE");
    port.receive("99999\r");
    EXPECT_EQ(state().PressureValue, 650);
    clock.advance(2000ms);
    controller.sendManual("CR PRESSURE");
    port.receive("1000\r");
    EXPECT_EQ(label(LabelId::DecodedReply), "1169 hPa");
    EXPECT_EQ(state().PressureValue, 1169);
}

TEST_F(ReplyWindowTest, OtherPortEventsAreIgnored) {
    click(controls::kStatus);
    port.raiseEvent(kCommEventOther, "00\r");
    EXPECT_EQ(state().RecvData, "");
    EXPECT_EQ(state().AwaitReply, 1);
    EXPECT_EQ(port.inputCalls(), 0);
    clock.advance(500ms);
    EXPECT_EQ(label(LabelId::ReceivedTrace), " X X X X");
}

TEST_F(ReplyWindowTest, ReceivedTextIsCappedAt32767Characters) {
    click(controls::kPowerOn);
    port.receive(std::string(32760, 'A'));
    port.receive(std::string(100, 'B'));
    ASSERT_EQ(state().RecvData.size(), 32767u);
    EXPECT_EQ(state().RecvData.substr(32760), "BBBBBBB");
    port.receive("C");
    EXPECT_EQ(state().RecvData.size(), 32767u);
    EXPECT_EQ(label(LabelId::ReceivedTrace), RenderTrace(state().RecvData));
    clock.advance(500ms);  // emptied: new characters are taken again
    port.receive("D");
    EXPECT_EQ(state().RecvData, "D");
    EXPECT_EQ(label(LabelId::ReceivedTrace), " D ");
}

TEST_F(ReplyWindowTest, IncrementalTraceAlwaysEqualsAFullRender) {
    std::mt19937 rng(7);
    for (int step = 0; step < 3000; ++step) {
        switch (rng() % 8) {
            case 0:
                click(controls::kStatus);
                break;
            case 1:
                clock.advance(std::chrono::milliseconds{rng() % 700});
                break;
            case 2:
                rng() % 2 ? press(controls::kBrightnessUp) : release(controls::kBrightnessUp);
                break;
            default: {
                std::string block(1 + rng() % 20, '\0');
                for (char& c : block) c = static_cast<char>(rng() % 256);
                port.receive(block);
                ASSERT_EQ(label(LabelId::ReceivedTrace), RenderTrace(state().RecvData)) << step;
            }
        }
    }
}

class PortSelectionTest : public ControllerFixture {};

// Start-up itself under test: the window is not loaded yet.
class StartUpTest : public ControllerFixture {
protected:
    void SetUp() override {}
};

TEST_F(StartUpTest, OpensCom1At19200AndSelectsOption1) {
    EXPECT_EQ(timers.repeat.interval(), 200ms);
    EXPECT_EQ(timers.replyWindow.interval(), 500ms);
    EXPECT_EQ(timers.selectorHide.interval(), 5000ms);
    EXPECT_EQ(timers.clearing.interval(), 1000ms);

    std::vector<std::string> seen;
    controller.load([&] {
        seen.push_back("place " + state().CommSettings + " prefix=" + state().CmdPrefix);
        seen.insert(seen.end(), port.log().begin(), port.log().end());
    });
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), "place 19200,N,8,1 prefix=");
    EXPECT_EQ(seen.size(), 1u) << "the window is placed before the port is touched";
    EXPECT_EQ(port.log(), (std::vector<std::string>{"port 1", "settings 19200,N,8,1", "open",
                                                    "close", "port 1", "open"}));
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.commPort(), 1);
    EXPECT_EQ(port.settings(), "19200,N,8,1");
    EXPECT_TRUE(view.option1Selected);
    EXPECT_FALSE(view.frame8Visible);
    EXPECT_TRUE(view.modalFailures.empty());
    EXPECT_TRUE(port.writes().empty()) << "no command is sent at start-up";
    for (const FakeTimer* t :
         {&timers.repeat, &timers.replyWindow, &timers.selectorHide, &timers.clearing})
        EXPECT_FALSE(t->isEnabled()) << t->name();
}

TEST_F(StartUpTest, PortThatCannotOpenGivesOneMessageAndTheWindowRuns) {
    port.makeUnopenable(1, PortError{"No such file or directory"});
    controller.load();
    EXPECT_EQ(view.modalFailures, (std::vector<std::string>{"No such file or directory"}));
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.commPort(), 2) << "the selection's fallback port";
    // Sends still run their exchange; nothing more is reported until a port opens.
    click(controls::kPowerOn);
    EXPECT_TRUE(port.writes().empty());
    EXPECT_EQ(label(LabelId::SentTrace), " C 0 0 CR ");
    EXPECT_TRUE(view.problems.empty());
}

TEST_F(PortSelectionTest, SelectingCom2ClosesCom1OpensCom2AndHidesTheSelector) {
    click(controls::kPortSelector);
    EXPECT_TRUE(view.frame8Visible);
    click(controls::kCom2);
    EXPECT_EQ(port.log(), (std::vector<std::string>{"close", "port 2", "open"}));
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.commPort(), 2);
    EXPECT_FALSE(view.frame8Visible);
    EXPECT_TRUE(view.modalFailures.empty());
}

TEST_F(PortSelectionTest, FailedSelectionReportsAndFallsBack) {
    port.makeUnopenable(2, PortError{"Permission denied"});
    click(controls::kPortSelector);
    click(controls::kCom2);
    EXPECT_EQ(view.modalFailures, (std::vector<std::string>{"Permission denied"}));
    EXPECT_EQ(port.commPort(), 1);
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(view.frame8Visible) << "the selector stays shown";
}

// However long the operator leaves the failure's box up, the selector is still there when it is
// dismissed, and has its full time again: a click meant for COM2 lands on the selector, never
// on "COM" beneath a selector that hid meanwhile.
struct HeldBoxCase {
    const char* name;
    friend void PrintTo(const HeldBoxCase& c, std::ostream* os) { *os << c.name; }
    std::chrono::milliseconds held;
};

class HeldBoxTest : public ControllerFixture, public testing::WithParamInterface<HeldBoxCase> {};

TEST_P(HeldBoxTest, EveryFailedSelectionIsToldAndLeavesTheSelectorForTheNext) {
    port.makeUnopenable(2, PortError{"No such file or directory"});
    view.whileFailureShown = [this] { clock.advance(GetParam().held); };
    click(controls::kPortSelector);
    for (std::size_t attempt = 1; attempt <= 4; ++attempt) {
        SCOPED_TRACE(attempt);
        // A click where COM2 is shown reaches "COM" when the selector has gone.
        click(view.frame8Visible ? controls::kCom2 : controls::kPortSelector);
        EXPECT_EQ(view.modalFailures.size(), attempt);
        EXPECT_TRUE(view.frame8Visible);
        EXPECT_FALSE(port.isOpen());
    }
    clock.advance(4999ms);
    EXPECT_TRUE(view.frame8Visible);
    clock.advance(1ms);
    EXPECT_FALSE(view.frame8Visible) << "hidden 5000 ms after the last box was dismissed";
}

INSTANTIATE_TEST_SUITE_P(Table, HeldBoxTest,
                         testing::Values(HeldBoxCase{"DismissedAtOnce", 0ms},
                                         HeldBoxCase{"ReadForFourSeconds", 4000ms},
                                         HeldBoxCase{"ReadForExactlyTheSelectorsTime", 5000ms},
                                         HeldBoxCase{"LeftUpForAMinute", 60000ms}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PortSelectionTest, LastFailureOfTheStepsIsReported) {
    port.failOn(Op::Close, PortError{"close failed"});
    port.failOn(Op::SetCommPort, PortError{"port change failed"});
    click(controls::kCom2);
    EXPECT_EQ(view.modalFailures, (std::vector<std::string>{"port change failed"}));
    EXPECT_EQ(std::count(port.log().begin(), port.log().end(), "open"), 0)
        << "no reopen after a failed step";
}

TEST_F(PortSelectionTest, SelectionOnAClosedPortOpensTheChosenPort) {
    port.makeUnopenable(2, PortError{"No such file or directory"});
    click(controls::kCom2);  // fails: port closed, number back to 1
    ASSERT_FALSE(port.isOpen());
    click(controls::kCom1);
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.commPort(), 1);
    EXPECT_EQ(view.modalFailures.size(), 1u);
    click(controls::kPowerOn);
    EXPECT_EQ(port.written(), "C00\r");
}

TEST_F(PortSelectionTest, SpeedSelectionChangesTheOpenPortWithoutClosingIt) {
    click(controls::kPortSelector);
    click(controls::kBaud9600);
    EXPECT_EQ(port.log(), (std::vector<std::string>{"settings 9600,N,8,1"}));
    EXPECT_EQ(state().CommSettings, "9600,N,8,1");
    EXPECT_TRUE(port.isOpen());
    EXPECT_FALSE(view.frame8Visible);
    click(controls::kBaud19200);
    EXPECT_EQ(port.settings(), "19200,N,8,1");
}

TEST_F(PortSelectionTest, FailedSpeedSelectionIsReported) {
    port.failOn(Op::SetSettings, PortError{"Unsupported operation"});
    click(controls::kBaud9600);
    EXPECT_EQ(view.modalFailures, (std::vector<std::string>{"Unsupported operation"}));
    EXPECT_FALSE(view.frame8Visible);
    // The port is still open: its own failure later is told as usual.
    port.hangUp(PortError{"The device was disconnected"});
    EXPECT_EQ(view.problems.size(), 1u);
}

TEST_F(PortSelectionTest, SelectorHidesItself5000MsAfterCom) {
    click(controls::kPortSelector);
    clock.advance(4999ms);
    EXPECT_TRUE(view.frame8Visible);
    clock.advance(1ms);
    EXPECT_FALSE(view.frame8Visible);
    EXPECT_FALSE(timers.selectorHide.isEnabled());
}

TEST_F(PortSelectionTest, Command34PostponesTheSelectorsHiding) {
    click(controls::kPortSelector);
    clock.advance(3000ms);
    controller.unlockPanel();
    click(controls::kDataPanel);
    EXPECT_EQ(state().PanelOpen, 0);
    clock.advance(4999ms);
    EXPECT_TRUE(view.frame8Visible);
    clock.advance(1ms);
    EXPECT_FALSE(view.frame8Visible);
}

TEST_F(PortSelectionTest, EndClosesThePortAndEndsTheProgram) {
    click(controls::kEnd);
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(view.ended);
}

class PortFailureTest : public ControllerFixture {};

TEST_F(PortFailureTest, WriteFailureClosesThePortAndIsReportedOnce) {
    port.failOn(Op::Output, PortError{"Write error"});
    click(controls::kPowerOn);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(view.problems, (std::vector<std::string>{"/dev/fake1: Write error"}));
    EXPECT_EQ(label(LabelId::SentTrace), " C 0 0 CR ") << "the trace shows as for any send";
    EXPECT_EQ(state().AwaitReply, 1);
    clock.advance(500ms);
    EXPECT_EQ(label(LabelId::ReceivedTrace), " X X X X");
    press(controls::kBrightnessUp);
    clock.advance(1000ms);
    release(controls::kBrightnessUp);
    EXPECT_EQ(view.problems.size(), 1u) << "not told again on every repeat";
}

TEST_F(PortFailureTest, HangUpIsReportedOnceAndAReselectOpensThePortAgain) {
    port.hangUp(PortError{"The device was disconnected"});
    EXPECT_EQ(view.problems, (std::vector<std::string>{"/dev/fake1: The device was disconnected"}));
    click(controls::kPowerOn);
    EXPECT_TRUE(port.writes().empty());
    EXPECT_EQ(view.problems.size(), 1u);
    click(controls::kCom1);
    ASSERT_TRUE(port.isOpen());
    click(controls::kPowerOn);
    EXPECT_EQ(port.written(), "C00\r");
    port.hangUp(PortError{"The device was disconnected"});
    EXPECT_EQ(view.problems.size(), 2u) << "told again after a successful open";
}

TEST_F(PortFailureTest, ReadFailureClosesThePortAndLeavesTheReplyWindowRunning) {
    click(controls::kStatus);
    port.failOn(Op::Input, PortError{"Read error"});
    port.receive("00\r");
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(view.problems, (std::vector<std::string>{"/dev/fake1: Read error"}));
    EXPECT_EQ(state().RecvData, "");
    clock.advance(500ms);
    EXPECT_EQ(label(LabelId::ReceivedTrace), " X X X X");
}

}  // namespace
}  // namespace panel::test
