// One serial line for the controller, whichever way each port number leads: to a local device
// or, when its device is written as a URL, to a device server on the network.
#pragma once

#include "serial/device_port.h"
#include "serial/port_devices.h"

namespace panel {

class RoutedSerialPort final : public DevicePort {
public:
    // `local` and `network` are both set up with `devices`; each is used only for the port
    // numbers whose device is of its kind.
    RoutedSerialPort(PortDevices devices, DevicePort& local, DevicePort& network);

    void setListener(PortListener* listener) override;
    PortResult setCommPort(int port) override;
    int commPort() const override { return active().commPort(); }
    std::string deviceName() const override { return active().deviceName(); }
    // The line is closed first when it is open, or opening, on that port: it must not go on
    // under a name that no longer leads to it.
    void setDevice(int port, const QString& device) override;
    const QString& device(int port) const { return devices_.of(port); }
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
    DevicePort& local_;
    DevicePort& network_;
};

}  // namespace panel
