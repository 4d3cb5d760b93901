// Corners of the exchange that the happy paths do not reach: characters after the reply window,
// the port selector's timer after a choice or Command34, the arrow pacing clicked during a hold,
// and query replies decoded block by block at the controller.
#include "tests/core/controller_fixture.h"

namespace panel::test {
namespace {

class CornerTest : public ControllerFixture {};

TEST_F(CornerTest, CharactersAfterTheReplyWindowAccumulateUntilTheNextSendsWindowCloses) {
    click("Command17");
    clock.advance(1000);  // reply window and clearing delay both ran out
    for (const char* block : {"A", "BC", "\r"}) port.receive(block);
    EXPECT_EQ(state().RecvData, "ABC\r");
    EXPECT_EQ(label(LabelId::Label12), " A B C CR ");
    clock.advance(10000);  // no timer runs: nothing empties them
    EXPECT_EQ(state().RecvData, "ABC\r");
    click("Command17");  // a send does not empty RecvData either
    port.receive("D");
    EXPECT_EQ(state().RecvData, "ABC\rD");
    EXPECT_EQ(label(LabelId::Label12), " A B C CR D ");
    clock.advance(499);
    EXPECT_EQ(state().RecvData, "ABC\rD");
    clock.advance(1);  // this send's Timer2 tick
    EXPECT_EQ(state().RecvData, "");
    EXPECT_EQ(label(LabelId::Label12), " A B C CR D ") << "no mark: a character came";
}

// However Frame8 was hidden before it, the Timer3 tick hides it (again) and stops Timer3, exactly
// 5000 ms after the last "COM" or Command34 click.
TEST_F(CornerTest, Timer3TickAfterAChoiceOrCommand34HidesTheSelectorAgainAndStops) {
    struct Case {
        const char* name;
        std::vector<const char*> clicks;  // 1000 ms apart; the last one starts the count
    };
    const Case cases[] = {
        {"Com2", {"Command33", "Option2"}},
        {"Com1", {"Command33", "Option1"}},
        {"19200", {"Command33", "Option9"}},
        {"9600", {"Command33", "Option10"}},
        {"Command34AfterCom", {"Command33", "Command34"}},
        {"Command34Alone", {"Command34"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clock.advance(10000);
        std::int64_t started = clock.now();
        for (const char* name : c.clicks) {
            clock.advance(1000);
            click(name);
            if (std::string_view(name).starts_with("Command")) started = clock.now();
        }
        const bool command34Last = std::string_view(c.clicks.back()) == "Command34";
        EXPECT_EQ(view.frame8Visible, command34Last && c.clicks.size() > 1);
        clock.advance(started + 4999 - clock.now());
        ASSERT_TRUE(timer3.isEnabled());
        EXPECT_EQ(view.frame8Visible, command34Last && c.clicks.size() > 1);
        const int ticks = timer3.ticks();
        clock.advance(1);
        EXPECT_EQ(timer3.ticks(), ticks + 1);
        EXPECT_FALSE(view.frame8Visible);
        EXPECT_FALSE(timer3.isEnabled());
        EXPECT_FALSE(controller.portSelectorVisible());
        clock.advance(20000);
        EXPECT_EQ(timer3.ticks(), ticks + 1) << "one tick only";
    }
}

// "A-IMAGE" and MENU "ON" set Timer1's interval and ArrowMode without starting or stopping it.
TEST_F(CornerTest, ArrowPacingClickedDuringAHoldKeepsTheHeldCodeRepeating) {
    for (const char* pacing : {"Command13", "Command23"}) {
        SCOPED_TRACE(pacing);
        press("Command1");  // VOL "+", every 250 ms
        clock.advance(250);
        click(pacing);
        EXPECT_TRUE(timer1.isEnabled());
        EXPECT_EQ(timer1.interval(), 200);
        EXPECT_EQ(state().ArrowMode, 1);
        EXPECT_EQ(state().RepeatKey, 1);
        port.clearWrites();
        clock.advance(600);
        EXPECT_EQ(port.writes(), (std::vector<std::string>(3, "C09\r")));
        release("Command1");
        clock.advance(2000);
    }
}

TEST_F(CornerTest, ArrowPacingAfterAZoomReleaseTakesArrowModeBackToOne) {
    for (const char* pacing : {"Command13", "Command23"}) {
        SCOPED_TRACE(pacing);
        press("Command49");
        release("Command49");
        ASSERT_EQ(state().ArrowMode, 3);
        click(pacing);
        EXPECT_EQ(state().ArrowMode, 1);
        port.clearWrites();
        press("Command5");
        EXPECT_EQ(pair(), (std::pair{150, 190}));
        clock.advance(400);
        release("Command5");
        EXPECT_EQ(port.writes().size(), 3u) << "every 200 ms, no longer every 5";
        clock.advance(2000);
    }
}

TEST_F(CornerTest, ArrowRightAfterAReleaseKeepsThePairTheReleaseSet) {
    for (const char* held : {"Command1", "Command15", "Command6"}) {
        SCOPED_TRACE(held);
        click("Command10");  // picture mode: 2000 / 2500 until the release
        press(held);
        release(held);
        press("Command5");
        EXPECT_EQ(pair(), (std::pair{500, 1000}));
        release("Command5");
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
            EXPECT_EQ(label(LabelId::Label22), expected) << "after " << block;
            EXPECT_EQ(view.captionUpdates, updates + 2) << "Label12 and Label22";
        }
        clock.advance(3000);
    }
}

}  // namespace
}  // namespace panel::test
