// The panel's window over its real serial adapter, driven with synthetic mouse events.
#pragma once

#include <QPoint>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "serial/network_port.h"
#include "serial/qt_serial_port.h"
#include "serial/routed_serial_port.h"
#include "ui/form1.h"
#include "ui/stderr_prompter.h"

namespace panel::measure {

struct HoldTimes {
    std::int64_t pressedAt = 0;   // monotonic µs, just before the press was delivered
    std::int64_t releasedAt = 0;  // just before the release was delivered
};

class PanelDriver {
public:
    // COM1 is `com1`, a device or a device-server URL.
    explicit PanelDriver(const QString& com1);
    ~PanelDriver();

    // The port opened and the window is shown and active.
    bool ready() const;
    Form1& form() { return *form_; }

    // Ctrl+J and a double-click on the logo: every control in view.
    bool openFullPanel();

    void press(const char* name);
    void release(const char* name);
    // Pressed now and released `ms` later by a precise timer of the same event loop, so the repeat
    // ticks and the release are taken in the order they fall due.
    HoldTimes hold(const char* name, int ms);

    // Runs the event loop until `done`, for at most `ms`.
    static bool waitFor(const std::function<bool()>& done, int ms = 20000);

private:
    QPoint windowPos(const char* name) const;

    StderrPrompter prompter_;
    std::unique_ptr<QtSerialPort> port_;
    std::unique_ptr<NetworkPort> network_;
    std::unique_ptr<RoutedSerialPort> routed_;
    std::unique_ptr<Form1> form_;
};

}  // namespace panel::measure
