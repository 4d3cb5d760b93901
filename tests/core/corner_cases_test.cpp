// Corners of the exchange that the happy paths do not reach: characters after the reply window,
// the port selector's timer after a choice or Command34, the arrow pacing clicked during a hold,
// and query replies decoded block by block at the controller.
#include "testkit/controls.h"
#include "tests/core/controller_fixture.h"

using namespace std::chrono_literals;

namespace panel::test {
namespace {

class CornerTest : public ControllerFixture {};

TEST_F(CornerTest, CharactersAfterTheReplyWindowAccumulateUntilTheNextSendsWindowCloses) {
    click(controls::kPowerOn);
    clock.advance(1000ms);  // reply window and clearing delay both ran out
    for (const char* block : {"A", "BC", "\r"}) port.receive(block);
    EXPECT_EQ(state().RecvData, "ABC\r");
    EXPECT_EQ(label(LabelId::ReceivedTrace), " A B C CR ");
    clock.advance(10000ms);  // no timer runs: nothing empties them
    EXPECT_EQ(state().RecvData, "ABC\r");
    click(controls::kPowerOn);  // a send does not empty RecvData either
    port.receive("D");
    EXPECT_EQ(state().RecvData, "ABC\rD");
    EXPECT_EQ(label(LabelId::ReceivedTrace), " A B C CR D ");
    clock.advance(499ms);
    EXPECT_EQ(state().RecvData, "ABC\rD");
    clock.advance(1ms);  // this send's Timer2 tick
    EXPECT_EQ(state().RecvData, "");
    EXPECT_EQ(label(LabelId::ReceivedTrace), " A B C CR D ") << "no mark: a character came";
}

// However Frame8 was hidden before it, the Timer3 tick hides it (again) and stops Timer3, exactly
// 5000 ms after the last "COM" or Command34 click.
TEST_F(CornerTest, Timer3TickAfterAChoiceOrCommand34HidesTheSelectorAgainAndStops) {
    struct Case {
        const char* name;
        std::vector<const char*> clicks;  // 1000 ms apart
    };
    using namespace controls;
    const Case cases[] = {
        {"Com2", {kPortSelector, kCom2}},
        {"Com1", {kPortSelector, kCom1}},
        {"19200", {kPortSelector, kBaud19200}},
        {"9600", {kPortSelector, kBaud9600}},
        {"Command34AfterCom", {kPortSelector, kDataPanel}},
        {"Command34Alone", {kDataPanel}},
    };
    const auto startsTimer3 = [](std::string_view name) {
        return name == kPortSelector || name == kDataPanel;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clock.advance(10000ms);
        std::chrono::milliseconds started = clock.now();
        for (const char* name : c.clicks) {
            clock.advance(1000ms);
            click(name);
            if (startsTimer3(name)) started = clock.now();
        }
        // Only Command34 after "COM" leaves the selector shown until the tick.
        const bool shownUntilTheTick =
            c.clicks.size() > 1 && std::string_view(c.clicks.back()) == kDataPanel;
        EXPECT_EQ(view.frame8Visible, shownUntilTheTick);
        clock.advance(started + 4999ms - clock.now());
        ASSERT_TRUE(timers.selectorHide.isEnabled());
        EXPECT_EQ(view.frame8Visible, shownUntilTheTick);
        const int ticks = timers.selectorHide.ticks();
        clock.advance(1ms);
        EXPECT_EQ(timers.selectorHide.ticks(), ticks + 1);
        EXPECT_FALSE(view.frame8Visible);
        EXPECT_FALSE(timers.selectorHide.isEnabled());
        EXPECT_FALSE(controller.portSelectorVisible());
        clock.advance(20000ms);
        EXPECT_EQ(timers.selectorHide.ticks(), ticks + 1) << "one tick only";
    }
}

// "A-IMAGE" and MENU "ON" set Timer1's interval and ArrowMode without starting or stopping it.
TEST_F(CornerTest, ArrowPacingClickedDuringAHoldKeepsTheHeldCodeRepeating) {
    for (const char* pacing : {controls::kAutoImage, controls::kMenuOn}) {
        SCOPED_TRACE(pacing);
        press(controls::kVolumeUp);  // VOL "+", every 250 ms
        clock.advance(250ms);
        click(pacing);
        EXPECT_TRUE(timers.repeat.isEnabled());
        EXPECT_EQ(timers.repeat.interval(), 200ms);
        EXPECT_EQ(state().ArrowMode, 1);
        EXPECT_EQ(state().RepeatKey, 1);
        port.clearWrites();
        clock.advance(600ms);
        EXPECT_EQ(port.writes(), (std::vector<std::string>(3, "C09\r")));
        release(controls::kVolumeUp);
        clock.advance(2000ms);
    }
}

TEST_F(CornerTest, ArrowPacingAfterAZoomReleaseTakesArrowModeBackToOne) {
    for (const char* pacing : {controls::kAutoImage, controls::kMenuOn}) {
        SCOPED_TRACE(pacing);
        press(controls::kZoomDown);
        release(controls::kZoomDown);
        ASSERT_EQ(state().ArrowMode, 3);
        click(pacing);
        EXPECT_EQ(state().ArrowMode, 1);
        port.clearWrites();
        press(controls::kArrowUp);
        EXPECT_EQ(pair(), (std::pair{150, 190}));
        clock.advance(400ms);
        release(controls::kArrowUp);
        EXPECT_EQ(port.writes().size(), 3u) << "every 200 ms, no longer every 5";
        clock.advance(2000ms);
    }
}

TEST_F(CornerTest, ArrowRightAfterAReleaseKeepsThePairTheReleaseSet) {
    for (const char* held : {controls::kVolumeUp, controls::kBrightnessUp, controls::kSelect}) {
        SCOPED_TRACE(held);
        click(controls::kPictureReal);  // picture mode: 2000 / 2500 until the release
        press(held);
        release(held);
        press(controls::kArrowUp);
        EXPECT_EQ(pair(), (std::pair{500, 1000}));
        release(controls::kArrowUp);
    }
}

// The decoders that copy the trace write Label22 again on every block of a reply in pieces.
TEST_F(CornerTest, TraceCopyingDecodersRewriteLabel22OnEveryBlock) {
    struct Case {
        const char* query;
        std::vector<std::pair<const char*, const char*>> blocks;  // block, Label22 after it
    };
    const Case cases[] = {
        {"CR3", {{"12", " 1 2  Hour Use"}, {"34\r", " 1 2 3 4 CR  Hour Use"}}},
        {"CR6",
         {{"AB", "  S1= A B  C  ,   S2=  C , S3= C"},
          {"CDEFGHIJ", "  S1= A B C D E C  ,   S2=  H I J  C , S3= C"}}},
        {"CR9", {{"ID", " I D "}, {" 1\r", " I D   1 CR "}}},
        {"CR PRESSURE", {{"5", "111 hPa"}, {"12", "650 hPa"}, {"\r", "650 hPa"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        controller.sendManual(c.query);
        for (const auto& [block, expected] : c.blocks) {
            const int updates = view.captionUpdates;
            port.receive(block);
            EXPECT_EQ(label(LabelId::DecodedReply), expected) << "after " << block;
            EXPECT_EQ(view.captionUpdates, updates + 2) << "Label12 and Label22";
        }
        clock.advance(3000ms);
    }
}

}  // namespace
}  // namespace panel::test
