// The session log in the window: the trace labels' menu, from the mouse and the keyboard, the
// file dialog, the title, and logs that cannot be written.
#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include "serial/session_log.h"
#include "tests/support/controls.h"
#include "tests/ui/form_fixture.h"
#include "ui/layout.h"
#include "ui/utf8.h"

namespace panel::test {
namespace {

const QString kCaption = FromUtf8(kWindowCaption);

class LogMenuTest : public FormTest {
protected:
    // The file dialog keeps its history in the user's settings: these go to a folder of the
    // test's own.
    void SetUp() override {
        ASSERT_TRUE(config.isValid());
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        FormTest::SetUp();
        form->setSessionLog(log);
    }
    void TearDown() override {
        FormTest::TearDown();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        qunsetenv("XDG_CONFIG_HOME");
    }

    QMenu* shownMenu() const {
        auto* menu = form->findChild<QMenu*>(QStringLiteral("LogMenu"));
        return menu && menu->isVisible() ? menu : nullptr;
    }
    // Chooses an entry of the shown menu with the mouse, as the operator would.
    void choose(const QString& text) {
        QMenu* menu = shownMenu();
        ASSERT_NE(menu, nullptr);
        for (QAction* action : menu->actions()) {
            if (action->text() != text) continue;
            ASSERT_TRUE(action->isEnabled()) << text.toStdString();
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
            return;
        }
        FAIL() << "no entry " << text.toStdString();
    }
    QString logText() const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    SessionLog log{"projector-panel 1.40",
                   {LoggedPort{"COM1", "/dev/a"}, LoggedPort{"COM2", "/dev/b"}}};
    QTemporaryDir config;
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("hall.log"));
};

TEST_F(LogMenuTest, RightClickOnATraceLogsToTheFileChosenAndTheTitleSaysSo) {
    openFullPanel();
    click(control(QStringLiteral("Label11")), Qt::RightButton);
    ASSERT_NE(shownMenu(), nullptr);
    shownMenu()->close();
    click(control(QStringLiteral("Label12")), Qt::RightButton);
    choose(QStringLiteral("Log to file…"));
    auto* dialog = form->findChild<QFileDialog*>(QStringLiteral("LogFileDialog"));
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(dialog->isModal() && dialog->windowModality() == Qt::ApplicationModal);
    dialog->selectFile(path);
    static_cast<QDialog*>(dialog)->accept();  // as its Save button does
    EXPECT_EQ(form->windowTitle(), kCaption + QStringLiteral(" — logging to hall.log"));
    click(control(QString::fromLatin1(controls::kStatus)));
    EXPECT_TRUE(
        logText().contains(QStringLiteral("\tCOM1\t/dev/a\tsent\t C R 0 CR \t43 52 30 0D\n")))
        << logText().toStdString();
}

TEST_F(LogMenuTest, ShiftF10AndTheMenuKeyReachTheMenuAndStopLogging) {
    ASSERT_TRUE(form->startLog(path));
    key(Qt::Key_F10, Qt::ShiftModifier);
    choose(QStringLiteral("Stop logging"));
    EXPECT_FALSE(log.active());
    EXPECT_EQ(form->windowTitle(), kCaption);
    // The platform's event for the Menu key.
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, {}, {});
    QCoreApplication::sendEvent(form->windowHandle(), &menuKey);
    ASSERT_NE(shownMenu(), nullptr);
    EXPECT_FALSE(shownMenu()->actions()[1]->isEnabled());
}

TEST_F(LogMenuTest, ALogThatCannotBeWrittenIsToldOnceAndThePanelGoesOn) {
    openFullPanel();
    EXPECT_FALSE(form->startLog(dir.filePath(QStringLiteral("no/such/folder.log"))));
    ASSERT_EQ(prompter.problems.size(), 1);
    EXPECT_TRUE(prompter.problems[0].contains(QStringLiteral("cannot be opened (No such file")));
    EXPECT_TRUE(form->startLog(QStringLiteral("/dev/full")));  // opens, but takes nothing
    click(control(QString::fromLatin1(controls::kStatus)));
    click(control(QString::fromLatin1(controls::kPowerOn)));
    ASSERT_EQ(prompter.problems.size(), 2);
    EXPECT_TRUE(prompter.problems[1].contains(QStringLiteral("No space left on device")));
    EXPECT_EQ(form->windowTitle(), kCaption);
    EXPECT_EQ(port.writes(), (std::vector<std::string>{"CR0\r", "C00\r"}));
}

}  // namespace
}  // namespace panel::test
