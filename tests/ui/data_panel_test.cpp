// The data panel's states and transitions: Ctrl+J, the double-click on the logo and Command34, with
// real key and mouse events delivered through the window.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <vector>

#include "testkit/controls.h"
#include "tests/ui/form_fixture.h"

namespace panel::test {
namespace {

using namespace std::chrono_literals;

constexpr int kCompact = 332;   // 4980 twips
constexpr int kLocked = 418;    // 6275
constexpr int kUnlocked = 455;  // 6830
constexpr int kFull = 582;      // 8730

const char* const kShow = "データを表示する";
const char* const kHide = "データを表示しない";
const char* const kClose = "CLOSE";

enum class Event {
    CtrlJ,
    CtrlJAutoRepeat,
    LogoDoubleClick,
    Command34Click,  // with the mouse: it lies inside the client area
    Command34Key,    // Space with the focus on it: the only way while it lies below the client area
    Command34Tab,    // the same, its focus reached by Tab presses from elsewhere
};

struct Transition {
    const char* name;
    std::vector<Event> events;
    int height;
    int panelOpen;
    bool command34Shown;
    const char* caption;
};
void PrintTo(const Transition& t, std::ostream* out) {
    *out << t.name;
}

class PanelFixture : public FormTest {
protected:
    QPushButton* dataPanelButton() { return control<QPushButton>(controls::kDataPanel); }

    void run(Event event) {
        switch (event) {
            case Event::CtrlJ:
                ctrlJ();
                break;
            case Event::CtrlJAutoRepeat:
                ctrlJ(true);
                break;
            case Event::LogoDoubleClick:
                doubleClickLogo();
                break;
            case Event::Command34Click:
                ASSERT_LT(windowPos(dataPanelButton()).y(), form->height());
                click(dataPanelButton());
                break;
            case Event::Command34Key:
                dataPanelButton()->setFocus(Qt::TabFocusReason);
                ASSERT_EQ(QApplication::focusWidget(), dataPanelButton());
                key(Qt::Key_Space, {});
                break;
            case Event::Command34Tab:
                tabTo(dataPanelButton());
                key(Qt::Key_Space, {});
                break;
        }
    }

    // Tab presses from a focus elsewhere until `target` has it: at most one round of the chain.
    void tabTo(QWidget* target) {
        control(controls::kPowerOn)->setFocus(Qt::OtherFocusReason);
        int presses = 0;
        while (QApplication::focusWidget() != target && presses < 200) {
            key(Qt::Key_Tab, {});
            ++presses;
        }
        ASSERT_EQ(QApplication::focusWidget(), target) << "after " << presses << " Tab presses";
    }

    void expectState(int height, int panelOpen, bool shown, const char* caption) {
        EXPECT_EQ(form->height(), height);
        EXPECT_EQ(form->controller().state().PanelOpen, panelOpen);
        EXPECT_EQ(!dataPanelButton()->isHidden(), shown);
        EXPECT_EQ(dataPanelButton()->property("caption").toString(), QString::fromUtf8(caption));
    }
};

class DataPanelTest : public PanelFixture, public ::testing::WithParamInterface<Transition> {};

TEST_P(DataPanelTest, EventsLeadToTheDescribedState) {
    for (Event event : GetParam().events) run(event);
    const Transition& t = GetParam();
    expectState(t.height, t.panelOpen, t.command34Shown, t.caption);
    EXPECT_EQ(form->width(), 633);
}

using E = Event;
INSTANTIATE_TEST_SUITE_P(
    Transitions, DataPanelTest,
    ::testing::Values(
        Transition{"InitialCtrlJUnlocksTheTrace", {E::CtrlJ}, kUnlocked, 1, true, kClose},
        Transition{
            "UnlockedDoubleClickShowsAll", {E::CtrlJ, E::LogoDoubleClick}, kFull, 1, true, kClose},
        Transition{"AllShownCtrlJShrinksBackToTheTrace",
                   {E::CtrlJ, E::LogoDoubleClick, E::CtrlJ},
                   kUnlocked,
                   1,
                   true,
                   kClose},
        Transition{"AllShownDoubleClickStays",
                   {E::CtrlJ, E::LogoDoubleClick, E::LogoDoubleClick},
                   kFull,
                   1,
                   true,
                   kClose},
        Transition{
            "InitialDoubleClickDoesNothing", {E::LogoDoubleClick}, kCompact, 0, false, kShow},
        Transition{
            "UnlockedCommand34Closes", {E::CtrlJ, E::Command34Click}, kCompact, 0, true, kShow},
        Transition{"AllShownCommand34Closes",
                   {E::CtrlJ, E::LogoDoubleClick, E::Command34Click},
                   kCompact,
                   0,
                   true,
                   kShow},
        Transition{"ClosedDoubleClickDoesNothing",
                   {E::CtrlJ, E::Command34Click, E::LogoDoubleClick},
                   kCompact,
                   0,
                   true,
                   kShow},
        Transition{"ClosedCommand34FromTheKeyboardLocksTheTrace",
                   {E::CtrlJ, E::Command34Click, E::Command34Key},
                   kLocked,
                   0,
                   true,
                   kHide},
        Transition{"ClosedCommand34ReachedWithTabLocksTheTrace",
                   {E::CtrlJ, E::Command34Click, E::Command34Tab},
                   kLocked,
                   0,
                   true,
                   kHide},
        Transition{"LockedCommand34Closes",
                   {E::CtrlJ, E::Command34Click, E::Command34Key, E::Command34Click},
                   kCompact,
                   0,
                   true,
                   kShow},
        Transition{"LockedDoubleClickDoesNothing",
                   {E::CtrlJ, E::Command34Click, E::Command34Key, E::LogoDoubleClick},
                   kLocked,
                   0,
                   true,
                   kHide},
        Transition{"LockedCtrlJUnlocks",
                   {E::CtrlJ, E::Command34Click, E::Command34Key, E::CtrlJ},
                   kUnlocked,
                   1,
                   true,
                   kClose},
        Transition{"ClosedCtrlJUnlocksAgainAndTheLogoWorksAgain",
                   {E::CtrlJ, E::Command34Click, E::CtrlJ, E::LogoDoubleClick},
                   kFull,
                   1,
                   true,
                   kClose},
        Transition{"AutoRepeatRepeatsTheSteps",
                   {E::CtrlJ, E::LogoDoubleClick, E::CtrlJAutoRepeat},
                   kUnlocked,
                   1,
                   true,
                   kClose}),
    [](const auto& info) { return std::string(info.param.name); });

class Command34Test : public PanelFixture {};

TEST_F(Command34Test, ClickRestartsThePortSelectorTimer) {
    ctrlJ();
    click(control(controls::kPortSelector));
    ASSERT_TRUE(control(QStringLiteral("Frame8"))->isVisible());
    click(dataPanelButton());
    EXPECT_TRUE(form->controller().timers().selectorHide.isEnabled());
    EXPECT_EQ(form->controller().timers().selectorHide.interval(), 5000ms);
    EXPECT_TRUE(control(QStringLiteral("Frame8"))->isVisible());
}

struct Boundary {
    int clientHeight;
    int after;
    const char* caption;
};

class BoundaryTest : public PanelFixture {};

TEST_F(BoundaryTest, Command34ShrinksATallWindowAndEnlargesAShortOne) {
    // 5630 twips, the moved boundary, lies at 375.33 pixels.
    const Boundary cases[] = {{kCompact, kLocked, kHide},   {375, kLocked, kHide},
                              {376, kCompact, kShow},       {kLocked, kCompact, kShow},
                              {kUnlocked, kCompact, kShow}, {kFull, kCompact, kShow}};
    ctrlJ();
    for (const Boundary& c : cases) {
        SCOPED_TRACE(c.clientHeight);
        form->setClientHeight(c.clientHeight);
        form->command34Clicked();
        EXPECT_EQ(form->height(), c.after);
        EXPECT_EQ(dataPanelButton()->property("caption").toString(), QString::fromUtf8(c.caption));
    }
}

struct Chord {
    const char* name;
    int key;
    Qt::KeyboardModifiers modifiers;
    bool unlocks;
};

class KeyChordTest : public PanelFixture {};

TEST_F(KeyChordTest, OnlyCtrlAloneWithJUnlocksTheTrace) {
    const Chord chords[] = {
        {"J", Qt::Key_J, {}, false},
        {"Shift+J", Qt::Key_J, Qt::ShiftModifier, false},
        {"Alt+J", Qt::Key_J, Qt::AltModifier, false},
        {"Ctrl+Shift+J", Qt::Key_J, Qt::ControlModifier | Qt::ShiftModifier, false},
        {"Ctrl+Alt+J", Qt::Key_J, Qt::ControlModifier | Qt::AltModifier, false},
        {"Ctrl+Shift+Alt+J", Qt::Key_J, Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier,
         false},
        {"Ctrl+K", Qt::Key_K, Qt::ControlModifier, false},
        // Only Shift, Ctrl and Alt are looked at.
        {"Ctrl+Meta+J", Qt::Key_J, Qt::ControlModifier | Qt::MetaModifier, true},
        {"Ctrl+Keypad+J", Qt::Key_J, Qt::ControlModifier | Qt::KeypadModifier, true},
        {"Ctrl+J", Qt::Key_J, Qt::ControlModifier, true},
    };
    for (const Chord& chord : chords) {
        SCOPED_TRACE(chord.name);
        key(chord.key, chord.modifiers);
        if (chord.unlocks) {
            expectState(kUnlocked, 1, true, kClose);
            dataPanelButton()->hide();  // back to the initial state for the next chord
            form->command34Clicked();
            form->setClientHeight(kCompact);
        } else {
            expectState(kCompact, 0, false, kShow);
        }
        EXPECT_EQ(form->controller().state().PanelOpen, 0);
    }
}

TEST_F(KeyChordTest, CtrlJWorksWithTheFocusInTheTextBoxWhichStillGetsItsKeys) {
    auto* text1 = control<QLineEdit>(QStringLiteral("Text1"));
    text1->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), text1);
    key(Qt::Key_J, {});  // the window previews keys; it does not take them
    EXPECT_EQ(text1->text(), QStringLiteral("j"));
    ctrlJ();
    expectState(kUnlocked, 1, true, kClose);
    EXPECT_EQ(QApplication::focusWidget(), text1);
    EXPECT_EQ(text1->text(), QStringLiteral("j"));
}

TEST_F(KeyChordTest, HeightChangesKeepTheTopEdgeWhereTheOperatorLeftIt) {
    form->move(40, 30);
    const QPoint where = form->pos();
    ctrlJ();
    EXPECT_EQ(form->pos(), where);
    doubleClickLogo();
    EXPECT_EQ(form->pos(), where);
    click(dataPanelButton());
    EXPECT_EQ(form->pos(), where);
}

TEST_F(KeyChordTest, KeysOfAnotherWindowDoNothingHere) {
    QWidget other;
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    QKeyEvent press(QEvent::KeyPress, Qt::Key_J, Qt::ControlModifier, QStringLiteral("\n"));
    QCoreApplication::sendEvent(other.windowHandle(), &press);
    expectState(kCompact, 0, false, kShow);
}

}  // namespace
}  // namespace panel::test
