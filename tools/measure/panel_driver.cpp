#include "tools/measure/panel_driver.h"

#include <QTest>

namespace panel::measure {

PanelDriver::PanelDriver(const QString& com1)
    : port_(std::make_unique<QtSerialPort>(
          PortDevices{com1, QStringLiteral("/nonexistent/panel-measure-com2")})),
      form_(std::make_unique<Form1>(*port_, &prompter_)) {
    form_->load();
    drive(*form_, std::chrono::seconds(5));
}

PanelDriver::~PanelDriver() {
    form_.reset();
    port_.reset();
}

bool PanelDriver::ready() const {
    return port_->isOpen() && form_->isActiveWindow();
}

bool PanelDriver::waitFor(const std::function<bool()>& done, int ms) {
    return QTest::qWaitFor(done, ms);
}

}  // namespace panel::measure
