// Every button of both catalogues, against the expected catalogue (tests/support).
#include <set>

#include "core/catalogue.h"
#include "tests/core/controller_fixture.h"
#include "tests/support/expected_catalogue.h"

namespace panel::test {
namespace {

using namespace std::chrono_literals;

class OneShotButtonTest : public ControllerFixture,
                          public testing::WithParamInterface<expected::OneShot> {};

TEST_P(OneShotButtonTest, ClickWritesItsFrameAndLeavesItsIntervals) {
    const expected::OneShot& c = GetParam();
    const auto timer1Before = timers.repeat.interval();
    click(c.button);
    ASSERT_EQ(port.writes().size(), 1u);
    EXPECT_EQ(port.writes()[0], c.frame());
    EXPECT_EQ(state().SendData, c.frame());
    EXPECT_EQ(pair(), c.pair);
    EXPECT_TRUE(timers.replyWindow.isEnabled());
    EXPECT_TRUE(timers.clearing.isEnabled());
    EXPECT_FALSE(timers.repeat.isEnabled()) << "a click never starts the repeat";
    EXPECT_EQ(timers.repeat.interval(), c.arrowPacing ? 200ms : timer1Before);
    EXPECT_EQ(state().ArrowMode, c.arrowPacing ? 1 : 0);

    // Clicking again sends the same frame again.
    click(c.button);
    EXPECT_EQ(port.writes().size(), 2u);
    EXPECT_EQ(port.writes()[1], c.frame());
}

TEST_P(OneShotButtonTest, ButtonWithoutPairKeepsThePairLastSet) {
    click("Command64");  // 5000 / 5500
    click(GetParam().button);
    const auto expected =
        GetParam().pair == std::pair{500, 1000} ? std::pair{5000, 5500} : GetParam().pair;
    EXPECT_EQ(pair(), expected);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, OneShotButtonTest, testing::ValuesIn(expected::kOneShots),
                         [](const auto& info) { return std::string(info.param.button); });

TEST(Catalogues, HoldExactlyTheButtonsOfTheWindow) {
    std::set<std::string_view> expectedOneShots;
    for (const auto& c : expected::kOneShots) expectedOneShots.insert(c.button);
    std::set<std::string_view> oneShots;
    for (const auto& row : OneShotCatalogue()) EXPECT_TRUE(oneShots.insert(row.button).second);
    EXPECT_EQ(oneShots, expectedOneShots);
    std::set<std::string_view> expectedHolds;
    for (const auto& c : expected::kHolds) expectedHolds.insert(c.button);
    std::set<std::string_view> holds;
    for (const auto& row : HoldCatalogue()) EXPECT_TRUE(holds.insert(row.button).second);
    EXPECT_EQ(holds, expectedHolds);
}

// The captions themselves are the layout test's (expected_layout.h): here, that there is one for
// every command button and none for anything else.
TEST(Catalogues, CaptionEveryCommandButtonOnce) {
    std::set<std::string_view> commands;
    for (const auto& row : OneShotCatalogue()) commands.insert(row.button);
    for (const auto& row : HoldCatalogue()) commands.insert(row.button);
    std::set<std::string_view> captioned;
    for (const CommandCaption& row : CommandCaptions()) {
        EXPECT_TRUE(captioned.insert(row.button).second) << row.button;
        EXPECT_FALSE(row.caption.empty()) << row.button;
        EXPECT_EQ(FindCaption(row.button), &row);
    }
    EXPECT_EQ(captioned, commands);
    EXPECT_EQ(FindCaption("Command16"), nullptr) << "END sends nothing";
}

class HoldButtonTest : public ControllerFixture,
                       public testing::WithParamInterface<expected::Hold> {};

TEST_P(HoldButtonTest, PressSendsAtOnceAndStartsTheRepeat) {
    const expected::Hold& c = GetParam();
    click("Command4");  // 2000 / 2500 in force before the press
    port.clearWrites();
    press(c.button);
    ASSERT_EQ(port.writes().size(), 1u);
    EXPECT_EQ(port.writes()[0], c.frame());
    EXPECT_EQ(state().RepeatKey, c.key);
    EXPECT_TRUE(timers.repeat.isEnabled());
    EXPECT_EQ(timers.repeat.interval().count(), c.repeat ? c.repeat : 200);
    EXPECT_EQ(pair(), c.repeat ? c.pair : std::pair(2000, 2500));
}

TEST_P(HoldButtonTest, TickRepeatsExactlyThePressedCode) {
    const expected::Hold& c = GetParam();
    press(c.button);
    clock.advance(timers.repeat.interval());
    ASSERT_EQ(port.writes().size(), 2u);
    EXPECT_EQ(port.writes()[1], c.frame());
}

TEST_P(HoldButtonTest, ReleaseRestoresTheLayoutPair) {
    const expected::Hold& c = GetParam();
    press(c.button);
    release(c.button);
    EXPECT_EQ(state().RepeatKey, 0);
    EXPECT_FALSE(timers.repeat.isEnabled());
    EXPECT_FALSE(timers.replyWindow.isEnabled());
    EXPECT_TRUE(timers.clearing.isEnabled());
    EXPECT_EQ(pair(), (std::pair{500, 1000}));
    EXPECT_EQ(timers.repeat.interval().count(), c.zoom ? 5 : (c.repeat ? c.repeat : 200));
    EXPECT_EQ(state().ArrowMode, c.zoom ? 3 : 0);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, HoldButtonTest, testing::ValuesIn(expected::kHolds),
                         [](const auto& info) { return std::string(info.param.button); });

TEST(RepeatTable, KeysWithoutAButtonRepeatNothing) {
    std::set<int> keys;
    for (const auto& c : expected::kHolds) {
        keys.insert(c.key);
        EXPECT_EQ(RepeatCode(static_cast<std::uint8_t>(c.key)), std::string_view(c.code));
    }
    for (int key = 0; key < 256; ++key) {
        if (keys.count(key)) continue;
        EXPECT_FALSE(RepeatCode(static_cast<std::uint8_t>(key))) << key;
    }
}

TEST_F(ControllerFixture, UnknownControlsAreRefused) {
    EXPECT_EQ(controller.click("Command1"), Handled::UnknownControl)
        << "hold buttons have no click";
    EXPECT_EQ(controller.click("Command99"), Handled::UnknownControl);
    EXPECT_EQ(controller.press("Command17"), Handled::UnknownControl);
    EXPECT_EQ(controller.release("Command17"), Handled::UnknownControl);
    EXPECT_TRUE(port.writes().empty());
}

}  // namespace
}  // namespace panel::test
