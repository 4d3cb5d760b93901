#include "tools/aids/aid_window.h"

namespace panel {

AidWindow::AidWindow(const PortDevices& devices)
    : line_(LineConfig{.devices = devices, .reopenLostLines = true}),
      log_("projector-panel", {LoggedPort{"COM1", devices.com1.toStdString()},
                               LoggedPort{"COM2", devices.com2.toStdString()}}),
      form_(line_.port(), &prompter_) {
    form_.describePorts(devices.com1, devices.com2);
    QObject::connect(line_.watcher(), &LineWatcher::waitChanged, &form_, &Form1::showLineWait);
    form_.enablePortChooser(line_.port(), nullptr);
    form_.setSessionLog(log_);
}

void AidWindow::show() {
    form_.load();
    form_.show();
}

}  // namespace panel
