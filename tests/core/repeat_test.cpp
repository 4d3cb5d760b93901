// Press-and-hold timing on the virtual clock.
#include "testkit/controls.h"
#include "tests/core/controller_fixture.h"
#include "tests/support/expected_replies.h"

namespace panel::test {
namespace {

using namespace std::chrono_literals;

class RepeatTest : public ControllerFixture {
protected:
    // Frames written while holding `button` for `ms`, from the press to the release.
    std::size_t hold(std::string_view button, int ms) {
        port.clearWrites();
        press(button);
        clock.advance(std::chrono::milliseconds{ms});
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
        clock.advance(2000ms);  // let the clearing delay of the release run out
    }
}

TEST_P(RepeatPeriodTest, EachPeriodEmptiesTheReplyAndBlanksTheLabelsBeforeTheNextSend) {
    const int period = GetParam().period;
    press(GetParam().button);
    for (int i = 0; i < 3; ++i) {
        clock.advance(1ms);
        port.receive("0");  // some answer in this period
        EXPECT_EQ(label(LabelId::ReceivedTrace), " 0 ");
        clock.advance(std::chrono::milliseconds{period - 2});  // just before the next repeat
        EXPECT_EQ(state().RecvData, "");
        EXPECT_EQ(label(LabelId::SentTrace), "");
        EXPECT_EQ(label(LabelId::ReceivedTrace), "");
        EXPECT_EQ(label(LabelId::DecodedReply), "");
        clock.advance(1ms);  // the repeat
        EXPECT_NE(label(LabelId::SentTrace), "");
    }
}

TEST_P(RepeatPeriodTest, TickAfterTheReleaseSendsNothing) {
    press(GetParam().button);
    release(GetParam().button);
    port.clearWrites();
    clock.advance(10 * std::chrono::milliseconds{GetParam().period});
    EXPECT_TRUE(port.writes().empty());
}

INSTANTIATE_TEST_SUITE_P(Buttons, RepeatPeriodTest,
                         testing::Values(PeriodCase{"Vol", controls::kVolumeUp, 250},
                                         PeriodCase{"Brightness", controls::kBrightnessUp, 50},
                                         PeriodCase{"Select", controls::kSelect, 500}),
                         [](const auto& info) { return info.param.name; });

TEST_F(RepeatTest, ArrowsBeforeAnyModeKeepTimer1AndThePair) {
    EXPECT_EQ(hold(controls::kArrowUp, 600), 4u) << "200 ms from the window design";
    clock.advance(2000ms);
    click(controls::kPictureReal);    // picture mode: 2000 / 2500
    hold(controls::kVolumeDown, 10);  // VOL "-" leaves Timer1 at 250
    click(controls::kPictureReal);
    port.clearWrites();
    press(controls::kArrowRight);
    EXPECT_EQ(pair(), (std::pair{2000, 2500}));
    clock.advance(500ms);
    EXPECT_EQ(port.writes().size(), 3u) << "250 ms left by the VOL press";
}

TEST_F(RepeatTest, ArrowsAfterArrowPacingButtons) {
    for (const char* pacing : {controls::kAutoImage, controls::kMenuOn}) {
        click(pacing);
        port.clearWrites();
        press(controls::kArrowDown);
        EXPECT_EQ(pair(), (std::pair{150, 190}));
        clock.advance(200ms * 3);
        release(controls::kArrowDown);
        EXPECT_EQ(port.writes().size(), 4u) << pacing;
        EXPECT_EQ(state().ArrowMode, 1);
    }
}

TEST_F(RepeatTest, ArrowsAfterZoomReleaseRepeatEvery5Ms) {
    hold(controls::kZoomDown, 10);
    EXPECT_EQ(state().ArrowMode, 3);
    EXPECT_EQ(timers.repeat.interval(), 5ms);
    press(controls::kArrowLeft);
    EXPECT_EQ(pair(), (std::pair{5, 5}));
    port.clearWrites();
    clock.advance(200ms);
    EXPECT_EQ(port.writes().size(), 40u);
    release(controls::kArrowLeft);
}

TEST_F(RepeatTest, ZoomPressItselfRepeatsAt250) {
    press(controls::kZoomUp);
    EXPECT_EQ(timers.repeat.interval(), 250ms);
    EXPECT_EQ(state().ArrowMode, 0);
}

TEST_F(RepeatTest, AfterZoomReleaseAVolPressSetsThePeriodButArrowsKeepThe5MsPair) {
    hold(controls::kZoomUp, 10);
    hold(controls::kVolumeUp, 10);
    EXPECT_EQ(state().ArrowMode, 3);
    EXPECT_EQ(hold(controls::kArrowUp, 750), 4u) << "250 ms period";
    press(controls::kArrowUp);
    EXPECT_EQ(pair(), (std::pair{5, 5}));
    EXPECT_EQ(timers.repeat.interval(), 250ms);
}

TEST_F(RepeatTest, ReleaseBlanksTracesAtOnceAndClearsTheRestLater) {
    press(controls::kVolumeUp);
    port.receive("00\r");
    click(controls::kStatus);  // some Label22 text to keep: decode a status reply
    port.receive("00\r");
    ASSERT_EQ(label(LabelId::DecodedReply), expected::Caption("CR0", "00"));
    release(controls::kVolumeUp);
    EXPECT_EQ(label(LabelId::SentTrace), "");
    EXPECT_EQ(label(LabelId::ReceivedTrace), "");
    EXPECT_EQ(label(LabelId::DecodedReply), expected::Caption("CR0", "00"))
        << "kept until the clearing delay";
    EXPECT_EQ(state().RecvData, "");
    EXPECT_EQ(pair(), (std::pair{500, 1000}));
    clock.advance(999ms);
    EXPECT_EQ(label(LabelId::DecodedReply), expected::Caption("CR0", "00"));
    clock.advance(1ms);
    EXPECT_EQ(label(LabelId::DecodedReply), "");
    // A reply arriving after the release starts a fresh trace.
    port.receive("8");
    EXPECT_EQ(label(LabelId::ReceivedTrace), " 8 ");
}

TEST_F(RepeatTest, PressWhileRepeatingReplacesTheKey) {
    press(controls::kVolumeUp);
    press(controls::kVolumeDown);
    port.clearWrites();
    clock.advance(250ms);
    ASSERT_EQ(port.writes().size(), 1u);
    EXPECT_EQ(port.writes()[0], "C0A\r");
}

TEST_F(RepeatTest, ReleaseWithoutPressRunsTheSameSteps) {
    release(controls::kKeystoneUp);
    EXPECT_EQ(state().RepeatKey, 0);
    EXPECT_TRUE(timers.clearing.isEnabled());
    EXPECT_TRUE(port.writes().empty());
}

}  // namespace
}  // namespace panel::test
