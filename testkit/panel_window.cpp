#include "testkit/panel_window.h"

#include <QTest>

namespace panel::test {

PanelWindow::PanelWindow(const QString& com1, const QString& com2, Prompter& prompter,
                         std::chrono::milliseconds patience, LineWatcher* watcher)
    : serial_(std::make_unique<QtSerialPort>(PortDevices{com1, com2})),
      network_(std::make_unique<NetworkPort>(PortDevices{com1, com2})),
      routed_(std::make_unique<RoutedSerialPort>(PortDevices{com1, com2}, *serial_, *network_)),
      form_(std::make_unique<Form1>(*routed_, &prompter)) {
    if (watcher) {
        routed_->reopenLostLines(*watcher);
        QObject::connect(watcher, &LineWatcher::waitChanged, form_.get(), &Form1::showLineWait);
        QObject::connect(watcher, &LineWatcher::heldChanged, form_.get(), &Form1::showLineHeld);
    }
    form_->load();
    drive(*form_, patience);
    // A line that never settles shows in ready().
    (void)QTest::qWaitFor([this] { return !routed_->isOpening(); },
                          static_cast<int>(patience.count()));
}

// The window goes first: it holds the port, and the router the two adapters.
PanelWindow::~PanelWindow() {
    form_.reset();
    routed_.reset();
    network_.reset();
    serial_.reset();
}

bool PanelWindow::ready() const {
    return routed_->isOpen() && form_->isActiveWindow();
}

}  // namespace panel::test
