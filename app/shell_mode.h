// The shell mode: --send without a window. Each code goes through the core controller as a click
// would send it; what the window would show at the close of its reply window is printed, one line
// a code.
#pragma once

#include <QJsonObject>
#include <QString>
#include <QTextStream>

#include "app/command_line.h"
#include "core/code_sequence.h"
#include "serial/port_devices.h"

namespace panel {

inline constexpr int kShellAllAnswered = 0;
inline constexpr int kShellSomeUnanswered = 1;
inline constexpr int kShellPortFailed = 3;

// One output line, without its newline: code, received trace and decoded text, tab-separated.
QString tabLine(const CodeAnswer& answer);
// The same as one compact JSON object.
QString jsonLine(const CodeAnswer& answer);
QJsonObject jsonObject(const CodeAnswer& answer);
QString jsonLine(const QJsonObject& object);

// Opens the port, sends every code in order and prints the answers. Returns the exit status.
int runShell(const ShellRequest& request, const PortDevices& devices, QTextStream& out,
             QTextStream& err);
int runShell(const ShellRequest& request, const PortDevices& devices);

}  // namespace panel
