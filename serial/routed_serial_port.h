// One serial line for the controller, whichever way each port number leads: to a local device
// or, when its device is written as a URL, to a device server on the network.
#pragma once

#include "core/serial_port.h"
#include "serial/port_devices.h"

namespace panel {

class RoutedSerialPort final : public SerialPort {
public:
    // `local` and `network` are both set up with `devices`; each is used only for the port
    // numbers whose device is of its kind.
    RoutedSerialPort(PortDevices devices, SerialPort& local, SerialPort& network);

    void setListener(PortListener* listener) override;
    PortResult setCommPort(int port) override;
    int commPort() const override { return active().commPort(); }
    std::string deviceName() const override { return active().deviceName(); }
    PortResult setSettings(std::string_view settings) override;
    bool isOpen() const override { return active().isOpen(); }
    bool isOpening() const override { return active().isOpening(); }
    PortResult setOpen(bool open) override { return active().setOpen(open); }
    PortResult output(std::string_view bytes) override { return active().output(bytes); }
    PortResult input(std::string& bytes) override { return active().input(bytes); }

private:
    SerialPort& active() const;
    SerialPort& inactive() const;

    PortDevices devices_;
    SerialPort& local_;
    SerialPort& network_;
};

}  // namespace panel
