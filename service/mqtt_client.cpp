#include "service/mqtt_client.h"

#include <mosquitto.h>

#include <QFile>
#include <QLoggingCategory>
#include <cstring>
#include <mutex>

namespace panel {
namespace {

Q_LOGGING_CATEGORY(lcMqtt, "panel.service.mqtt", QtWarningMsg)

QString errorText(int rc) {
    if (rc == MOSQ_ERR_ERRNO) return QString::fromLocal8Bit(strerror(errno));
    return QString::fromUtf8(mosquitto_strerror(rc));
}

}  // namespace

MqttClient::MqttClient(MqttClientSettings settings, QObject* parent)
    : QObject(parent), settings_(std::move(settings)) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { mosquitto_lib_init(); });
    // A clean session: the broker keeps no subscription, and so no command, while we are away.
    mosq_ = mosquitto_new(settings_.clientId.toUtf8().constData(), true, this);
    if (!mosq_) return;
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(mosq_, &MqttClient::onConnect);
    mosquitto_message_callback_set(mosq_, &MqttClient::onMessage);
    if (!settings_.user.isEmpty())
        mosquitto_username_pw_set(
            mosq_, settings_.user.toUtf8().constData(),
            settings_.password.isEmpty() ? nullptr : settings_.password.toUtf8().constData());
    if (!settings_.caFile.isEmpty())
        if (int rc = mosquitto_tls_set(mosq_, QFile::encodeName(settings_.caFile).constData(),
                                       nullptr, nullptr, nullptr, nullptr);
            rc != MOSQ_ERR_SUCCESS)
            qCWarning(lcMqtt) << "TLS not set up:" << errorText(rc);
    if (!settings_.willTopic.isEmpty())
        mosquitto_will_set(mosq_, settings_.willTopic.constData(),
                           static_cast<int>(settings_.willPayload.size()),
                           settings_.willPayload.constData(), 1, true);
    housekeeping_.setInterval(std::chrono::seconds(1));
    housekeeping_.callOnTimeout(this, &MqttClient::tick);
    retry_.setSingleShot(true);
    retry_.callOnTimeout(this, &MqttClient::lookUp);
}

MqttClient::~MqttClient() {
    if (lookup_ >= 0) QHostInfo::abortHostLookup(lookup_);
    unwatchSocket();
    if (mosq_) mosquitto_destroy(mosq_);
}

void MqttClient::start() {
    if (!mosq_) {
        qCWarning(lcMqtt) << "no MQTT client could be made";
        return;
    }
    if (state_ == State::Idle) lookUp();
}

void MqttClient::stop(const QByteArray& lastWordsTopic, const QByteArray& lastWords) {
    if (state_ == State::Connected && !lastWordsTopic.isEmpty()) {
        publish(lastWordsTopic, lastWords, true);
        mosquitto_disconnect(mosq_);
        // What the socket takes now goes out; a broker too slow to take it sees the will instead.
        mosquitto_loop_write(mosq_, 1);
    }
    state_ = State::Stopped;
    retry_.stop();
    housekeeping_.stop();
    unwatchSocket();
    if (lookup_ >= 0) QHostInfo::abortHostLookup(lookup_);
    lookup_ = -1;
}

void MqttClient::lookUp() {
    if (state_ == State::Stopped) return;
    state_ = State::Resolving;
    // TLS checks the certificate against the name libmosquitto was given, so it gets the name
    // (and looks it up itself); without TLS it gets an address found here, off the loop.
    if (!settings_.caFile.isEmpty()) return connectTo(settings_.host.toUtf8());
    lookup_ = QHostInfo::lookupHost(settings_.host, this, &MqttClient::resolved);
}

void MqttClient::resolved(const QHostInfo& info) {
    lookup_ = -1;
    if (state_ != State::Resolving) return;
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty())
        return lost(QStringLiteral("cannot find %1: %2").arg(settings_.host, info.errorString()));
    connectTo(info.addresses().front().toString().toUtf8());
}

void MqttClient::connectTo(const QByteArray& target) {
    state_ = State::Connecting;
    connectStarted_ = std::chrono::steady_clock::now();
    qCDebug(lcMqtt) << "connecting to" << target << settings_.port;
    const int rc = mosquitto_connect_async(mosq_, target.constData(), settings_.port,
                                           static_cast<int>(kKeepAlive.count()));
    if (rc != MOSQ_ERR_SUCCESS) return lost(errorText(rc));
    watchSocket();
    housekeeping_.start();
    pump();
}

void MqttClient::watchSocket() {
    unwatchSocket();
    const int fd = mosquitto_socket(mosq_);
    if (fd < 0) return;
    reader_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(reader_.get(), &QSocketNotifier::activated, this, &MqttClient::readable);
    writer_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    writer_->setEnabled(false);
    connect(writer_.get(), &QSocketNotifier::activated, this, &MqttClient::writable);
}

void MqttClient::unwatchSocket() {
    reader_.reset();
    writer_.reset();
}

void MqttClient::readable() {
    const int rc = mosquitto_loop_read(mosq_, 1);
    if (rc != MOSQ_ERR_SUCCESS) return lost(errorText(rc));
    pump();
}

void MqttClient::writable() {
    const int rc = mosquitto_loop_write(mosq_, 1);
    if (rc != MOSQ_ERR_SUCCESS) return lost(errorText(rc));
    pump();
}

void MqttClient::tick() {
    if (state_ == State::Connecting &&
        std::chrono::steady_clock::now() - connectStarted_ > kConnectPatience)
        return lost(QStringLiteral("no answer to the connection within %1 s")
                        .arg(kConnectPatience.count()));
    const int rc = mosquitto_loop_misc(mosq_);
    if (rc != MOSQ_ERR_SUCCESS || mosquitto_socket(mosq_) < 0)
        return lost(QStringLiteral("keep-alive: %1").arg(errorText(rc)));
    pump();
}

// After every call into libmosquitto: the socket may have changed, or have bytes waiting to go.
void MqttClient::pump() {
    if (state_ != State::Connecting && state_ != State::Connected) return;
    if (mosquitto_socket(mosq_) < 0) return lost(QStringLiteral("the connection closed"));
    if (writer_) writer_->setEnabled(mosquitto_want_write(mosq_));
}

void MqttClient::lost(const QString& reason) {
    if (state_ == State::Stopped || state_ == State::Waiting) return;
    const bool was = state_ == State::Connected;
    // The socket is left to libmosquitto, which closes it before the next try: a goodbye written
    // to a broken connection here could only fail.
    unwatchSocket();
    housekeeping_.stop();
    state_ = State::Waiting;
    qCInfo(lcMqtt) << "broker" << settings_.host << "lost or not reached:" << reason << "; again in"
                   << backoff_.count() << "s";
    retry_.start(backoff_);
    backoff_ = std::min(backoff_ * 2, kLongestRetry);
    if (was) emit connectionLost(reason);
}

void MqttClient::onConnect(mosquitto*, void* self, int rc) {
    auto* client = static_cast<MqttClient*>(self);
    if (rc != 0) {
        // Refused (a wrong password, an unknown client): told once a try, in the log category.
        // libmosquitto's read then fails, and the loss is handled there.
        qCWarning(lcMqtt) << "the broker refused the connection:" << mosquitto_connack_string(rc);
        return;
    }
    client->state_ = State::Connected;
    client->backoff_ = kFirstRetry;
    qCInfo(lcMqtt) << "connected to" << client->settings_.host;
    emit client->connected();
}

void MqttClient::onMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto* client = static_cast<MqttClient*>(self);
    emit client->message(
        QByteArray(message->topic),
        QByteArray(static_cast<const char*>(message->payload), message->payloadlen),
        message->retain);
}

bool MqttClient::publish(const QByteArray& topic, const QByteArray& payload, bool retain) {
    if (state_ != State::Connected) return false;
    const int rc =
        mosquitto_publish(mosq_, nullptr, topic.constData(), static_cast<int>(payload.size()),
                          payload.constData(), 1, retain);
    if (rc != MOSQ_ERR_SUCCESS) {
        qCWarning(lcMqtt) << "not published on" << topic << ":" << errorText(rc);
        return false;
    }
    if (writer_) writer_->setEnabled(mosquitto_want_write(mosq_));
    return true;
}

bool MqttClient::subscribe(const QByteArray& pattern) {
    if (state_ != State::Connected) return false;
    // QoS 0: a command is for now or never.
    const int rc = mosquitto_subscribe(mosq_, nullptr, pattern.constData(), 0);
    if (writer_) writer_->setEnabled(mosquitto_want_write(mosq_));
    return rc == MOSQ_ERR_SUCCESS;
}

}  // namespace panel
