// Press-and-hold timing on the virtual clock.
#include "tests/core/controller_fixture.h"

namespace panel::test {
namespace {

class RepeatTest : public ControllerFixture {
protected:
    // Frames written while holding `button` for `ms`, from the press to the release.
    std::size_t hold(std::string_view button, int ms) {
        port.clearWrites();
        press(button);
        clock.advance(ms);
        release(button);
        return port.writes().size();
    }
};

struct PeriodCase {
    const char* name;
    const char* button;
    int period;
    friend void PrintTo(const PeriodCase& c, std::ostream* os) { *os << c.name; }
};

class RepeatPeriodTest : public RepeatTest, public testing::WithParamInterface<PeriodCase> {};

TEST_P(RepeatPeriodTest, ReleaseWithinOnePeriodSendsOnce) {
    EXPECT_EQ(hold(GetParam().button, GetParam().period - 1), 1u);
}

TEST_P(RepeatPeriodTest, HoldOfNFullPeriodsSendsOnePlusNTimes) {
    for (int n : {1, 2, 7}) {
        EXPECT_EQ(hold(GetParam().button, n * GetParam().period), 1u + n) << n << " periods";
        clock.advance(2000);  // let the clearing delay of the release run out
    }
}

TEST_P(RepeatPeriodTest, EachPeriodEmptiesTheReplyAndBlanksTheLabelsBeforeTheNextSend) {
    const int period = GetParam().period;
    press(GetParam().button);
    for (int i = 0; i < 3; ++i) {
        clock.advance(1);
        port.receive("0");  // some answer in this period
        EXPECT_EQ(label(LabelId::Label12), " 0 ");
        clock.advance(period - 2);  // just before the next repeat
        EXPECT_EQ(state().RecvData, "");
        EXPECT_EQ(label(LabelId::Label11), "");
        EXPECT_EQ(label(LabelId::Label12), "");
        EXPECT_EQ(label(LabelId::Label22), "");
        clock.advance(1);  // the repeat
        EXPECT_NE(label(LabelId::Label11), "");
    }
}

TEST_P(RepeatPeriodTest, TickAfterTheReleaseSendsNothing) {
    press(GetParam().button);
    release(GetParam().button);
    port.clearWrites();
    clock.advance(10 * GetParam().period);
    EXPECT_TRUE(port.writes().empty());
}

INSTANTIATE_TEST_SUITE_P(Buttons, RepeatPeriodTest,
                         testing::Values(PeriodCase{"Vol", "Command1", 250},
                                         PeriodCase{"Brightness", "Command15", 50},
                                         PeriodCase{"Select", "Command6", 500}),
                         [](const auto& info) { return info.param.name; });

TEST_F(RepeatTest, ArrowsBeforeAnyModeKeepTimer1AndThePair) {
    EXPECT_EQ(hold("Command5", 600), 4u) << "200 ms from the window design";
    clock.advance(2000);
    click("Command10");    // picture mode: 2000 / 2500
    hold("Command2", 10);  // VOL "-" leaves Timer1 at 250
    click("Command10");
    port.clearWrites();
    press("Command8");
    EXPECT_EQ(pair(), (std::pair{2000, 2500}));
    clock.advance(500);
    EXPECT_EQ(port.writes().size(), 3u) << "250 ms left by the VOL press";
}

TEST_F(RepeatTest, ArrowsAfterArrowPacingButtons) {
    for (const char* pacing : {"Command13", "Command23"}) {
        click(pacing);
        port.clearWrites();
        press("Command7");
        EXPECT_EQ(pair(), (std::pair{150, 190}));
        clock.advance(200 * 3);
        release("Command7");
        EXPECT_EQ(port.writes().size(), 4u) << pacing;
        EXPECT_EQ(state().ArrowMode, 1);
    }
}

TEST_F(RepeatTest, ArrowsAfterZoomReleaseRepeatEvery5Ms) {
    hold("Command49", 10);
    EXPECT_EQ(state().ArrowMode, 3);
    EXPECT_EQ(timer1.interval(), 5);
    press("Command9");
    EXPECT_EQ(pair(), (std::pair{5, 5}));
    port.clearWrites();
    clock.advance(200);
    EXPECT_EQ(port.writes().size(), 40u);
    release("Command9");
}

TEST_F(RepeatTest, ZoomPressItselfRepeatsAt250) {
    press("Command48");
    EXPECT_EQ(timer1.interval(), 250);
    EXPECT_EQ(state().ArrowMode, 0);
}

TEST_F(RepeatTest, AfterZoomReleaseAVolPressSetsThePeriodButArrowsKeepThe5MsPair) {
    hold("Command48", 10);
    hold("Command1", 10);
    EXPECT_EQ(state().ArrowMode, 3);
    EXPECT_EQ(hold("Command5", 750), 4u) << "250 ms period";
    press("Command5");
    EXPECT_EQ(pair(), (std::pair{5, 5}));
    EXPECT_EQ(timer1.interval(), 250);
}

TEST_F(RepeatTest, ReleaseBlanksTracesAtOnceAndClearsTheRestLater) {
    press("Command1");
    port.receive("00\r");
    click("Command44");  // some Label22 text to keep: decode a status reply
    port.receive("00\r");
    ASSERT_EQ(label(LabelId::Label22), " Power ON");
    release("Command1");
    EXPECT_EQ(label(LabelId::Label11), "");
    EXPECT_EQ(label(LabelId::Label12), "");
    EXPECT_EQ(label(LabelId::Label22), " Power ON") << "kept until the clearing delay";
    EXPECT_EQ(state().RecvData, "");
    EXPECT_EQ(pair(), (std::pair{500, 1000}));
    clock.advance(999);
    EXPECT_EQ(label(LabelId::Label22), " Power ON");
    clock.advance(1);
    EXPECT_EQ(label(LabelId::Label22), "");
    // A reply arriving after the release starts a fresh trace.
    port.receive("8");
    EXPECT_EQ(label(LabelId::Label12), " 8 ");
}

TEST_F(RepeatTest, PressWhileRepeatingReplacesTheKey) {
    press("Command1");
    press("Command2");
    port.clearWrites();
    clock.advance(250);
    ASSERT_EQ(port.writes().size(), 1u);
    EXPECT_EQ(port.writes()[0], "C0A\r");
}

TEST_F(RepeatTest, ReleaseWithoutPressRunsTheSameSteps) {
    release("Command50");
    EXPECT_EQ(state().RepeatKey, 0);
    EXPECT_TRUE(timer4.isEnabled());
    EXPECT_TRUE(port.writes().empty());
}

}  // namespace
}  // namespace panel::test
