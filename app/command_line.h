// The program's command line: which devices stand for COM1 and COM2, plus help, version, port list.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <functional>

#include "serial/port_devices.h"

namespace panel {

struct CommandLine {
    PortDevices devices;
    bool exitNow = false;  // the command line was fully answered (or refused): exit with exitCode
    int exitCode = 0;
};

inline constexpr int kCommandLineUsageError = 2;

// What the program needs to answer a command line: a terminal alone, or the window.
enum class FrontDoor { Terminal, Window };

// Decided from the raw arguments, before any QCoreApplication exists: help, version, the port
// list and a mistyped long option must be answered where no display can be opened. Single-dash
// options other than -h and -v are Qt's own (-platform) and are left to QApplication.
FrontDoor frontDoorFor(int argc, const char* const argv[]);

// One serial port the system knows of, as --list-ports shows it.
struct PortListing {
    QString device;
    QString description;
    QString maker;
};
using PortEnumerator = std::function<QList<PortListing>()>;

// The ports QSerialPortInfo finds.
QList<PortListing> availablePorts();

// `arguments` as QCoreApplication::arguments() gives them (the program first). Answers go to
// stdout, complaints to stderr.
CommandLine parseCommandLine(const QStringList& arguments);
CommandLine parseCommandLine(const QStringList& arguments, QTextStream& out, QTextStream& err,
                             const PortEnumerator& ports = availablePorts);

}  // namespace panel
