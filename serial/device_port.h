// A serial line whose port numbers lead to devices that can be changed while the program runs.
#pragma once

#include <QString>

#include "core/serial_port.h"

namespace panel {

class DevicePort : public SerialPort {
public:
    // Port 1 or 2 leads to `device` (a path or a URL) from its next open on.
    virtual void setDevice(int port, const QString& device) = 0;
};

}  // namespace panel
