// The panel's serial line reached through a device server: rfc2217://HOST:PORT (Telnet, the line
// settings sent to the server) or socket://HOST:PORT (raw TCP, the line settings left to it).
#pragma once

#include <QObject>
#include <QTcpSocket>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "serial/device_port.h"
#include "serial/line_settings.h"
#include "serial/operation_spans.h"
#include "serial/port_devices.h"
#include "serial/port_url.h"
#include "serial/rfc2217_settings.h"
#include "serial/ser2net_quirks.h"

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

    bool isOpen() const override { return phase_ == Phase::Open; }
    // A connection is made, and over rfc2217:// the line settings confirmed, from the event loop:
    // the window never waits on the network.
    PortResult setOpen(bool open) override;
    bool isOpening() const override {
        return phase_ == Phase::Connecting || phase_ == Phase::Negotiating;
    }

    PortResult output(std::string_view bytes) override;
    PortResult input(std::string& bytes) override;

    // ser2net refuses a second client by writing why and closing, right after accepting it (half
    // a millisecond on loopback); over socket:// nothing else tells a refusal from an open, so the
    // open waits this long for one. A refusal that comes later is told as the line's loss.
    static constexpr std::chrono::milliseconds kRefusalWindow{200};
    void setRefusalWindow(std::chrono::milliseconds window) { refusalWindow_ = window; }

    const LineSettings& lineSettings() const { return settings_; }
    // Decoded bytes held for the listener at most; beyond it the socket stops being read, so
    // a flooding server is slowed by TCP instead of filling memory.
    static constexpr std::size_t kPendingLimit = 64 * 1024;
    // Data held while the line settings are being confirmed, when the socket cannot be left
    // unread: a second of a fast line's backlog is far below it; more is a server gone wrong.
    static constexpr std::size_t kNegotiationLimit = 4 * 1024 * 1024;

private:
    using Busy = OperationSpans::Busy;
    enum class Phase { Closed, Connecting, Negotiating, Open };

    QString device() const;
    // A failed selection or setting: the description names the device, as the message box shows
    // it alone.
    PortError failure(const std::string& why) const;
    // A failed send or a lost connection: the controller names the device when it tells it.
    static PortError problem(const std::string& why);
    void onConnected();
    std::string connectFailure() const;
    PortResult detectCutLine();
    // Writes every byte, or says it could not.
    bool writeAll(std::string_view bytes);
    // Why the server closed the connection, with ser2net's refusal of a second client when it
    // said so before closing.
    std::string closedByServer();
    // The server refused the open under way because of our own connection just closed: the
    // same open connects again shortly.
    void connectAgain();
    void acknowledgeAtOnce();
    void requestSettings();
    void checkNegotiation();
    void checkConfirmation();
    void onConnectTimeout();
    void onConfirmTimeout();
    // The open under way has its outcome; the listener hears of it from the event loop.
    void settleOpen(PortResult failure);
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
    Phase phase_ = Phase::Closed;
    PortUrl url_;                 // of the open under way or done
    QTimer connectTimer_;         // the connection's limit, name lookup included
    Rfc2217Settings rfc2217_;     // the line settings' requests and their confirmation
    bool outcomeQueued_ = false;  // the open under way has settled; the listener is yet to hear
    std::uint64_t attempt_ = 0;   // counts opens begun and cancelled; stale outcomes are dropped
    OperationSpans spans_;
    bool commQueued_ = false;
    bool writeFailed_ = false;          // a write of the current output() fell short
    std::string pending_;               // decoded data bytes not yet taken by input()
    bool negotiationOverflow_ = false;  // more than kNegotiationLimit came before the answers
    std::uint64_t openCount_ = 0;
    // Connections made: the refusal window of an earlier one settles nothing.
    std::uint64_t connections_ = 0;
    std::chrono::milliseconds refusalWindow_ = kRefusalWindow;
    Ser2netQuirks ser2net_;
    bool reconnectQueued_ = false;  // the open under way connects again shortly
};

}  // namespace panel
