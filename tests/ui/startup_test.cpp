// The window as start-up leaves it, the title bar's means of closing, and "END".
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include "tests/ui/form_fixture.h"
#include "ui/window_geometry.h"

namespace panel::test {
namespace {

class StartupTest : public FormTest {};

TEST_F(StartupTest, WindowOpensCompactWithItsCaptionAndAFixedSize) {
    EXPECT_EQ(form->windowTitle(), QStringLiteral("TOLM   ZR60K  CONTROL   Ver.1.40"));
    EXPECT_EQ(form->size(), QSize(633, 332));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
}

TEST_F(StartupTest, WindowIsPlacedFromThePrimaryScreenAndItsFullHeight) {
    // Computed for the full layout, then shrunk keeping the top edge; with the frame the platform
    // reports once the window is shown, where it reports one.
    const QMargins frame = form->windowHandle()->frameMargins();
    EXPECT_EQ(form->pos(),
              StartupTopLeft(QGuiApplication::primaryScreen()->geometry(),
                             frame.isNull() ? kAssumedFrameTwips : frame * kTwipsPerPixel));
}

TEST_F(StartupTest, ControlsStartInTheirDescribedState) {
    EXPECT_TRUE(control(QStringLiteral("Command34"))->isHidden());
    EXPECT_EQ(control<QPushButton>(QStringLiteral("Command34"))->property("caption").toString(),
              QString::fromUtf8("データを表示する"));
    EXPECT_FALSE(control(QStringLiteral("Frame8"))->isVisible());
    EXPECT_TRUE(control<QRadioButton>(QStringLiteral("Option1"))->isChecked());
    EXPECT_FALSE(control<QRadioButton>(QStringLiteral("Option2"))->isChecked());
    EXPECT_TRUE(control<QRadioButton>(QStringLiteral("Option9"))->isChecked());
    EXPECT_FALSE(control<QRadioButton>(QStringLiteral("Option10"))->isChecked());
    EXPECT_EQ(QApplication::focusWidget(), control(QStringLiteral("Command17")));
    for (const char* name : {"Label11", "Label12", "Label22"})
        EXPECT_TRUE(control<QLabel>(QString::fromLatin1(name))->text().isEmpty()) << name;
    EXPECT_TRUE(control<QLineEdit>(QStringLiteral("Text1"))->text().isEmpty());
    EXPECT_EQ(form->controller().state().PanelOpen, 0);
}

TEST_F(StartupTest, PortIsOpenOnCom1At19200AndNothingIsSentOrShown) {
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.commPort(), 1);
    EXPECT_EQ(port.settings(), "19200,N,8,1");
    EXPECT_TRUE(port.writes().empty());
    EXPECT_TRUE(prompter.failures.isEmpty());
    EXPECT_TRUE(prompter.problems.isEmpty());
    for (const Timer* timer :
         {&form->controller().timers().repeat, &form->controller().timers().replyWindow,
          &form->controller().timers().selectorHide, &form->controller().timers().clearing})
        EXPECT_FALSE(timer->isEnabled());
}

TEST_F(StartupTest, ClosingByTheTitleBarReleasesThePortAndStopsTheTimers) {
    press(control(QStringLiteral("Command1")));
    ASSERT_TRUE(form->controller().timers().repeat.isEnabled());
    form->close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(form->controller().state().RepeatKey, 0);
    EXPECT_FALSE(form->controller().timers().repeat.isEnabled());
    EXPECT_FALSE(form->controller().timers().clearing.isEnabled());
}

TEST_F(StartupTest, EndClosesThePortThenTheWindowAndAsksTheProgramToEnd) {
    QSignalSpy ended(form.get(), &Form1::programEnded);
    click(control(QStringLiteral("Command16")));
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(ended.count(), 1);
}

TEST(StartupFailure, UnopenablePortStillOpensTheWindowWithOneMessage) {
    FakePort port;
    port.makeUnopenable(1, PortError{"No such file or directory"});
    RecordingPrompter prompter;
    Form1 form(port, &prompter);
    form.load();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(prompter.failures, QStringList{QStringLiteral("No such file or directory")});
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(form.size(), QSize(633, 332));
}

}  // namespace
}  // namespace panel::test
