// The panel's window over its real serial adapter (COM1 and COM2 device paths or device-server
// URLs), loaded, shown and active, driven as an operator would: the end-to-end tests' rig and
// panel-measure's.
#pragma once

#include <QString>
#include <chrono>
#include <memory>

#include "serial/network_port.h"
#include "serial/qt_serial_port.h"
#include "serial/routed_serial_port.h"
#include "testkit/window_driver.h"
#include "ui/form1.h"
#include "ui/prompter.h"

namespace panel::test {

class PanelWindow : public WindowDriver {
public:
    // `prompter` must outlive the window. Waits up to `patience` for the window to be active.
    PanelWindow(const QString& com1, const QString& com2, Prompter& prompter,
                std::chrono::milliseconds patience);
    ~PanelWindow();

    Form1& form() { return *form_; }
    const Form1& form() const { return *form_; }
    SerialPort& port() { return *routed_; }
    Controller& controller() { return form_->controller(); }
    // The port is open and the window active.
    bool ready() const;

private:
    std::unique_ptr<QtSerialPort> serial_;
    std::unique_ptr<NetworkPort> network_;
    std::unique_ptr<RoutedSerialPort> routed_;
    std::unique_ptr<Form1> form_;
};

}  // namespace panel::test
