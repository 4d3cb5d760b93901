// Button wiring: every one-shot button writes its frame on a click, and the press-and-hold buttons
// follow the mouse button itself, whichever it is and wherever it is released.
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "testkit/controls.h"
#include "tests/ui/form_fixture.h"

namespace panel::test {
namespace {

struct OneShot {
    const char* button;
    const char* code;
};
void PrintTo(const OneShot& t, std::ostream* out) {
    *out << t.button;
}

// The catalogue of one-shot buttons as the description lists it.
constexpr OneShot kOneShots[] = {
    {"Command17", "C00"},
    {"Command18", "C01"},
    {"Command27", "C05"},
    {"Command28", "C06"},
    {"Command29", "C07"},
    {"Command56", "C04"},
    {"Command57", "C08"},
    {"Command23", "C1C"},
    {"Command24", "C1D"},
    {"Command19", "C0B"},
    {"Command20", "C0C"},
    {"Command21", "C0D"},
    {"Command22", "C0E"},
    {"Command25", "C43"},
    {"Command26", "C44"},
    {"Command31", "C0F"},
    {"Command32", "C10"},
    {"Command13", "C89"},
    {"Command30", "C27"},
    {"Command14", "C8A"},
    {"Command3", "C1E"},
    {"Command38", "CF FANMODE L1"},
    {"Command43", "CF FANMODE L2"},
    {"Command4", "C11"},
    {"Command10", "C12"},
    {"Command11", "C13"},
    {"Command39", "C14"},
    {"Command40", "C15"},
    {"Command41", "C16"},
    {"Command42", "C17"},
    {"Command12", "C18"},
    {"Command37", "C19"},
    {"Command44", "CR0"},
    {"Command46", "CR3"},
    {"Command54", "CR6"},
    {"Command45", "CR1"},
    {"Command47", "CR4"},
    {"Command55", "CR7"},
    {"Command64", "C50"},
    {"Command52", "C51"},
    {"Command53", "C54"},
    {"Command58", "CF INPUT HDMI HDMI"},
    {"Command72", "CF INPUT COMPUTER2 ANALOG"},
    {"Command82", "CF INPUT VIDEO VIDEO"},
    {"Command69", "CF INPUT S-VIDEO S-VIDEO"},
    {"Command36", "C02"},
};
static_assert(std::size(kOneShots) == 46);

class OneShotTest : public FormTest, public ::testing::WithParamInterface<OneShot> {};

TEST_P(OneShotTest, ClickWritesTheButtonsFrameOnce) {
    openFullPanel();
    click(control(QString::fromLatin1(GetParam().button)));
    ASSERT_EQ(port.writes().size(), 1u);
    EXPECT_EQ(port.writes().front(), std::string(GetParam().code) + "\r");
    EXPECT_EQ(form->controller().state().SendData, std::string(GetParam().code) + "\r");
}

INSTANTIATE_TEST_SUITE_P(Catalogue, OneShotTest, ::testing::ValuesIn(kOneShots),
                         [](const auto& info) { return std::string(info.param.button); });

class ClickButtonTest : public FormTest {};

TEST_F(ClickButtonTest, OnlyTheLeftMouseButtonClicks) {
    auto* power = control(controls::kPowerOn);
    click(power, Qt::RightButton);
    click(power, Qt::MiddleButton);
    EXPECT_TRUE(port.writes().empty());
    click(power, Qt::LeftButton);
    EXPECT_EQ(port.writes().size(), 1u);
}

TEST_F(ClickButtonTest, SpaceOnTheFocusedButtonClicksItAndEnterDoesNot) {
    ASSERT_EQ(QApplication::focusWidget(), control(controls::kPowerOn));
    key(Qt::Key_Return, {});
    EXPECT_TRUE(port.writes().empty());
    key(Qt::Key_Space, {});
    EXPECT_EQ(port.written(), "C00\r");
}

TEST_F(ClickButtonTest, ComShowsThePortSelectorAndStartsItsTimer) {
    click(control(controls::kPortSelector));
    EXPECT_TRUE(control(QStringLiteral("Frame8"))->isVisible());
    EXPECT_TRUE(form->controller().timers().selectorHide.isEnabled());
}

TEST_F(ClickButtonTest, OptionsSelectPortAndSpeedAndHideTheSelector) {
    click(control(controls::kPortSelector));
    click(control(QStringLiteral("Option2")));
    EXPECT_EQ(port.commPort(), 2);
    EXPECT_TRUE(port.isOpen());
    EXPECT_TRUE(control<QRadioButton>(QStringLiteral("Option2"))->isChecked());
    EXPECT_TRUE(control<QRadioButton>(QStringLiteral("Option9"))->isChecked());
    EXPECT_FALSE(control(QStringLiteral("Frame8"))->isVisible());

    click(control(controls::kPortSelector));
    click(control(QStringLiteral("Option10")));
    EXPECT_EQ(port.settings(), "9600,N,8,1");
    EXPECT_TRUE(control<QRadioButton>(QStringLiteral("Option2"))->isChecked());
    EXPECT_FALSE(control(QStringLiteral("Frame8"))->isVisible());
}

TEST_F(ClickButtonTest, FailedPortSelectionIsShownAndLeavesTheSelectorUp) {
    port.makeUnopenable(2, PortError{"No such file or directory"});
    click(control(controls::kPortSelector));
    click(control(QStringLiteral("Option2")));
    EXPECT_EQ(prompter.failures, QStringList{QStringLiteral("No such file or directory")});
    EXPECT_TRUE(control(QStringLiteral("Frame8"))->isVisible());
    EXPECT_EQ(port.commPort(), 1);
}

struct Hold {
    const char* button;
    const char* code;
    int key;
};
void PrintTo(const Hold& t, std::ostream* out) {
    *out << t.button;
}

constexpr Hold kHolds[] = {
    {"Command1", "C09", 1},   {"Command2", "C0A", 2},   {"Command15", "C20", 7},
    {"Command35", "C21", 8},  {"Command48", "C30", 17}, {"Command49", "C31", 18},
    {"Command50", "C8E", 19}, {"Command51", "C8F", 20}, {"Command6", "C3F", 13},
    {"Command5", "C3C", 3},   {"Command7", "C3D", 4},   {"Command9", "C3B", 5},
    {"Command8", "C3A", 6},
};

class HoldTest : public FormTest,
                 public ::testing::WithParamInterface<std::tuple<Hold, Qt::MouseButton>> {};

TEST_P(HoldTest, AnyMouseButtonStartsTheRepeatAndItsReleaseEndsIt) {
    const auto [hold, mouseButton] = GetParam();
    QWidget* button = control(QString::fromLatin1(hold.button));
    press(button, mouseButton);
    EXPECT_EQ(port.written(), std::string(hold.code) + "\r");
    EXPECT_EQ(form->controller().state().RepeatKey, hold.key);
    EXPECT_TRUE(form->controller().timers().repeat.isEnabled());
    EXPECT_TRUE(static_cast<QPushButton*>(button)->isDown());

    release(windowPos(button), mouseButton);
    EXPECT_EQ(form->controller().state().RepeatKey, 0);
    EXPECT_FALSE(form->controller().timers().repeat.isEnabled());
    EXPECT_FALSE(static_cast<QPushButton*>(button)->isDown());
    EXPECT_EQ(port.writes().size(), 1u);  // no click action after the release
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, HoldTest,
    ::testing::Combine(::testing::ValuesIn(kHolds),
                       ::testing::Values(Qt::LeftButton, Qt::RightButton, Qt::MiddleButton)),
    [](const auto& info) {
        const Qt::MouseButton b = std::get<1>(info.param);
        const char* name = b == Qt::LeftButton ? "Left" : b == Qt::RightButton ? "Right" : "Middle";
        return std::string(std::get<0>(info.param).button) + name;
    });

class HoldEndTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        vol = control(controls::kVolumeUp);
        brightness = control(controls::kBrightnessUp);
    }
    bool holding() const {
        return form->controller().state().RepeatKey != 0 &&
               form->controller().timers().repeat.isEnabled();
    }
    QWidget* vol = nullptr;
    QWidget* brightness = nullptr;
};

TEST_F(HoldEndTest, DraggingOffAndBackNeitherEndsTheHoldNorPressesAgain) {
    press(vol, Qt::RightButton);
    moveTo(windowPos(brightness));
    moveTo(QPoint(600, 320));
    EXPECT_TRUE(holding());
    moveTo(windowPos(vol));
    EXPECT_TRUE(holding());
    EXPECT_EQ(port.writes().size(), 1u);
    // The release ends it wherever the pointer is, and the button under it is not pressed.
    moveTo(windowPos(brightness));
    release(windowPos(brightness), Qt::RightButton);
    EXPECT_FALSE(holding());
    EXPECT_EQ(port.written(), "C09\r");
}

TEST_F(HoldEndTest, ReleaseOutsideWithNoMoveBeforeEndsTheHold) {
    press(vol);
    release(QPoint(620, 10));
    EXPECT_FALSE(holding());
}

TEST_F(HoldEndTest, AnotherWindowTakingTheFocusEndsTheHold) {
    press(vol);
    ASSERT_TRUE(holding());
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_FALSE(holding());
    // The release that follows, wherever it lands, starts nothing.
    release(windowPos(vol));
    EXPECT_FALSE(holding());
    EXPECT_EQ(port.writes().size(), 1u);
}

TEST_F(HoldEndTest, HidingTheWindowEndsTheHold) {
    press(vol);
    form->hide();
    EXPECT_FALSE(holding());
}

TEST_F(HoldEndTest, DoubleClickPressesOnceAPress) {
    QTest::mouseDClick(form->windowHandle(), Qt::LeftButton, {}, windowPos(vol));
    EXPECT_EQ(port.written(), "C09\rC09\r");
    EXPECT_FALSE(holding());
}

TEST_F(HoldEndTest, KeyboardNeverPressesAHoldButtonAndAClickDoesNothing) {
    auto* button = static_cast<QPushButton*>(vol);
    EXPECT_EQ(button->focusPolicy(), Qt::NoFocus);
    QTest::keyClick(button, Qt::Key_Space);
    button->click();
    EXPECT_TRUE(port.writes().empty());
    EXPECT_EQ(form->controller().state().RepeatKey, 0);
}

}  // namespace
}  // namespace panel::test
