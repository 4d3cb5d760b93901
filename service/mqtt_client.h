// libmosquitto driven from the service's event loop, no thread of its own: its socket watched by
// notifiers, its keep-alive on a timer, the broker's name looked up without blocking, and a lost
// broker tried again with back-off. Nothing is kept for later while it is away.
#pragma once

#include <QByteArray>
#include <QHostInfo>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <chrono>
#include <memory>

struct mosquitto;
struct mosquitto_message;

namespace panel {

struct MqttClientSettings {
    QString host;
    quint16 port = 1883;
    QString clientId;
    QString user;
    QString password;
    QString caFile;  // TLS when set
    QByteArray willTopic;
    QByteArray willPayload;  // retained, sent by the broker when the connection is lost
};

class MqttClient final : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::seconds kFirstRetry{1};
    // Long enough not to hammer a broker that is down for maintenance, short enough that the
    // campus sees the building again within a minute of its return.
    static constexpr std::chrono::seconds kLongestRetry{30};
    static constexpr std::chrono::seconds kKeepAlive{30};
    // A broker that takes the connection but never acknowledges it is given up on.
    static constexpr std::chrono::seconds kConnectPatience{10};

    explicit MqttClient(MqttClientSettings settings, QObject* parent = nullptr);
    ~MqttClient() override;

    // Connects, and keeps trying until stop().
    void start();
    // Publishes `lastWords` (retained) when connected, then says goodbye: the last will is not
    // sent for a service that ends on purpose.
    void stop(const QByteArray& lastWordsTopic = {}, const QByteArray& lastWords = {});
    bool isConnected() const { return state_ == State::Connected; }

    // Handed to libmosquitto and written as the socket takes it; false, and nothing kept, while
    // not connected.
    bool publish(const QByteArray& topic, const QByteArray& payload, bool retain);
    bool subscribe(const QByteArray& pattern);

signals:
    void connected();
    void connectionLost(const QString& reason);
    // `retained` when the broker kept it from before this connection.
    void message(const QByteArray& topic, const QByteArray& payload, bool retained);

private:
    enum class State { Idle, Resolving, Connecting, Connected, Waiting, Stopped };

    void lookUp();
    void resolved(const QHostInfo& info);
    void connectTo(const QByteArray& target);
    void watchSocket();
    void unwatchSocket();
    void readable();
    void writable();
    void tick();
    void pump();
    void lost(const QString& reason);

    static void onConnect(mosquitto*, void* self, int rc);
    static void onMessage(mosquitto*, void* self, const mosquitto_message* message);

    MqttClientSettings settings_;
    mosquitto* mosq_ = nullptr;
    State state_ = State::Idle;
    int lookup_ = -1;
    std::unique_ptr<QSocketNotifier> reader_;
    std::unique_ptr<QSocketNotifier> writer_;
    QTimer housekeeping_;
    QTimer retry_;
    std::chrono::seconds backoff_ = kFirstRetry;
    std::chrono::steady_clock::time_point connectStarted_;
};

}  // namespace panel
