// The program's command line: which devices stand for COM1 and COM2, help, version, the port and
// command lists, and the shell mode's commands.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "serial/port_devices.h"

namespace panel {

// --send and what goes with it: commands sent from a shell, with no window.
struct ShellRequest {
    std::vector<std::string> codes;  // in the order given, one byte per character
    int port = 1;                    // 1 is COM1, 2 is COM2
    int speed = 19200;               // or 9600
    std::optional<int> waitMs;       // replaces every command's reply window
    bool json = false;
    QString logFile;             // --log: empty for none
    QStringList projectors;      // --projector NAME, in place of a port
    bool allProjectors = false;  // --all
    bool overProjectors() const { return allProjectors || !projectors.isEmpty(); }
};

// --fleet: the window over every projector of the projectors file.
struct FleetRequest {
    std::optional<int> pollSeconds;  // --poll, else the remembered or default interval
};

struct CommandLine {
    PortDevices devices;
    bool exitNow = false;  // the command line was fully answered (or refused): exit with exitCode
    int exitCode = 0;
    std::optional<ShellRequest> shell;  // set when commands are to be sent from the shell
    std::optional<FleetRequest> fleet;  // set for the fleet window
    QString projectorsFile;             // --projectors, else the default path
    QString logFile;                    // --log: empty for none
};

inline constexpr int kCommandLineUsageError = 2;

// What the program needs to answer a command line: a terminal alone, the window, or the shell
// mode (a serial port and an event loop, no display).
enum class FrontDoor { Terminal, Window, Shell };

// Decided from the raw arguments, before any QCoreApplication exists: help, version, the lists,
// a mistyped long option and --send must be answered where no display can be opened. Single-dash
// options other than -h and -v are Qt's own (-platform) and are left to QApplication.
FrontDoor frontDoorFor(int argc, const char* const argv[]);
// The door a parsed command line needs: the terminal for an answer or a refusal, the shell for
// commands to send, else the window. It must agree with frontDoorFor.
FrontDoor doorNeeded(const CommandLine& line);
// The exit status when the two disagree: a fault of the program, not of its command line.
inline constexpr int kFrontDoorMismatch = 70;

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
// stdout, complaints to stderr. `defaults` stand for COM1 and COM2 where --com1 and --com2 do
// not (the remembered devices, or the platform's).
CommandLine parseCommandLine(const QStringList& arguments,
                             const PortDevices& defaults = defaultPortDevices());
CommandLine parseCommandLine(const QStringList& arguments, QTextStream& out, QTextStream& err,
                             const PortEnumerator& ports = availablePorts,
                             const PortDevices& defaults = defaultPortDevices());

// Every long option the parser takes, "--" included, in the order --help gives them.
std::vector<std::string> optionNames();

}  // namespace panel
