// This machine's serial ports as the port chooser lists them: what Qt finds and what the by-id
// folder names, each with its stable name and what would stop an open.
#pragma once

#include <QList>
#include <QString>

namespace panel {

struct PortEntry {
    QString device;  // the node, "/dev/ttyUSB0"
    QString description;
    QString maker;
    QString serialNumber;
    QString byId;     // its link in the by-id folder, when it has one
    QString problem;  // the plain help an open would earn, found without opening it
    friend bool operator==(const PortEntry&, const PortEntry&) = default;
};

inline const QString kSerialByIdFolder = QStringLiteral("/dev/serial/by-id");

// Sorted by device. Reads every process's descriptors (a busy port's holder): call it off the
// window's thread.
QList<PortEntry> takePortInventory(const QString& byIdFolder = kSerialByIdFolder,
                                   const QString& procRoot = QStringLiteral("/proc"));

// `device` as its link in `byIdFolder` when one leads to it, so that the same adapter is found
// in another USB socket or under another number; otherwise `device` itself.
QString stableDeviceName(const QString& device, const QString& byIdFolder = kSerialByIdFolder);

}  // namespace panel
