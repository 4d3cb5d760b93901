#include "tools/measure/panel_driver.h"

#include <QEventLoop>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "tools/measure/monotonic.h"

namespace panel::measure {

namespace {

PortDevices devices(const QString& com1) {
    return {com1, QStringLiteral("/nonexistent/panel-measure-com2")};
}

}  // namespace

PanelDriver::PanelDriver(const QString& com1)
    : port_(std::make_unique<QtSerialPort>(devices(com1))),
      network_(std::make_unique<NetworkPort>(devices(com1))),
      routed_(std::make_unique<RoutedSerialPort>(devices(com1), *port_, *network_)),
      form_(std::make_unique<Form1>(*routed_, &prompter_)) {
    form_->load();
    form_->show();
    form_->activateWindow();
    (void)QTest::qWaitForWindowActive(form_.get());
}

PanelDriver::~PanelDriver() {
    form_.reset();
    routed_.reset();
    network_.reset();
    port_.reset();
}

bool PanelDriver::ready() const {
    return routed_->isOpen() && form_->isActiveWindow();
}

QPoint PanelDriver::windowPos(const char* name) const {
    const QWidget* target = form_->findChild<QWidget*>(QString::fromLatin1(name));
    return target->mapTo(form_.get(), target->rect().center());
}

bool PanelDriver::openFullPanel() {
    QKeyEvent down(QEvent::KeyPress, Qt::Key_J, Qt::ControlModifier, QString(QChar(10)));
    QCoreApplication::sendEvent(form_->windowHandle(), &down);
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_J, Qt::ControlModifier, QString(QChar(10)));
    QCoreApplication::sendEvent(form_->windowHandle(), &up);
    QTest::mouseDClick(form_->windowHandle(), Qt::LeftButton, {}, windowPos("Image1"));
    return form_->rect().contains(windowPos("Command95"));
}

void PanelDriver::press(const char* name) {
    QTest::mousePress(form_->windowHandle(), Qt::LeftButton, {}, windowPos(name));
}

void PanelDriver::release(const char* name) {
    QTest::mouseRelease(form_->windowHandle(), Qt::LeftButton, {}, windowPos(name));
}

HoldTimes PanelDriver::hold(const char* name, int ms) {
    HoldTimes times;
    times.pressedAt = MonotonicMicros();
    press(name);
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, [&] {
        times.releasedAt = MonotonicMicros();
        release(name);
        loop.quit();
    });
    loop.exec();
    return times;
}

bool PanelDriver::waitFor(const std::function<bool()>& done, int ms) {
    return QTest::qWaitFor(done, ms);
}

}  // namespace panel::measure
