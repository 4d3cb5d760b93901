#include "testkit/panel_window.h"

#include <QTest>

namespace panel::test {

PanelWindow::PanelWindow(const QString& com1, const QString& com2, Prompter& prompter,
                         std::chrono::milliseconds patience, LineWatcher* watcher)
    : line_(std::make_unique<LineStack>(
          LineConfig{.devices = PortDevices{com1, com2}, .watcher = watcher})),
      form_(std::make_unique<Form1>(line_->port(), &prompter)) {
    if (watcher) {
        QObject::connect(watcher, &LineWatcher::waitChanged, form_.get(), &Form1::showLineWait);
        QObject::connect(watcher, &LineWatcher::heldChanged, form_.get(), &Form1::showLineHeld);
    }
    form_->load();
    drive(*form_, patience);
    // A line that never settles shows in ready().
    (void)QTest::qWaitFor([this] { return !line_->port().isOpening(); },
                          static_cast<int>(patience.count()));
}

// The window goes first: it holds the port.
PanelWindow::~PanelWindow() {
    form_.reset();
    line_.reset();
}

bool PanelWindow::ready() const {
    return line_->port().isOpen() && form_->isActiveWindow();
}

}  // namespace panel::test
