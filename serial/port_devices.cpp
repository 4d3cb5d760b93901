#include "serial/port_devices.h"

namespace panel {

PortDevices defaultPortDevices() {
#ifdef Q_OS_WIN
    return {QStringLiteral("COM1"), QStringLiteral("COM2")};
#else
    return {QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyS1")};
#endif
}

}  // namespace panel
