// What counts as a device behind COM1 or COM2, wherever one is read (the command line, the port
// chooser, the settings, the projectors file): a device server's URL, or a device path. A bare
// name is a node under /dev, as the serial layer itself reads one, written out in full so that
// messages, the log and the line watcher name what is opened.
#pragma once

#include <QString>

namespace panel {

struct CheckedDevice {
    QString device;   // as the line is to be given it; empty when refused
    QString problem;  // why the text names no device, else empty
};

CheckedDevice checkDevice(const QString& text);

}  // namespace panel
