// The panel's window over its real serial adapter, driven with synthetic mouse events.
#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "serial/network_port.h"
#include "serial/qt_serial_port.h"
#include "serial/routed_serial_port.h"
#include "tests/support/window_driver.h"
#include "ui/form1.h"
#include "ui/stderr_prompter.h"

namespace panel::measure {

class PanelDriver : public test::WindowDriver {
public:
    // COM1 is `com1`, a device or a device-server URL.
    explicit PanelDriver(const QString& com1);
    ~PanelDriver();

    // The port opened and the window is shown and active.
    bool ready() const;
    Form1& form() { return *form_; }
    const SerialPort& port() const { return *routed_; }

    // Runs the event loop until `done`, for at most `ms`.
    static bool waitFor(const std::function<bool()>& done, int ms = 20000);

private:
    StderrPrompter prompter_;
    std::unique_ptr<QtSerialPort> port_;
    std::unique_ptr<NetworkPort> network_;
    std::unique_ptr<RoutedSerialPort> routed_;
    std::unique_ptr<Form1> form_;
};

}  // namespace panel::measure
