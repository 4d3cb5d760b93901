// The panel's serial line over QSerialPort: port numbers mapped to devices, failures as PortErrors.
#pragma once

#include <QObject>
#include <QSerialPort>
#include <cstdint>

#include "serial/device_port.h"
#include "serial/line_settings.h"
#include "serial/port_devices.h"

namespace panel {

class QtSerialPort final : public QObject, public DevicePort {
    Q_OBJECT

public:
    explicit QtSerialPort(PortDevices devices, QObject* parent = nullptr);
    ~QtSerialPort() override;
    QtSerialPort(const QtSerialPort&) = delete;
    QtSerialPort& operator=(const QtSerialPort&) = delete;

    void setListener(PortListener* listener) override { listener_ = listener; }

    PortResult setCommPort(int port) override;
    int commPort() const override { return commPort_; }
    std::string deviceName() const override;

    void setDevice(int port, const QString& device) override { devices_.of(port) = device; }
    PortResult setSettings(std::string_view settings) override;

    bool isOpen() const override { return device_.isOpen(); }
    PortResult setOpen(bool open) override;

    PortResult output(std::string_view bytes) override;
    PortResult input(std::string& bytes) override;

    // The settings the next open applies, or that the open port runs at.
    const LineSettings& lineSettings() const { return settings_; }
    // Read-only view of the device, for diagnostics and tests.
    const QSerialPort& device() const { return device_; }

private:
    // Marks the span of one of our own operations: errors Qt raises inside it are returned by the
    // operation, never delivered to the listener, so the controller is not re-entered mid-call.
    class Busy;

    QString devicePath() const;
    PortResult applySettings();
    PortError lastError(std::string_view fallback) const;
    void closeAfterFailure();
    // The last write failed only because the line takes nothing more for now.
    bool lineIsFull() const;

    void onReadyRead();
    void onErrorOccurred(QSerialPort::SerialPortError error);
    void raiseComm(int kind);

    PortDevices devices_;
    QSerialPort device_;
    PortListener* listener_ = nullptr;
    int commPort_ = 1;
    LineSettings settings_;
    int busy_ = 0;
    // Counts successful opens; a failure report queued for an earlier open is dropped.
    std::uint64_t openCount_ = 0;
};

}  // namespace panel
