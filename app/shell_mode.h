// The shell mode: --send without a window. Each code goes through the core controller as a click
// would send it; what the window would show at the close of its reply window is printed, one line
// a code.
#pragma once

#include <QJsonObject>
#include <QString>
#include <QTextStream>

#include "app/command_line.h"
#include "core/code_sequence.h"
#include "fleet/answer_json.h"
#include "serial/port_devices.h"

namespace panel {

class SessionLog;
struct LogRefusal;

inline constexpr int kShellAllAnswered = 0;
inline constexpr int kShellSomeUnanswered = 1;
inline constexpr int kShellPortFailed = 3;
// Every command ran and was answered or not, but the session log missed some of it.
inline constexpr int kShellLogIncomplete = 4;

// Tells on `err` why --log `file` did not start. True when the commands still go out: the file
// opened but took nothing.
bool tellLogRefused(const QString& file, const LogRefusal& refusal, QTextStream& err);
// A run's status once its log is counted: a failed write turns 0 and 1 into kShellLogIncomplete,
// so that a run from cron learns that its record is incomplete; a port failure still comes first.
int withLog(int status, const SessionLog& log);

// One output line, without its newline: code, received trace and decoded text, tab-separated.
QString tabLine(const CodeAnswer& answer);
// The same as one compact JSON object.
QString jsonLine(const CodeAnswer& answer);
QString jsonLine(const QJsonObject& object);

// Opens the port, sends every code in order and prints the answers. Returns the exit status.
int runShell(const ShellRequest& request, const PortDevices& devices, QTextStream& out,
             QTextStream& err);
int runShell(const ShellRequest& request, const PortDevices& devices);

}  // namespace panel
