#include "testkit/window_driver.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "core/monotonic.h"
#include "testkit/controls.h"

namespace panel::test {

void WindowDriver::drive(Form1& window, std::chrono::milliseconds patience) {
    window_ = &window;
    window.show();
    window.activateWindow();
    (void)QTest::qWaitForWindowActive(&window, static_cast<int>(patience.count()));
}

QWidget* WindowDriver::control(const char* name) const {
    return window_->findChild<QWidget*>(QString::fromLatin1(name));
}

QPoint WindowDriver::windowPos(const QWidget* target) const {
    return target->mapTo(window_, target->rect().center());
}

bool WindowDriver::reachable(const char* name) const {
    QWidget* widget = control(name);
    if (!widget || !widget->isVisible()) return false;
    const QPoint at = windowPos(widget);
    if (!window_->rect().contains(at)) return false;
    QWidget* hit = window_->childAt(at);
    return hit == widget || widget->isAncestorOf(hit);
}

bool WindowDriver::inWindow(const char* name) const {
    const QWidget* widget = control(name);
    return widget && window_->rect().contains(windowPos(widget));
}

void WindowDriver::keyChord() {
    // Key presses go to the window, where its key preview sees them first.
    QKeyEvent down(QEvent::KeyPress, Qt::Key_J, Qt::ControlModifier, QString(QChar(10)));
    QCoreApplication::sendEvent(window_->windowHandle(), &down);
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_J, Qt::ControlModifier, QString(QChar(10)));
    QCoreApplication::sendEvent(window_->windowHandle(), &up);
}

bool WindowDriver::openFullPanel() {
    keyChord();
    doubleClick(controls::kLogo);
    // Every control lies inside the window once it is at its full height (SEND is the lowest).
    return inWindow(controls::kSend);
}

void WindowDriver::click(const char* name) {
    QTest::mouseClick(window_->windowHandle(), Qt::LeftButton, {}, windowPos(control(name)));
}

void WindowDriver::doubleClick(const char* name) {
    QTest::mouseDClick(window_->windowHandle(), Qt::LeftButton, {}, windowPos(control(name)));
}

void WindowDriver::press(const char* name) {
    QTest::mousePress(window_->windowHandle(), Qt::LeftButton, {}, windowPos(control(name)));
}

void WindowDriver::release(const char* name) {
    QTest::mouseRelease(window_->windowHandle(), Qt::LeftButton, {}, windowPos(control(name)));
}

std::chrono::microseconds WindowDriver::hold(const char* name, std::chrono::milliseconds length) {
    const auto start = MonotonicNow();
    press(name);
    QEventLoop loop;
    std::chrono::microseconds end{};
    QTimer::singleShot(length, Qt::PreciseTimer, &loop, [&] {
        release(name);
        end = MonotonicNow();
        loop.quit();
    });
    loop.exec();
    return end - start;
}

}  // namespace panel::test
