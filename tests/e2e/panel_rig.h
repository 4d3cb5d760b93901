// The real window over the real serial adapter, driven through its window as an operator would.
#pragma once

#include <QLabel>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>

#include "serial/network_port.h"
#include "serial/qt_serial_port.h"
#include "serial/routed_serial_port.h"
#include "tests/support/recording_prompter.h"
#include "tests/support/window_driver.h"
#include "ui/form1.h"

namespace panel::e2e {

class PanelRig : public test::WindowDriver {
public:
    // A Form1 over COM1 = `com1`, COM2 = `com2` (device paths or device-server URLs), loaded,
    // shown and active, its start-up open settled.
    explicit PanelRig(const QString& com1,
                      const QString& com2 = QStringLiteral("/nonexistent/panel-e2e-com2"));
    ~PanelRig();

    Form1& form() { return *form_; }
    SerialPort& port() { return *routed_; }
    test::RecordingPrompter& prompts() { return prompts_; }
    Controller& controller() { return form_->controller(); }
    const QtSerialPort& localPort() const { return *port_; }

    QString text(const char* label) const;

    // Clicks into Text1, types `text` over what it held and clicks SEND.
    void send(const QString& text);

    // Runs the event loop until `done` or kPatience.
    static bool waitFor(const std::function<bool()>& done);
    bool waitForText(const char* label, const QString& expected);
    // The reply window of the last send has closed: what arrives next starts a new received text.
    bool waitReplyWindowClosed();

private:
    test::RecordingPrompter prompts_;
    std::unique_ptr<QtSerialPort> port_;
    std::unique_ptr<NetworkPort> network_;
    std::unique_ptr<RoutedSerialPort> routed_;
    std::unique_ptr<Form1> form_;
};

}  // namespace panel::e2e
