// The session log's line format: one event a line, tab-separated fields, UTF-8.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "core/session_observer.h"

namespace panel {

// The port an event happened on, as the log names it.
struct LoggedPort {
    std::string com;     // "COM1"
    std::string device;  // the device or URL behind it
};

// Appends one line and its newline to `out`: the stamp, the COM name, the device, the kind and
// the data. Sent and received bytes give two data fields: their trace, then every byte in hex.
void AppendSessionLine(std::string& out, std::string_view stamp, const LoggedPort& port,
                       const SessionEvent& event);

// The local date and time to the millisecond: "2026-12-09T14:03:07.123".
class LocalStamp {
public:
    std::string_view at(std::chrono::system_clock::time_point when);

private:
    // The text up to the seconds changes once a second, not once a line.
    std::chrono::system_clock::time_point::rep second_ = -1;
    std::string text_;
};

}  // namespace panel
