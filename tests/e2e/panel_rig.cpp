#include "tests/e2e/panel_rig.h"

#include <time.h>

#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "tests/e2e/sim_process.h"
#include "tests/support/controls.h"

namespace panel::e2e {
namespace {

std::chrono::microseconds monotonicNow() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::duration_cast<std::chrono::microseconds>(
                                                 std::chrono::nanoseconds(ts.tv_nsec));
}

}  // namespace

PanelRig::PanelRig(const QString& com1, const QString& com2)
    : port_(std::make_unique<QtSerialPort>(PortDevices{com1, com2})),
      network_(std::make_unique<NetworkPort>(PortDevices{com1, com2})),
      routed_(std::make_unique<RoutedSerialPort>(PortDevices{com1, com2}, *port_, *network_)),
      form_(std::make_unique<Form1>(*routed_, &prompts_)) {
    form_->load();
    form_->show();
    form_->activateWindow();
    (void)QTest::qWaitForWindowActive(form_.get(), static_cast<int>(kPatience.count()));
}

PanelRig::~PanelRig() {
    form_.reset();
    routed_.reset();
    network_.reset();
    port_.reset();
}

QWidget* PanelRig::control(const char* name) const {
    return form_->findChild<QWidget*>(QString::fromLatin1(name));
}

QString PanelRig::text(const char* label) const {
    const auto* widget = form_->findChild<QLabel*>(QString::fromLatin1(label));
    return widget ? widget->text() : QStringLiteral("<no %1>").arg(QLatin1String(label));
}

QPoint PanelRig::windowPos(QWidget* target) const {
    return target->mapTo(form_.get(), target->rect().center());
}

bool PanelRig::openFullPanel() {
    // Key presses go to the window, where its key preview sees them first.
    QKeyEvent down(QEvent::KeyPress, Qt::Key_J, Qt::ControlModifier, QString(QChar(10)));
    QCoreApplication::sendEvent(form_->windowHandle(), &down);
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_J, Qt::ControlModifier, QString(QChar(10)));
    QCoreApplication::sendEvent(form_->windowHandle(), &up);
    QTest::mouseDClick(form_->windowHandle(), Qt::LeftButton, {}, windowPos(control("Image1")));
    // Every control lies inside the window once it is at its full height.
    return form_->rect().contains(windowPos(control(controls::kSend)));
}

void PanelRig::click(const char* name) {
    QTest::mouseClick(form_->windowHandle(), Qt::LeftButton, {}, windowPos(control(name)));
}

void PanelRig::press(const char* name) {
    QTest::mousePress(form_->windowHandle(), Qt::LeftButton, {}, windowPos(control(name)));
}

void PanelRig::release(const char* name) {
    QTest::mouseRelease(form_->windowHandle(), Qt::LeftButton, {}, windowPos(control(name)));
}

std::chrono::microseconds PanelRig::hold(const char* name, std::chrono::milliseconds length) {
    const auto start = monotonicNow();
    press(name);
    QEventLoop loop;
    std::chrono::microseconds end{};
    QTimer::singleShot(length, Qt::PreciseTimer, &loop, [&] {
        release(name);
        end = monotonicNow();
        loop.quit();
    });
    loop.exec();
    return end - start;
}

void PanelRig::send(const QString& text) {
    click("Text1");
    auto* box = form_->findChild<QLineEdit*>(QStringLiteral("Text1"));
    box->selectAll();
    QTest::keyClicks(box, text);
    click(controls::kSend);
}

bool PanelRig::waitFor(const std::function<bool()>& done) {
    return QTest::qWaitFor(done, static_cast<int>(kPatience.count()));
}

bool PanelRig::waitForText(const char* label, const QString& expected) {
    return waitFor([&] { return text(label) == expected; });
}

bool PanelRig::waitReplyWindowClosed() {
    return waitFor([this] { return !controller().timers().replyWindow.isEnabled(); });
}

}  // namespace panel::e2e
