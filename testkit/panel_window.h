// The panel's window over its real serial adapter (COM1 and COM2 device paths or device-server
// URLs), loaded, shown and active, driven as an operator would: the end-to-end tests' rig and
// panel-measure's.
#pragma once

#include <QString>
#include <chrono>
#include <memory>

#include "serial/line_stack.h"
#include "testkit/window_driver.h"
#include "ui/form1.h"
#include "ui/prompter.h"

namespace panel::test {

class PanelWindow : public WindowDriver {
public:
    // `prompter` must outlive the window. Waits up to `patience` for the window to be active and
    // its start-up open to settle. With `watcher`, lost lines come back by themselves, as in the
    // program.
    PanelWindow(const QString& com1, const QString& com2, Prompter& prompter,
                std::chrono::milliseconds patience, LineWatcher* watcher = nullptr);
    ~PanelWindow();

    Form1& form() { return *form_; }
    const Form1& form() const { return *form_; }
    SerialPort& port() { return line_->port(); }
    Controller& controller() { return form_->controller(); }
    const QtSerialPort& localPort() const { return line_->local(); }
    // The port is open and the window active.
    bool ready() const;

private:
    std::unique_ptr<LineStack> line_;
    std::unique_ptr<Form1> form_;
};

}  // namespace panel::test
