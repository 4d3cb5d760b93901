// The panel's window over its real serial adapter, driven with synthetic mouse events.
#pragma once

#include <QString>
#include <functional>

#include "testkit/panel_window.h"

namespace panel::measure {

class PanelDriver : public test::PanelWindow {
public:
    // COM1 is `com1`, a device or a device-server URL; problems are told on standard error.
    explicit PanelDriver(const QString& com1);

    // Runs the event loop until `done`, for at most `ms`.
    static bool waitFor(const std::function<bool()>& done, int ms = 20000);
};

}  // namespace panel::measure
