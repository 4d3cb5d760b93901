// The panel's window built as the program builds it (its line from the line stack, the session
// log, the port chooser), loaded and shown: what the development aids picture and time. It never
// reads or writes the operator's remembered devices.
#pragma once

#include "log/session_log.h"
#include "serial/line_stack.h"
#include "serial/port_devices.h"
#include "ui/form1.h"
#include "ui/stderr_prompter.h"

namespace panel {

class AidWindow {
public:
    explicit AidWindow(const PortDevices& devices);

    Form1& form() { return form_; }
    // Loaded and shown, as the program's start-up leaves it.
    void show();

private:
    StderrPrompter prompter_;  // no one is there to click OK
    LineStack line_;
    SessionLog log_;
    Form1 form_;
};

}  // namespace panel
