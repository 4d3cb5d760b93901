#include "serial/network_port.h"

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

#include <QMetaObject>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include "serial/log_categories.h"
#include "serial/port_checks.h"
#include "serial/telnet/com_port_client.h"

namespace panel {

namespace {

// How long a connection may take, the name lookup included. Whole seconds, because the
// operator's message names it in seconds.
constexpr std::chrono::seconds kConnectTimeout{3};
// QTcpSocket buffers without limit by default; bounded, TCP slows the server down instead.
constexpr qint64 kSocketBuffer = 64 * 1024;

// Names under .invalid never resolve (RFC 6761): answer at once, without asking any resolver.
bool isReservedInvalid(const QString& host) {
    const QString name = host.toLower();
    return name == QLatin1String("invalid") || name.endsWith(QLatin1String(".invalid"));
}

std::string unknownHost(const QString& host) {
    return "the host " + host.toStdString() + " is unknown";
}

const char* nextName(Rfc2217Settings::Next next) {
    switch (next) {
        case Rfc2217Settings::Next::Confirmed:
            return "confirmed";
        case Rfc2217Settings::Next::Refused:
            return "refused";
        case Rfc2217Settings::Next::Resend:
            return "answered; newer settings follow";
        default:
            return "waiting";
    }
}

}  // namespace

NetworkPort::NetworkPort(PortDevices devices, QObject* parent)
    : QObject(parent), devices_(std::move(devices)), rfc2217_([this] { onConfirmTimeout(); }) {
    socket_.setReadBufferSize(kSocketBuffer);
    connect(&socket_, &QTcpSocket::connected, this, &NetworkPort::onConnected);
    connect(&socket_, &QTcpSocket::readyRead, this, &NetworkPort::onReadyRead);
    connect(&socket_, &QTcpSocket::disconnected, this, &NetworkPort::onLost);
    connect(&socket_, &QTcpSocket::errorOccurred, this, &NetworkPort::onLost);
    connectTimer_.setSingleShot(true);
    connectTimer_.setTimerType(Qt::PreciseTimer);  // a coarse one may fire 5% early
    connectTimer_.setInterval(kConnectTimeout);
    connect(&connectTimer_, &QTimer::timeout, this, &NetworkPort::onConnectTimeout);
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
    if (PortResult refused = CheckCommPort(port, phase_ != Phase::Closed)) return refused;
    commPort_ = port;
    return std::nullopt;
}

PortResult NetworkPort::setSettings(std::string_view settings) {
    LineSettings parsed = settings_;
    if (auto error = parseLineSettings(settings, parsed)) return error;
    settings_ = parsed;
    // Closed or connecting: sent once the connection stands. Otherwise the server's answer comes
    // later; a line it does not confirm is lost.
    if (!telnet_ || (phase_ != Phase::Negotiating && phase_ != Phase::Open)) return std::nullopt;
    // One request at a time: the server's answers do not say which request they answer.
    if (phase_ == Phase::Negotiating || rfc2217_.confirming()) {
        rfc2217_.choseMeanwhile();
        return std::nullopt;
    }
    Busy busy(spans_);
    rfc2217_.setConfirming(phase_ == Phase::Open);
    requestSettings();
    if (phase_ == Phase::Open && socket_.state() != QAbstractSocket::ConnectedState)
        lose(closedByServer());
    return std::nullopt;
}

PortResult NetworkPort::setOpen(bool open) {
    if (!open) {
        // A loss already told stays told: only an open, or an open under way, is undone.
        if (phase_ == Phase::Closed) return std::nullopt;
        ++attempt_;  // an outcome still on its way is dropped
        reconnectQueued_ = false;
        if (phase_ == Phase::Open) ser2net_.closedOwnConnection();
        qCDebug(lcNetwork) << "closing" << device() << "on the panel's request";
        phase_ = Phase::Closed;
        closeSocket();
        return std::nullopt;
    }
    if (phase_ != Phase::Closed) return std::nullopt;
    const ParsedPortUrl parsed = parsePortUrl(device());
    if (!parsed.url) return failure(parsed.error.toStdString());
    if (isReservedInvalid(parsed.url->host)) return failure(unknownHost(parsed.url->host));
    Busy busy(spans_);
    closeSocket();
    ++attempt_;
    reconnectQueued_ = false;
    url_ = *parsed.url;
    phase_ = Phase::Connecting;
    outcomeQueued_ = false;
    connectTimer_.start();
    // Qt looks the name up on a thread of its own and connects without blocking.
    qCDebug(lcNetwork) << "connecting to" << url_.host << url_.port << "for" << device();
    socket_.connectToHost(url_.host, url_.port);
    return std::nullopt;
}

void NetworkPort::onConnected() {
    if (phase_ != Phase::Connecting || outcomeQueued_) return;
    connectTimer_.stop();
    // A 5 ms repeat must leave as 5 ms frames, not gathered into one segment.
    socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (PortResult error = detectCutLine()) {
        settleOpen(error);
        return;
    }
    if (url_.scheme == PortUrl::Scheme::Socket) {
        // The device server owns the line settings.
        phase_ = Phase::Negotiating;
        QTimer::singleShot(refusalWindow_, this, [this, connection = ++connections_] {
            if (connection == connections_ && phase_ == Phase::Negotiating && !outcomeQueued_)
                settleOpen(std::nullopt);
        });
        return;
    }
    telnet_ = std::make_unique<ComPortClient>(
        [this](std::string_view bytes) { writeFailed_ = !writeAll(bytes) || writeFailed_; });
    telnet_->start();
    phase_ = Phase::Negotiating;
    acknowledgeAtOnce();
    requestSettings();
}

std::string NetworkPort::connectFailure() const {
    switch (socket_.error()) {
        case QAbstractSocket::HostNotFoundError:
            return unknownHost(url_.host);
        case QAbstractSocket::ConnectionRefusedError:
            return "the connection was refused";
        default:
            return socket_.errorString().toStdString();
    }
}

void NetworkPort::onConnectTimeout() {
    if (phase_ != Phase::Connecting || outcomeQueued_) return;
    const std::string within = " within " + std::to_string(kConnectTimeout.count()) + " s";
    if (socket_.state() == QAbstractSocket::HostLookupState)
        settleOpen(failure("the host " + url_.host.toStdString() + " was not found" + within));
    else
        settleOpen(failure("no answer from the device server" + within));
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

void NetworkPort::acknowledgeAtOnce() {
#ifdef Q_OS_LINUX
    // ser2net answers the settings in several small writes, each after our acknowledgement of the
    // one before (Nagle's rule); a delayed acknowledgement kept every open 40 ms longer. The
    // kernel falls back to delaying them by itself, so this is asked again after each read.
    const int fd = static_cast<int>(socket_.socketDescriptor());
    const int on = 1;
    if (fd >= 0) (void)setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
#endif
}

void NetworkPort::requestSettings() {
    qCDebug(lcRfc2217) << "asking for" << settings_.baudRate << settings_.dataBits
                       << settings_.parity << settings_.stopBits;
    rfc2217_.request(*telnet_, settings_);
    socket_.flush();
}

void NetworkPort::checkNegotiation() {
    if (phase_ != Phase::Negotiating || outcomeQueued_) return;
    std::string why;
    if (!telnet_->protocolError().empty()) return settleOpen(failure(telnet_->protocolError()));
    const Rfc2217Settings::Next next = rfc2217_.take(*telnet_, why);
    qCDebug(lcRfc2217) << "negotiating:" << nextName(next) << why.c_str();
    switch (next) {
        case Rfc2217Settings::Next::Wait:
            return;
        case Rfc2217Settings::Next::Resend:
            return requestSettings();
        case Rfc2217Settings::Next::Confirmed:
            return settleOpen(std::nullopt);
        case Rfc2217Settings::Next::Refused:
            return settleOpen(failure(why));
    }
}

void NetworkPort::checkConfirmation() {
    if (!rfc2217_.confirming() || !telnet_) return;
    std::string why;
    const Rfc2217Settings::Next next = rfc2217_.take(*telnet_, why);
    if (next == Rfc2217Settings::Next::Wait) return;
    qCDebug(lcRfc2217) << "settings on the open line:" << nextName(next) << why.c_str();
    if (next == Rfc2217Settings::Next::Resend) return requestSettings();
    if (next == Rfc2217Settings::Next::Refused) lose(why);
}

void NetworkPort::onConfirmTimeout() {
    if (!telnet_) return;
    std::string why;
    (void)telnet_->answer(why);
    qCInfo(lcRfc2217) << "no confirmation of the line settings within 1 s:" << why.c_str();
    if (phase_ == Phase::Negotiating && !outcomeQueued_) settleOpen(failure(why));
    if (phase_ == Phase::Open && rfc2217_.confirming()) lose(why);
}

void NetworkPort::settleOpen(PortResult failure) {
    connectTimer_.stop();
    rfc2217_.stopTimer();
    outcomeQueued_ = true;
    // Never from inside a call of ours, and never inside the socket's own signal.
    QMetaObject::invokeMethod(
        this,
        [this, failure = std::move(failure), attempt = attempt_]() mutable {
            if (attempt != attempt_ || !isOpening()) return;  // cancelled meanwhile
            if (!failure && socket_.state() != QAbstractSocket::ConnectedState)
                failure = this->failure(closedByServer());
            if (failure) {
                qCInfo(lcNetwork) << "open refused:" << failure->description.c_str();
                phase_ = Phase::Closed;
                closeSocket();
                if (listener_) listener_->onOpenFailed(*failure);
                return;
            }
            phase_ = Phase::Open;
            ++openCount_;
            qCInfo(lcNetwork) << "open:" << device() << "connection" << openCount_;
            if (listener_) listener_->onPortOpened();
            onReadyRead();  // anything the server sent with its answers, or before we listened
        },
        Qt::QueuedConnection);
}

bool NetworkPort::writeAll(std::string_view bytes) {
    return socket_.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
           static_cast<qint64>(bytes.size());
}

void NetworkPort::closeSocket() {
    connectTimer_.stop();
    rfc2217_.reset();
    if (socket_.state() != QAbstractSocket::UnconnectedState) {
        socket_.flush();
        socket_.disconnectFromHost();
        if (socket_.state() != QAbstractSocket::UnconnectedState) socket_.abort();
    }
    telnet_.reset();
    pending_.clear();
    negotiationOverflow_ = false;
}

PortResult NetworkPort::output(std::string_view bytes) {
    // Still connecting is still closed: nothing is held back for later.
    if (phase_ != Phase::Open) return PortNotOpen();
    if (bytes.empty()) return std::nullopt;
    Busy busy(spans_);
    writeFailed_ = false;
    if (telnet_)
        telnet_->send(bytes);  // escaped, then written through writeAll
    else
        writeFailed_ = !writeAll(bytes);
    if (writeFailed_) return problem(socket_.errorString().toStdString());
    // Hands the frame to the system now instead of on the next event-loop pass.
    socket_.flush();
    if (socket_.state() != QAbstractSocket::ConnectedState) {
        phase_ = Phase::Closed;
        const std::string why = closedByServer();
        closeSocket();
        return problem(why);
    }
    return std::nullopt;
}

PortResult NetworkPort::input(std::string& bytes) {
    bytes.clear();
    if (phase_ != Phase::Open) return PortNotOpen();
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
        // While the server's answers are awaited the socket must be read to the end, so the data
        // before them is held beyond the usual limit; past a bound of its own the open fails.
        if (negotiating && pending_.size() + decoded.size() > kNegotiationLimit) {
            negotiationOverflow_ = true;
            return;
        }
        pending_.append(decoded, 0, negotiating ? decoded.size() : std::min(room, decoded.size()));
    }
}

void NetworkPort::onReadyRead() {
    if (spans_.busy()) return;  // an operation reads its own answers
    if (phase_ == Phase::Negotiating) {
        if (!telnet_) return;  // raw bytes wait in the socket until the open is told
        takeArrivals(true);
        acknowledgeAtOnce();
        if (negotiationOverflow_ && !outcomeQueued_)
            return settleOpen(failure("the device server sent more than " +
                                      std::to_string(kNegotiationLimit / 1024) +
                                      " KiB before confirming the line settings"));
        checkNegotiation();
        return;
    }
    if (phase_ != Phase::Open) return;  // read once the open is told
    takeArrivals(false);
    raiseComm();
    if (telnet_ && !telnet_->protocolError().empty()) return lose(telnet_->protocolError());
    checkConfirmation();
}

void NetworkPort::onLost() {
    if (isOpening() && !outcomeQueued_) {
        if (reconnectQueued_) return;  // the refused connection's own signals, one per way
        const std::string why = phase_ == Phase::Negotiating ? closedByServer() : connectFailure();
        if (ser2net_.refusedForOwnClose(why)) return connectAgain();
        settleOpen(failure(why));
        return;
    }
    if (spans_.busy() || phase_ != Phase::Open) return;  // an operation returns its own errors
    if (socket_.state() == QAbstractSocket::ConnectedState &&
        socket_.error() != QAbstractSocket::RemoteHostClosedError)
        return;  // a passing error on a live connection
    lose(socket_.error() == QAbstractSocket::RemoteHostClosedError ||
                 socket_.error() == QAbstractSocket::UnknownSocketError
             ? closedByServer()
             : socket_.errorString().toStdString());
}

std::string NetworkPort::closedByServer() {
    // What it wrote last is still in the socket's buffer, or already taken into pending_.
    return Ser2netQuirks::closedByServer(socket_.peek(socket_.bytesAvailable()), pending_);
}

void NetworkPort::connectAgain() {
    // The same open goes on, within its own connection limit, which is left running.
    qCInfo(lcNetwork) << "in use within a second of our own close: connecting again";
    reconnectQueued_ = true;
    QTimer::singleShot(Ser2netQuirks::kInUseRetryDelay, this, [this, attempt = attempt_] {
        if (attempt != attempt_ || !isOpening() || outcomeQueued_) return;
        if (socket_.state() != QAbstractSocket::UnconnectedState) socket_.abort();
        reconnectQueued_ = false;
        telnet_.reset();
        pending_.clear();
        phase_ = Phase::Connecting;
        socket_.connectToHost(url_.host, url_.port);
    });
}

void NetworkPort::lose(const std::string& why) {
    if (phase_ != Phase::Open) return;
    phase_ = Phase::Closed;
    qCInfo(lcNetwork) << "line lost:" << why.c_str();
    PortError lost = problem(why);
    // Delivered from the event loop, so the listener never runs inside the socket's own signal.
    QMetaObject::invokeMethod(
        this,
        [this, lost = std::move(lost), attempt = attempt_] {
            if (attempt != attempt_ || phase_ != Phase::Closed) return;  // opened again since
            closeSocket();
            if (listener_) listener_->onPortFailure(lost);
        },
        Qt::QueuedConnection);
}

void NetworkPort::raiseComm() {
    const auto deliver = [this] {
        if (listener_ && phase_ == Phase::Open && !pending_.empty())
            listener_->onComm(kCommEventReceived);
    };
    spans_.tell(this, deliver);
}

}  // namespace panel
