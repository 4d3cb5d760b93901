// The panel's serial line reached through a device server: rfc2217://HOST:PORT (Telnet, the line
// settings sent to the server) or socket://HOST:PORT (raw TCP, the line settings left to it).
#pragma once

#include <QObject>
#include <QTcpSocket>
#include <cstdint>
#include <memory>
#include <string>

#include "serial/device_port.h"
#include "serial/line_settings.h"
#include "serial/port_devices.h"
#include "serial/port_url.h"

namespace panel {

class ComPortClient;

class NetworkPort final : public QObject, public DevicePort {
    Q_OBJECT

public:
    explicit NetworkPort(PortDevices devices, QObject* parent = nullptr);
    ~NetworkPort() override;
    NetworkPort(const NetworkPort&) = delete;
    NetworkPort& operator=(const NetworkPort&) = delete;

    void setListener(PortListener* listener) override { listener_ = listener; }

    PortResult setCommPort(int port) override;
    int commPort() const override { return commPort_; }
    std::string deviceName() const override;

    void setDevice(int port, const QString& device) override { devices_.of(port) = device; }
    PortResult setSettings(std::string_view settings) override;

    bool isOpen() const override { return open_; }
    PortResult setOpen(bool open) override;

    PortResult output(std::string_view bytes) override;
    PortResult input(std::string& bytes) override;

    const LineSettings& lineSettings() const { return settings_; }
    // Decoded bytes held for the listener at most; beyond it the socket stops being read, so
    // a flooding server is slowed by TCP instead of filling memory.
    static constexpr std::size_t kPendingLimit = 64 * 1024;

private:
    class Busy;

    QString device() const;
    // A failed selection or setting: the description names the device, as the message box shows
    // it alone.
    PortError failure(const std::string& why) const;
    // A failed send or a lost connection: the controller names the device when it tells it.
    static PortError problem(const std::string& why);
    PortResult connectTo(const PortUrl& url);
    void detectCutLine();
    PortResult applySettings();
    void closeSocket();
    void takeArrivals(bool negotiating);
    void onReadyRead();
    void onLost();
    // The connection is treated as closed from now on; the listener hears of it once, later.
    void lose(const std::string& why);
    void raiseComm();

    PortDevices devices_;
    QTcpSocket socket_;
    std::unique_ptr<ComPortClient> telnet_;  // rfc2217:// only
    PortListener* listener_ = nullptr;
    int commPort_ = 1;
    LineSettings settings_;
    bool open_ = false;
    int busy_ = 0;
    bool commQueued_ = false;
    std::string pending_;  // decoded data bytes not yet taken by input()
    std::uint64_t openCount_ = 0;
};

}  // namespace panel
