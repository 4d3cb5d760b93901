// Plain help when a local serial device will not open: one line telling the operator what to do
// on this system, said after Qt's own description (which for a busy port speaks of permissions).
#pragma once

#include <QList>
#include <QSerialPort>
#include <QString>

namespace panel {

// A process that holds a device: has it open, or owns its lock file.
struct PortHolder {
    qint64 pid = 0;
    QString program;
    friend bool operator==(const PortHolder&, const PortHolder&) = default;
};

// The processes other than this one that hold `device`, as the lock files of serial programs and
// /proc show them, by process id; and this process when it owns the lock. Processes of other users
// are seen only by root.
// `procRoot` is where the processes are listed: /proc, or a folder of fake entries in tests.
QList<PortHolder> portHolders(const QString& device,
                              const QString& procRoot = QStringLiteral("/proc"));

// One line of help after Qt failed to open `device`, given Qt's error and its description; empty
// when there is nothing useful to add.
QString openFailureHelp(const QString& device, QSerialPort::SerialPortError error,
                        const QString& description,
                        const QString& procRoot = QStringLiteral("/proc"));

// Whether the help for this description of a failed open names the programs that hold the device:
// finding them reads every process's descriptors, too slow for the window's thread.
bool helpLooksForHolders(const QString& description);

// Qt's description, then the help on a line of its own when there is any.
QString describeOpenFailure(const QString& device, QSerialPort::SerialPortError error,
                            const QString& description);

// For the port list: foreseenOpenProblem's line, which names the device, ending in a newline;
// empty when nothing shows.
QString portProblem(const QString& device);

// For the port chooser: the help line an open of `device` would earn, found without opening it
// (opening toggles the modem lines, which resets some devices); empty when nothing shows. Reads
// every process's descriptors: call it off the window's thread.
QString foreseenOpenProblem(const QString& device,
                            const QString& procRoot = QStringLiteral("/proc"));

}  // namespace panel
