// The session log in the window: the trace labels' menu from the mouse and the keyboard, the file
// dialog, the title, and logs that cannot be written.
#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include "log/session_log.h"
#include "testkit/controls.h"
#include "tests/ui/form_fixture.h"
#include "ui/layout.h"
#include "ui/utf8.h"

namespace panel::test {
namespace {

const QString kCaption = FromUtf8(kWindowCaption);

class LogMenuTest : public FormTest {
protected:
    // The file dialog keeps its history in the user's settings: here, in the test's own folder.
    void SetUp() override {
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        FormTest::SetUp();
        form->setSessionLog(log);
        openFullPanel();
    }
    void TearDown() override {
        FormTest::TearDown();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        qunsetenv("XDG_CONFIG_HOME");
    }

    // Chooses an entry of the shown menu with the mouse, as the operator would.
    void choose(const QString& text) {
        auto* menu = form->findChild<QMenu*>(QStringLiteral("LogMenu"));
        ASSERT_TRUE(menu && menu->isVisible()) << text.toStdString();
        for (QAction* action : menu->actions())
            if (action->text() == text && action->isEnabled())
                return QTest::mouseClick(menu, Qt::LeftButton, {},
                                         menu->actionGeometry(action).center());
        FAIL() << "no enabled entry " << text.toStdString();
    }
    void clickCode(const char* name) { click(control(QString::fromLatin1(name))); }

    SessionLog log{"projector-panel 1.40", {LoggedPort{"COM1", "/dev/a"}, LoggedPort{"COM2", ""}}};
    QTemporaryDir config;
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("hall.log"));
};

TEST_F(LogMenuTest, StartedFromATraceAndStoppedFromTheKeyboardWithTheTitleSayingSo) {
    click(control(QStringLiteral("Label12")), Qt::RightButton);
    choose(QStringLiteral("Log to file…"));
    auto* dialog = form->findChild<QFileDialog*>(QStringLiteral("LogFileDialog"));
    ASSERT_NE(dialog, nullptr);
    dialog->selectFile(path);
    static_cast<QDialog*>(dialog)->accept();  // as its Save button does
    EXPECT_EQ(form->windowTitle(), kCaption + QStringLiteral(" — logging to hall.log"));
    clickCode(controls::kStatus);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().endsWith("\tCOM1\t/dev/a\tsent\t C R 0 CR \t43 52 30 0D\n"));

    key(Qt::Key_F10, Qt::ShiftModifier);
    choose(QStringLiteral("Stop logging"));
    EXPECT_EQ(form->windowTitle(), kCaption);
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, {}, {});  // the platform's Menu key
    QCoreApplication::sendEvent(form->windowHandle(), &menuKey);
    choose(QStringLiteral("Log to file…"));
}

TEST_F(LogMenuTest, ALogThatCannotBeWrittenIsToldOnceAndThePanelGoesOn) {
    EXPECT_FALSE(form->startLog(dir.filePath(QStringLiteral("no/such/folder.log"))));
    ASSERT_EQ(prompter.problems.size(), 1);
    EXPECT_TRUE(prompter.problems[0].contains(QStringLiteral("cannot be opened (No such file")));
    EXPECT_TRUE(form->startLog(QStringLiteral("/dev/full")));  // opens, but takes nothing
    clickCode(controls::kStatus);
    clickCode(controls::kPowerOn);
    ASSERT_EQ(prompter.problems.size(), 2);
    EXPECT_TRUE(prompter.problems[1].contains(QStringLiteral("No space left on device")));
    EXPECT_EQ(form->windowTitle(), kCaption);
    EXPECT_EQ(port.writes(), (std::vector<std::string>{"CR0\r", "C00\r"}));
}

}  // namespace
}  // namespace panel::test
