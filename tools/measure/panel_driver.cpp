#include "tools/measure/panel_driver.h"

#include <QTest>

namespace panel::measure {

namespace {

PortDevices devices(const QString& com1) {
    return {com1, QStringLiteral("/nonexistent/panel-measure-com2")};
}

}  // namespace

PanelDriver::PanelDriver(const QString& com1)
    : port_(std::make_unique<QtSerialPort>(devices(com1))),
      network_(std::make_unique<NetworkPort>(devices(com1))),
      routed_(std::make_unique<RoutedSerialPort>(devices(com1), *port_, *network_)),
      form_(std::make_unique<Form1>(*routed_, &prompter_)) {
    form_->load();
    drive(*form_, std::chrono::seconds(5));
    waitFor([this] { return !routed_->isOpening(); }, 5000);
}

PanelDriver::~PanelDriver() {
    form_.reset();
    routed_.reset();
    network_.reset();
    port_.reset();
}

bool PanelDriver::ready() const {
    return routed_->isOpen() && form_->isActiveWindow();
}

bool PanelDriver::waitFor(const std::function<bool()>& done, int ms) {
    return QTest::qWaitFor(done, ms);
}

}  // namespace panel::measure
