// The shell mode: --send without a window. Each code goes through the core controller as a click
// would send it; what the window would show at the close of its reply window is printed, one line
// a code.
#pragma once

#include <QString>
#include <QTextStream>
#include <optional>
#include <string>
#include <string_view>

#include "app/command_line.h"
#include "core/catalogue.h"
#include "serial/port_devices.h"

namespace panel {

// What one code brought back, read when its reply window closed.
struct ShellAnswer {
    std::string command;                 // the code, one byte per character
    std::string sent;                    // Label11
    std::string received;                // Label12
    std::optional<std::string> decoded;  // Label22, when a decoder wrote it during the window
    bool replied = false;                // at least one character came
    std::optional<double> firstByteMs;   // from the write to the first character received
};

inline constexpr int kShellAllAnswered = 0;
inline constexpr int kShellSomeUnanswered = 1;
inline constexpr int kShellPortFailed = 3;

// The reply window and clearing delay for `code`: those a click of the one-shot button with that
// code uses from start-up, the manual entry's for a code no one-shot button sends, or `waitMs`.
IntervalPair shellIntervals(std::string_view code, std::optional<int> waitMs);

// One output line, without its newline: code, received trace and decoded text, tab-separated.
QString tabLine(const ShellAnswer& answer);
// The same as one compact JSON object.
QString jsonLine(const ShellAnswer& answer);

// Opens the port, sends every code in order and prints the answers. Returns the exit status.
int runShell(const ShellRequest& request, const PortDevices& devices, QTextStream& out,
             QTextStream& err);
int runShell(const ShellRequest& request, const PortDevices& devices);

}  // namespace panel
