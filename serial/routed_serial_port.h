// One serial line for the controller, whichever way each port number leads: to a local device
// or, when its device is written as a URL, to a device server on the network. With a watcher, a
// line lost while open is waited for and opened again by itself.
#pragma once

#include <QElapsedTimer>
#include <QMetaObject>

#include "serial/device_port.h"
#include "serial/port_devices.h"

namespace panel {

class LineWatcher;

class RoutedSerialPort final : public DevicePort, private PortListener {
public:
    // `local` and `network` are both set up with `devices`; each is used only for the port
    // numbers whose device is of its kind.
    RoutedSerialPort(PortDevices devices, DevicePort& local, DevicePort& network);
    ~RoutedSerialPort() override;
    RoutedSerialPort(const RoutedSerialPort&) = delete;
    RoutedSerialPort& operator=(const RoutedSerialPort&) = delete;

    // From now on a line lost while open is waited for with `watcher` and reopened at the
    // settings of that moment; the listener hears onPortOpened. The shell mode does not wait.
    void reopenLostLines(LineWatcher& watcher);
    // Ends a wait for a lost line: its COM port now stands for another device.
    void stopWaiting();

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
    bool isOpening() const override { return !reopening_ && active().isOpening(); }
    PortResult setOpen(bool open) override;
    PortResult output(std::string_view bytes) override;
    PortResult input(std::string& bytes) override { return active().input(bytes); }

private:
    SerialPort& active() const;
    SerialPort& inactive() const;

    void onComm(int kind) override;
    void onPortFailure(const PortError& error) override;
    void onPortOpened() override;
    void onOpenFailed(const PortError& error) override;
    void startWaiting();
    void tryReopen();
    void reopenFailed(const PortError& error);

    PortDevices devices_;
    DevicePort& local_;
    DevicePort& network_;
    PortListener* listener_ = nullptr;
    LineWatcher* watcher_ = nullptr;  // outlives this port
    QMetaObject::Connection tries_;
    bool reopening_ = false;  // an open of our own, for a lost line, is under way
    bool toldThisWait_ = false;
    QElapsedTimer failingSince_;  // a local node there that would not open, since when
};

}  // namespace panel
