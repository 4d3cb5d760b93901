// The message boxes: a modal one for a failed selection, a non-modal notice for other port problems
// that leaves a hold in progress to end normally.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "testkit/fake_port.h"
#include "tests/ui/qt_printers.h"
#include "ui/form1.h"
#include "ui/message_box_prompter.h"

namespace panel::test {
namespace {

QMessageBox* shownBox(const QString& objectName) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box && box->isVisible() && box->objectName() == objectName) return box;
    }
    return nullptr;
}

TEST(MessageBoxPrompterTest, SelectionFailureIsAModalExclamationWithOkAloneAndNoTitle) {
    MessageBoxPrompter prompter;
    QWidget parent;
    struct Seen {
        bool found = false;
        bool modal = false;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        QString title;
        QString text;
    } seen;
    // Runs inside the box's own event loop, then dismisses it as the operator would.
    QTimer::singleShot(0, [&seen] {
        QMessageBox* box = shownBox(QStringLiteral("PortSelectionFailure"));
        if (!box) return;
        seen = {true,       box->isModal(), box->icon(), box->standardButtons(), box->windowTitle(),
                box->text()};
        box->button(QMessageBox::Ok)->click();
    });
    prompter.portSelectionFailed(&parent, QStringLiteral("Permission denied"));
    ASSERT_TRUE(seen.found);
    EXPECT_TRUE(seen.modal);
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_TRUE(seen.title.isEmpty());
    EXPECT_EQ(seen.text, QStringLiteral("Permission denied"));
}

TEST(MessageBoxPrompterTest, ProblemNoticeReturnsAtOnceAndIsShownOneAtATime) {
    MessageBoxPrompter prompter;
    QWidget parent;
    prompter.portProblem(&parent, QStringLiteral("/dev/x: gone"));
    QMessageBox* notice = prompter.notice();
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->isVisible());
    EXPECT_FALSE(notice->isModal());
    EXPECT_EQ(notice->icon(), QMessageBox::Warning);
    prompter.portProblem(&parent, QStringLiteral("/dev/y: gone too"));
    EXPECT_EQ(prompter.notice(), notice);
    EXPECT_EQ(notice->text(), QStringLiteral("/dev/y: gone too"));
    notice->button(QMessageBox::Ok)->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(prompter.notice(), nullptr);
}

TEST(PortProblemWhileHolding, NoticeDoesNotKeepTheHoldFromEnding) {
    FakePort port;
    Form1 form(port);  // the real message boxes
    form.load();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    port.failOn(FakePort::Op::Output, PortError{"Input/output error"});
    QWidget* vol = form.findChild<QWidget*>(QStringLiteral("Command1"));
    const QPoint at = vol->mapTo(&form, vol->rect().center());
    QTest::mousePress(form.windowHandle(), Qt::LeftButton, {}, at);
    QMessageBox* notice = shownBox(QStringLiteral("PortProblem"));
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->text().contains(QStringLiteral("Input/output error")));
    EXPECT_FALSE(notice->isModal());
    QTest::mouseRelease(form.windowHandle(), Qt::LeftButton, {}, at);
    EXPECT_EQ(form.controller().state().RepeatKey, 0);
    EXPECT_FALSE(form.controller().timers().repeat.isEnabled());
    notice->close();
}

}  // namespace
}  // namespace panel::test
