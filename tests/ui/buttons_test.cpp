// Button wiring: every one-shot button writes its frame on a click, and the press-and-hold buttons
// follow the mouse button itself, whichever it is and wherever it is released.
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "testkit/controls.h"
#include "tests/support/expected_catalogue.h"
#include "tests/ui/form_fixture.h"

namespace panel::test {
namespace {

class OneShotTest : public FormTest, public ::testing::WithParamInterface<expected::OneShot> {};

TEST_P(OneShotTest, ClickWritesTheButtonsFrameOnce) {
    openFullPanel();
    click(control(QString::fromLatin1(GetParam().button)));
    ASSERT_EQ(port.writes().size(), 1u);
    EXPECT_EQ(port.writes().front(), GetParam().frame());
    EXPECT_EQ(form->controller().state().SendData, GetParam().frame());
}

INSTANTIATE_TEST_SUITE_P(Catalogue, OneShotTest, ::testing::ValuesIn(expected::kOneShots),
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

class HoldTest : public FormTest,
                 public ::testing::WithParamInterface<std::tuple<expected::Hold, Qt::MouseButton>> {
};

TEST_P(HoldTest, AnyMouseButtonStartsTheRepeatAndItsReleaseEndsIt) {
    const auto [hold, mouseButton] = GetParam();
    QWidget* button = control(QString::fromLatin1(hold.button));
    press(button, mouseButton);
    EXPECT_EQ(port.written(), hold.frame());
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
    ::testing::Combine(::testing::ValuesIn(expected::kHolds),
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
