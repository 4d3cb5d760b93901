#include "serial/routed_serial_port.h"

#include "serial/port_url.h"

namespace panel {

RoutedSerialPort::RoutedSerialPort(PortDevices devices, DevicePort& local, DevicePort& network)
    : devices_(std::move(devices)), local_(local), network_(network) {}

SerialPort& RoutedSerialPort::active() const {
    const QString& device = local_.commPort() == 2 ? devices_.com2 : devices_.com1;
    return isPortUrl(device) ? network_ : local_;
}

SerialPort& RoutedSerialPort::inactive() const {
    return &active() == &local_ ? network_ : local_;
}

void RoutedSerialPort::setListener(PortListener* listener) {
    local_.setListener(listener);
    network_.setListener(listener);
}

PortResult RoutedSerialPort::setCommPort(int port) {
    // Both follow the number, so that either is ready when the number leads to it; the one in
    // use answers first, refusing while it is open.
    SerialPort& current = active();
    if (auto error = current.setCommPort(port)) return error;
    SerialPort& other = &current == &local_ ? network_ : local_;
    return other.setCommPort(port);
}

void RoutedSerialPort::setDevice(int port, const QString& device) {
    if (commPort() == port && (isOpen() || isOpening())) (void)active().setOpen(false);
    devices_.of(port) = device;
    local_.setDevice(port, device);
    network_.setDevice(port, device);
}

PortResult RoutedSerialPort::setSettings(std::string_view settings) {
    // The idle one only keeps the settings for its next open.
    inactive().setSettings(settings);
    return active().setSettings(settings);
}

}  // namespace panel
