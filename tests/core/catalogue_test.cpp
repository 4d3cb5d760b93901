// Every button of both catalogues, written out independently of the tables they check.
#include <set>

#include "core/catalogue.h"
#include "tests/core/controller_fixture.h"

namespace panel::test {
namespace {

using namespace std::chrono_literals;

struct OneShotCase {
    const char* button;
    const char* frame;
    std::pair<int, int> pair;  // in force after the click, starting from 500 / 1000
    bool arrowPacing;
    friend void PrintTo(const OneShotCase& c, std::ostream* os) { *os << c.button; }
};

const OneShotCase kOneShots[] = {
    {"Command17", "C00\r", {500, 1000}, false},
    {"Command18", "C01\r", {500, 1000}, false},
    {"Command27", "C05\r", {500, 1000}, false},
    {"Command28", "C06\r", {500, 1000}, false},
    {"Command29", "C07\r", {500, 1000}, false},
    {"Command56", "C04\r", {500, 1000}, false},
    {"Command57", "C08\r", {500, 1000}, false},
    {"Command23", "C1C\r", {500, 1000}, true},
    {"Command24", "C1D\r", {500, 1000}, false},
    {"Command19", "C0B\r", {500, 1000}, false},
    {"Command20", "C0C\r", {500, 1000}, false},
    {"Command21", "C0D\r", {500, 1000}, false},
    {"Command22", "C0E\r", {500, 1000}, false},
    {"Command25", "C43\r", {500, 1000}, false},
    {"Command26", "C44\r", {500, 1000}, false},
    {"Command31", "C0F\r", {500, 1000}, false},
    {"Command32", "C10\r", {500, 1000}, false},
    {"Command13", "C89\r", {500, 1000}, true},
    {"Command30", "C27\r", {500, 1000}, false},
    {"Command14", "C8A\r", {500, 1000}, false},
    {"Command3", "C1E\r", {500, 1000}, false},
    {"Command38", "CF FANMODE L1\r", {500, 1000}, false},
    {"Command43", "CF FANMODE L2\r", {500, 1000}, false},
    {"Command4", "C11\r", {2000, 2500}, false},
    {"Command10", "C12\r", {2000, 2500}, false},
    {"Command11", "C13\r", {2000, 2500}, false},
    {"Command39", "C14\r", {2000, 2500}, false},
    {"Command40", "C15\r", {2000, 2500}, false},
    {"Command41", "C16\r", {2000, 2500}, false},
    {"Command42", "C17\r", {2000, 2500}, false},
    {"Command12", "C18\r", {2000, 2500}, false},
    {"Command37", "C19\r", {2000, 2500}, false},
    {"Command44", "CR0\r", {500, 1000}, false},
    {"Command46", "CR3\r", {500, 1000}, false},
    {"Command54", "CR6\r", {500, 1000}, false},
    {"Command45", "CR1\r", {500, 1000}, false},
    {"Command47", "CR4\r", {500, 1000}, false},
    {"Command55", "CR7\r", {500, 1000}, false},
    {"Command64", "C50\r", {5000, 5500}, false},
    {"Command52", "C51\r", {5000, 5500}, false},
    {"Command53", "C54\r", {5000, 5500}, false},
    {"Command58", "CF INPUT HDMI HDMI\r", {5000, 5500}, false},
    {"Command72", "CF INPUT COMPUTER2 ANALOG\r", {5000, 5500}, false},
    {"Command82", "CF INPUT VIDEO VIDEO\r", {5000, 5500}, false},
    {"Command69", "CF INPUT S-VIDEO S-VIDEO\r", {5000, 5500}, false},
    {"Command36", "C02\r", {500, 1000}, false},
};

class OneShotButtonTest : public ControllerFixture,
                          public testing::WithParamInterface<OneShotCase> {};

TEST_P(OneShotButtonTest, ClickWritesItsFrameAndLeavesItsIntervals) {
    const OneShotCase& c = GetParam();
    const auto timer1Before = timers.repeat.interval();
    click(c.button);
    ASSERT_EQ(port.writes().size(), 1u);
    EXPECT_EQ(port.writes()[0], c.frame);
    EXPECT_EQ(state().SendData, c.frame);
    EXPECT_EQ(pair(), c.pair);
    EXPECT_TRUE(timers.replyWindow.isEnabled());
    EXPECT_TRUE(timers.clearing.isEnabled());
    EXPECT_FALSE(timers.repeat.isEnabled()) << "a click never starts the repeat";
    EXPECT_EQ(timers.repeat.interval(), c.arrowPacing ? 200ms : timer1Before);
    EXPECT_EQ(state().ArrowMode, c.arrowPacing ? 1 : 0);

    // Clicking again sends the same frame again.
    click(c.button);
    EXPECT_EQ(port.writes().size(), 2u);
    EXPECT_EQ(port.writes()[1], c.frame);
}

TEST_P(OneShotButtonTest, ButtonWithoutPairKeepsThePairLastSet) {
    click("Command64");  // 5000 / 5500
    click(GetParam().button);
    const auto expected =
        GetParam().pair == std::pair{500, 1000} ? std::pair{5000, 5500} : GetParam().pair;
    EXPECT_EQ(pair(), expected);
}

INSTANTIATE_TEST_SUITE_P(All46, OneShotButtonTest, testing::ValuesIn(kOneShots),
                         [](const auto& info) { return std::string(info.param.button); });

TEST(OneShotCatalogue, HoldsExactlyTheButtonsOfTheWindow) {
    std::set<std::string_view> expected;
    for (const auto& c : kOneShots) expected.insert(c.button);
    std::set<std::string_view> actual;
    for (const auto& row : OneShotCatalogue()) EXPECT_TRUE(actual.insert(row.button).second);
    EXPECT_EQ(actual, expected);
    EXPECT_EQ(actual.size(), 46u);
}

struct HoldCase {
    const char* button;
    const char* frame;
    int key;
    int repeat;                // Timer1 after the press; 0 for the arrows (kept)
    std::pair<int, int> pair;  // after the press; {0, 0} for the arrows (kept)
    bool zoom;
    friend void PrintTo(const HoldCase& c, std::ostream* os) { *os << c.button; }
};

const HoldCase kHolds[] = {
    {"Command1", "C09\r", 1, 250, {200, 245}, false},
    {"Command2", "C0A\r", 2, 250, {200, 245}, false},
    {"Command15", "C20\r", 7, 50, {25, 25}, false},
    {"Command35", "C21\r", 8, 50, {25, 25}, false},
    {"Command48", "C30\r", 17, 250, {200, 245}, true},
    {"Command49", "C31\r", 18, 250, {200, 245}, true},
    {"Command50", "C8E\r", 19, 250, {200, 245}, false},
    {"Command51", "C8F\r", 20, 250, {200, 245}, false},
    {"Command6", "C3F\r", 13, 500, {200, 245}, false},
    {"Command5", "C3C\r", 3, 0, {0, 0}, false},
    {"Command7", "C3D\r", 4, 0, {0, 0}, false},
    {"Command9", "C3B\r", 5, 0, {0, 0}, false},
    {"Command8", "C3A\r", 6, 0, {0, 0}, false},
};

class HoldButtonTest : public ControllerFixture, public testing::WithParamInterface<HoldCase> {};

TEST_P(HoldButtonTest, PressSendsAtOnceAndStartsTheRepeat) {
    const HoldCase& c = GetParam();
    click("Command4");  // 2000 / 2500 in force before the press
    port.clearWrites();
    press(c.button);
    ASSERT_EQ(port.writes().size(), 1u);
    EXPECT_EQ(port.writes()[0], c.frame);
    EXPECT_EQ(state().RepeatKey, c.key);
    EXPECT_TRUE(timers.repeat.isEnabled());
    EXPECT_EQ(timers.repeat.interval().count(), c.repeat ? c.repeat : 200);
    EXPECT_EQ(pair(), c.repeat ? c.pair : std::pair(2000, 2500));
}

TEST_P(HoldButtonTest, TickRepeatsExactlyThePressedCode) {
    const HoldCase& c = GetParam();
    press(c.button);
    clock.advance(timers.repeat.interval());
    ASSERT_EQ(port.writes().size(), 2u);
    EXPECT_EQ(port.writes()[1], c.frame);
}

TEST_P(HoldButtonTest, ReleaseRestoresTheLayoutPair) {
    const HoldCase& c = GetParam();
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

INSTANTIATE_TEST_SUITE_P(All13, HoldButtonTest, testing::ValuesIn(kHolds),
                         [](const auto& info) { return std::string(info.param.button); });

TEST(RepeatTable, KeysWithoutAButtonRepeatNothing) {
    std::set<int> keys;
    for (const auto& c : kHolds) {
        keys.insert(c.key);
        EXPECT_EQ(RepeatCode(static_cast<std::uint8_t>(c.key)),
                  std::string_view(c.frame).substr(0, std::string_view(c.frame).size() - 1));
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
