#include "tests/ui/form_fixture.h"

#include <QKeyEvent>
#include <QTest>
#include <QWindow>

namespace panel::test {

void FormTest::SetUp() {
    form = std::make_unique<Form1>(port, &prompter);
    form->load();
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    port.clearWrites();
    port.clearLog();
}

void FormTest::TearDown() {
    form.reset();
}

void FormTest::key(int key, Qt::KeyboardModifiers modifiers, bool autoRepeat) {
    QString text;
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        const char letter = static_cast<char>('a' + (key - Qt::Key_A));
        if (modifiers & Qt::ControlModifier)
            text = QChar(letter - 'a' + 1);
        else
            text = (modifiers & Qt::ShiftModifier) ? QChar(letter - 'a' + 'A') : QChar(letter);
    } else if (key == Qt::Key_Space) {
        text = QStringLiteral(" ");
    } else if (key == Qt::Key_Return) {
        text = QStringLiteral("\r");
    }
    QKeyEvent down(QEvent::KeyPress, key, modifiers, text, autoRepeat);
    QCoreApplication::sendEvent(form->windowHandle(), &down);
    QKeyEvent up(QEvent::KeyRelease, key, modifiers, text, autoRepeat);
    QCoreApplication::sendEvent(form->windowHandle(), &up);
}

QPoint FormTest::windowPos(QWidget* target) const {
    return target->mapTo(form.get(), target->rect().center());
}

void FormTest::press(QWidget* target, Qt::MouseButton button) {
    QTest::mousePress(form->windowHandle(), button, {}, windowPos(target));
}

void FormTest::release(QPoint windowPos, Qt::MouseButton button) {
    QTest::mouseRelease(form->windowHandle(), button, {}, windowPos);
}

void FormTest::moveTo(QPoint windowPos) {
    QTest::mouseMove(form->windowHandle(), windowPos);
}

void FormTest::click(QWidget* target, Qt::MouseButton button) {
    QTest::mouseClick(form->windowHandle(), button, {}, windowPos(target));
}

void FormTest::doubleClickLogo() {
    QTest::mouseDClick(form->windowHandle(), Qt::LeftButton, {},
                       windowPos(control(QStringLiteral("Image1"))));
}

void FormTest::openFullPanel() {
    ctrlJ();
    doubleClickLogo();
    ASSERT_EQ(form->height(), 582);
}

}  // namespace panel::test
