#include "serial/network_port.h"

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

#include <QDeadlineTimer>
#include <QMetaObject>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include "serial/telnet/com_port_client.h"

namespace panel {

namespace {

using namespace std::chrono_literals;

constexpr std::string_view kNotOpen = "The port is not open";
// The longest the window waits for a host that does not answer (applying the line settings
// waits too, up to kConfirmTimeout for each change).
constexpr auto kConnectTimeout = 3s;
// How long the device server has to confirm each change of the line settings.
constexpr auto kConfirmTimeout = 1s;
// QTcpSocket buffers without limit by default; bounded, TCP slows the server down instead.
constexpr qint64 kSocketBuffer = 64 * 1024;

ComPortSettings comPortSettings(const LineSettings& line) {
    ComPortSettings s;
    s.baud = static_cast<std::uint32_t>(line.baudRate);
    s.dataSize = static_cast<std::uint8_t>(line.dataBits);
    switch (line.parity) {
        case QSerialPort::OddParity:
            s.parity = 2;
            break;
        case QSerialPort::EvenParity:
            s.parity = 3;
            break;
        case QSerialPort::MarkParity:
            s.parity = 4;
            break;
        case QSerialPort::SpaceParity:
            s.parity = 5;
            break;
        default:
            s.parity = 1;
            break;
    }
    switch (line.stopBits) {
        case QSerialPort::TwoStop:
            s.stopSize = 2;
            break;
        case QSerialPort::OneAndHalfStop:
            s.stopSize = 3;
            break;
        default:
            s.stopSize = 1;
            break;
    }
    s.control = 1;
    return s;
}

// Names under .invalid never resolve (RFC 6761): answer at once, without asking any resolver.
bool isReservedInvalid(const QString& host) {
    const QString name = host.toLower();
    return name == QLatin1String("invalid") || name.endsWith(QLatin1String(".invalid"));
}

std::string unknownHost(const QString& host) {
    return "the host " + host.toStdString() + " is unknown";
}

}  // namespace

class NetworkPort::Busy {
public:
    explicit Busy(NetworkPort& port) : port_(port) { ++port_.busy_; }
    ~Busy() { --port_.busy_; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    NetworkPort& port_;
};

NetworkPort::NetworkPort(PortDevices devices, QObject* parent)
    : QObject(parent), devices_(std::move(devices)) {
    socket_.setReadBufferSize(kSocketBuffer);
    connect(&socket_, &QTcpSocket::readyRead, this, &NetworkPort::onReadyRead);
    connect(&socket_, &QTcpSocket::disconnected, this, &NetworkPort::onLost);
    connect(&socket_, &QTcpSocket::errorOccurred, this, &NetworkPort::onLost);
}

NetworkPort::~NetworkPort() {
    socket_.disconnect(this);
    socket_.abort();
}

QString NetworkPort::device() const {
    return commPort_ == 2 ? devices_.com2 : devices_.com1;
}

std::string NetworkPort::deviceName() const {
    return device().toStdString();
}

PortError NetworkPort::failure(const std::string& why) const {
    return {deviceName() + ": " + why};
}

PortError NetworkPort::problem(const std::string& why) {
    // Sends and a lost connection are told by the controller, which puts the device in front.
    return {why};
}

PortResult NetworkPort::setCommPort(int port) {
    if (port != 1 && port != 2)
        return PortError{"There is no port " + std::to_string(port) + " (only 1 and 2)"};
    if (open_) return PortError{"The port number cannot change while it is open"};
    commPort_ = port;
    return std::nullopt;
}

PortResult NetworkPort::setSettings(std::string_view settings) {
    LineSettings parsed = settings_;
    if (auto error = parseLineSettings(settings, parsed)) return error;
    settings_ = parsed;
    if (!open_) return std::nullopt;  // sent when the port opens
    Busy busy(*this);
    PortResult result = applySettings();
    if (socket_.state() != QAbstractSocket::ConnectedState) {
        open_ = false;
        closeSocket();
    }
    raiseComm();
    return result;
}

PortResult NetworkPort::setOpen(bool open) {
    if (open == open_) return std::nullopt;
    Busy busy(*this);
    if (!open) {
        open_ = false;
        closeSocket();
        return std::nullopt;
    }
    const ParsedPortUrl parsed = parsePortUrl(device());
    if (!parsed.url) return failure(parsed.error.toStdString());
    if (auto error = connectTo(*parsed.url)) {
        closeSocket();
        return error;
    }
    ++openCount_;
    open_ = true;
    raiseComm();  // anything the server sent with its answers
    return std::nullopt;
}

PortResult NetworkPort::connectTo(const PortUrl& url) {
    closeSocket();
    if (isReservedInvalid(url.host)) return failure(unknownHost(url.host));
    socket_.connectToHost(url.host, url.port);
    if (!socket_.waitForConnected(static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(kConnectTimeout).count()))) {
        switch (socket_.error()) {
            case QAbstractSocket::HostNotFoundError:
                return failure(unknownHost(url.host));
            case QAbstractSocket::ConnectionRefusedError:
                return failure("the connection was refused");
            case QAbstractSocket::SocketTimeoutError:
                return failure("no answer from the device server within 3 s");
            default:
                return failure(socket_.errorString().toStdString());
        }
    }
    // A 5 ms repeat must leave as 5 ms frames, not gathered into one segment.
    socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (PortResult error = detectCutLine()) return error;
    if (url.scheme == PortUrl::Scheme::Socket) return std::nullopt;
    telnet_ = std::make_unique<ComPortClient>(
        [this](std::string_view bytes) { writeFailed_ = !writeAll(bytes) || writeFailed_; });
    telnet_->start();
    return applySettings();
}

PortResult NetworkPort::detectCutLine() {
    // An idle connection whose cable or network is cut says nothing for hours by default: probe
    // it after 5 s of silence, and give up on it, or on unacknowledged writes, after about 11 s.
    socket_.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
#ifdef Q_OS_LINUX
    const int fd = static_cast<int>(socket_.socketDescriptor());
    // Idle seconds before the first probe, seconds between probes, probes, and ms unacknowledged.
    const std::pair<int, int> options[] = {
        {TCP_KEEPIDLE, 5}, {TCP_KEEPINTVL, 2}, {TCP_KEEPCNT, 3}, {TCP_USER_TIMEOUT, 11000}};
    for (const auto& [option, value] : options)
        if (setsockopt(fd, IPPROTO_TCP, option, &value, sizeof value) != 0)
            return failure(std::string("the connection cannot watch for a cut line: ") +
                           std::strerror(errno));
#endif
    return std::nullopt;
}

PortResult NetworkPort::applySettings() {
    if (!telnet_) return std::nullopt;  // socket://: the device server owns the line settings
    telnet_->requestSettings(comPortSettings(settings_));
    socket_.flush();
    const QDeadlineTimer deadline(kConfirmTimeout);
    std::string why;
    for (;;) {
        takeArrivals(true);
        if (!telnet_->protocolError().empty()) return failure(telnet_->protocolError());
        const ComPortClient::Answer answer = telnet_->answer(why);
        if (answer == ComPortClient::Answer::Confirmed) return std::nullopt;
        if (answer == ComPortClient::Answer::Refused) return failure(why);
        if (socket_.state() != QAbstractSocket::ConnectedState)
            return failure("the device server closed the connection");
        if (deadline.hasExpired()) return failure(why);
        socket_.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    }
}

bool NetworkPort::writeAll(std::string_view bytes) {
    return socket_.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
           static_cast<qint64>(bytes.size());
}

void NetworkPort::closeSocket() {
    if (socket_.state() != QAbstractSocket::UnconnectedState) {
        socket_.flush();
        socket_.disconnectFromHost();
        if (socket_.state() != QAbstractSocket::UnconnectedState) socket_.abort();
    }
    telnet_.reset();
    pending_.clear();
}

PortResult NetworkPort::output(std::string_view bytes) {
    if (!open_) return PortError{std::string(kNotOpen)};
    if (bytes.empty()) return std::nullopt;
    Busy busy(*this);
    writeFailed_ = false;
    if (telnet_)
        telnet_->send(bytes);  // escaped, then written through writeAll
    else
        writeFailed_ = !writeAll(bytes);
    if (writeFailed_) return problem(socket_.errorString().toStdString());
    // Hands the frame to the system now instead of on the next event-loop pass.
    socket_.flush();
    if (socket_.state() != QAbstractSocket::ConnectedState) {
        open_ = false;
        closeSocket();
        return problem("the device server closed the connection");
    }
    return std::nullopt;
}

PortResult NetworkPort::input(std::string& bytes) {
    bytes.clear();
    if (!open_) return PortError{std::string(kNotOpen)};
    bytes.swap(pending_);

    // The socket was left unread while the held bytes were at their limit: go on with it from
    // the event loop, so that the window is served between two blocks of a flood.
    if (socket_.bytesAvailable() > 0 && !commQueued_) {
        commQueued_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                commQueued_ = false;
                onReadyRead();
            },
            Qt::QueuedConnection);
    }
    return std::nullopt;
}

void NetworkPort::takeArrivals(bool negotiating) {
    std::string decoded;
    while (socket_.bytesAvailable() > 0) {
        const std::size_t room = kPendingLimit - std::min(kPendingLimit, pending_.size());
        if (room == 0 && !negotiating) break;
        // Asking for one byte more than Qt holds makes it look at the socket again: with a bounded
        // read buffer Qt stops reading once it is full and starts again only on such a read.
        qint64 wanted = socket_.bytesAvailable() + 1;
        if (!negotiating) wanted = std::min(wanted, static_cast<qint64>(room));
        const QByteArray chunk = socket_.read(wanted);
        if (chunk.isEmpty()) break;
        const std::string_view bytes(chunk.constData(), static_cast<std::size_t>(chunk.size()));
        if (!telnet_) {
            decoded.assign(bytes);
        } else {
            decoded.clear();
            telnet_->receive(bytes, decoded);
        }
        // While an operation waits for the server's answers the socket must be read to the end;
        // data beyond the limit is dropped then, as RecvData drops what exceeds its own.
        pending_.append(decoded, 0, std::min(room, decoded.size()));
    }
}

void NetworkPort::onReadyRead() {
    if (busy_ > 0 || !open_) return;  // an operation reads its own answers
    takeArrivals(false);
    raiseComm();
    if (telnet_ && !telnet_->protocolError().empty()) lose(telnet_->protocolError());
}

void NetworkPort::onLost() {
    if (busy_ > 0 || !open_) return;  // an operation returns its own errors; report once
    if (socket_.state() == QAbstractSocket::ConnectedState &&
        socket_.error() != QAbstractSocket::RemoteHostClosedError)
        return;  // a passing error on a live connection
    lose(socket_.error() == QAbstractSocket::RemoteHostClosedError ||
                 socket_.error() == QAbstractSocket::UnknownSocketError
             ? std::string("the device server closed the connection")
             : socket_.errorString().toStdString());
}

void NetworkPort::lose(const std::string& why) {
    if (!open_) return;
    open_ = false;
    PortError lost = problem(why);
    const std::uint64_t lostOpen = openCount_;
    // Delivered from the event loop, so the listener never runs inside the socket's own signal.
    QMetaObject::invokeMethod(
        this,
        [this, lost = std::move(lost), lostOpen] {
            if (openCount_ != lostOpen || open_) return;
            closeSocket();
            if (listener_) listener_->onPortFailure(lost);
        },
        Qt::QueuedConnection);
}

void NetworkPort::raiseComm() {
    const auto deliver = [this] {
        if (listener_ && open_ && !pending_.empty()) listener_->onComm(kCommEventReceived);
    };
    if (busy_ > 0)
        QMetaObject::invokeMethod(this, deliver, Qt::QueuedConnection);
    else
        deliver();
}

}  // namespace panel
