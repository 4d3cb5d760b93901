// Between the fleet and the broker: each projector's state, input, lamp hours and last answer
// published retained at the poll that sees a change (and all again after a connection), its
// Home Assistant discovery, and the power, input and codes commands taken under the API's rules
// with the result on a result topic and in the session log.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "fleet/fleet.h"
#include "service/action_log.h"
#include "service/mqtt_client.h"
#include "service/mqtt_config.h"
#include "service/mqtt_discovery.h"
#include "service/mqtt_topics.h"

namespace panel {

class MqttBridge final : public QObject {
    Q_OBJECT

public:
    // Who the session log names for a command that came over MQTT: the broker's access lists,
    // not the service, say which client may command.
    static constexpr const char* kActor = "mqtt";
    // A command's payload is a word or a short list; anything bigger is no command of ours.
    static constexpr qsizetype kLongestPayload = 4096;
    // Commands for one projector that may wait for its line at once: a burst from a client that
    // may command is refused, not queued for minutes of switching.
    static constexpr int kMostWaiting = 4;

    MqttBridge(Fleet& fleet, ActionLog& log, const MqttConfig& config, MqttClient& client,
               QObject* parent = nullptr);
    ~MqttBridge() override;

    // The service goes: "offline" retained, then a clean goodbye.
    void stop();

private:
    void connected();
    void message(const QByteArray& topic, const QByteArray& payload, bool retained);
    void rowChanged(int row);
    void listChanged();

    void publishRow(const ProjectorRow& row);
    void publishDiscovery(const QString& name);
    void forget(const QString& name);
    // Publishes retained when the payload differs from what the broker was last given.
    void put(const QByteArray& topic, const QByteArray& payload);

    void command(const MqttCommandTopic& what, const QByteArray& payload);
    void power(int row, const QString& name, const QByteArray& payload);
    void input(int row, const QString& name, const QByteArray& payload);
    void codes(int row, const QString& name, const QByteArray& payload);
    void sendCodes(int row, const QString& name, const char* what, std::vector<std::string> codes);
    void result(const QString& name, const char* what, int status, const QString& error,
                QJsonObject extra = {});
    // The session log's observer, and `done` called unless the bridge has gone by then.
    CommandHooks hooksFor(int row, std::function<void(const ExchangeResult*)> done);
    // Whether too many commands wait for the projector's line; if so, the refusal is told.
    bool crowded(const QString& name, const char* what);

    Fleet& fleet_;
    ActionLog& log_;
    MqttConfig config_;
    MqttClient& client_;
    MqttTopics topics_;
    DiscoverySite site_;
    std::map<QByteArray, QByteArray> published_;  // since this connection, topic to payload
    std::set<QString> announced_;                 // names whose discovery is out
    std::map<QString, int> waiting_;              // commands given to the fleet and not yet ended
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::function<void(int)> previousRowChanged_;
    std::function<void()> previousListChanged_;
};

}  // namespace panel
