// The session log in the window: the trace labels' menu from the mouse and the keyboard, the file
// dialog, the title, and logs that cannot be written.
#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include "log/session_log.h"
#include "testkit/controls.h"
#include "testkit/file_size_limit.h"
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

// A log that cannot start is told, the title does not claim it, and the panel goes on.
struct RefusedLogCase {
    const char* name;
    friend void PrintTo(const RefusedLogCase& c, std::ostream* os) { *os << c.name; }
    const char* path;  // in the test's folder unless absolute
    const char* told;
};

class RefusedLogTest : public LogMenuTest, public ::testing::WithParamInterface<RefusedLogCase> {};

TEST_P(RefusedLogTest, IsToldOnceAndThePanelGoesOnUnlogged) {
    const QString chosen = QString::fromLatin1(GetParam().path);
    EXPECT_FALSE(form->startLog(chosen.startsWith('/') ? chosen : dir.filePath(chosen)));
    clickCode(controls::kStatus);
    ASSERT_EQ(prompter.problems.size(), 1) << prompter.problems.join('\n').toStdString();
    EXPECT_TRUE(prompter.problems[0].contains(QString::fromUtf8(GetParam().told)))
        << prompter.problems[0].toStdString();
    EXPECT_EQ(form->windowTitle(), kCaption);
    EXPECT_FALSE(log.active());
    EXPECT_EQ(port.writes(), (std::vector<std::string>{"CR0\r"}));
}

INSTANTIATE_TEST_SUITE_P(Table, RefusedLogTest,
                         ::testing::Values(RefusedLogCase{"NoSuchFolder", "no/such/folder.log",
                                                          "cannot be opened (No such file"},
                                           RefusedLogCase{
                                               "FullDisk", "/dev/full",
                                               "cannot be written (No space left on device)"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A file that stops growing after its header: the failure is told once, logging stops.
TEST_F(LogMenuTest, AWriteThatFailsLaterIsToldOnceAndThePanelGoesOn) {
    ASSERT_TRUE(form->startLog(path));
    FileSizeLimit limit(QFileInfo(path).size());
    clickCode(controls::kStatus);
    clickCode(controls::kPowerOn);
    ASSERT_EQ(prompter.problems.size(), 1) << prompter.problems.join('\n').toStdString();
    EXPECT_TRUE(prompter.problems[0].contains(QStringLiteral("File too large")));
    EXPECT_EQ(form->windowTitle(), kCaption);
    EXPECT_EQ(port.writes(), (std::vector<std::string>{"CR0\r", "C00\r"}));
}

}  // namespace
}  // namespace panel::test
