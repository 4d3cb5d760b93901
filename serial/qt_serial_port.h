// The panel's serial line over QSerialPort: port numbers mapped to devices, failures as PortErrors.
#pragma once

#include <QObject>
#include <QSerialPort>
#include <cstdint>

#include "serial/device_port.h"
#include "serial/line_settings.h"
#include "serial/operation_spans.h"
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
    // Opens at once or fails at once, except on a busy device: the help that names its holders is
    // found on another thread, and the failure follows from the event loop.
    PortResult setOpen(bool open) override;
    bool isOpening() const override { return opening_; }

    PortResult output(std::string_view bytes) override;
    PortResult input(std::string& bytes) override;

    // The settings the next open applies, or that the open port runs at.
    const LineSettings& lineSettings() const { return settings_; }
    // Read-only view of the device, for diagnostics and tests.
    const QSerialPort& device() const { return device_; }

private:
    using Busy = OperationSpans::Busy;

    QString devicePath() const;
    PortResult applySettings();
    PortError lastError(std::string_view fallback) const;
    void explainLater(const QString& description, QSerialPort::SerialPortError code);
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
    OperationSpans spans_;
    // Counts successful opens; a failure report queued for an earlier open is dropped.
    std::uint64_t openCount_ = 0;
    bool opening_ = false;       // a failed open whose explanation is still being found
    std::uint64_t attempt_ = 0;  // an explanation for an earlier attempt is dropped
};

}  // namespace panel
