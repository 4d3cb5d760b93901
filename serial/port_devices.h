// The serial devices that the port numbers 1 (COM1) and 2 (COM2) stand for.
#pragma once

#include <QString>

namespace panel {

struct PortDevices {
    QString com1;
    QString com2;

    QString& of(int port) { return port == 2 ? com2 : com1; }
    const QString& of(int port) const { return port == 2 ? com2 : com1; }
};

// The platform's first two serial ports: /dev/ttyS0 and /dev/ttyS1, or COM1 and COM2 on Windows.
PortDevices defaultPortDevices();

}  // namespace panel
