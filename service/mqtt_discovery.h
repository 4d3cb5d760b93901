// Home Assistant's device-based MQTT discovery for one projector: its device, the service as
// origin, a switch for power, a select for the input, sensors for the state and the lamp hours,
// and availability from both the service and the projector. Also the window's five inputs by the
// names its buttons carry, which the select offers and the input command takes.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <string>
#include <vector>

#include "service/mqtt_topics.h"

namespace panel {

struct InputOption {
    QString name;      // as the window's INPUT MODE SET buttons say it
    std::string code;  // what the button sends
};

// In the window's order.
const std::vector<InputOption>& inputOptions();
// The option the input decoder's words name, or empty when they name none or more than one.
QString inputOptionOf(const QString& decodedWords);

struct DiscoverySite {
    QString site;
    QString discoveryPrefix;  // "homeassistant"
    const MqttTopics* topics;
};

// [a-zA-Z0-9_-] only, as Home Assistant asks of an id; stable for one site and name, and
// different for different names however alike.
QString deviceId(const QString& site, const QString& name);
QByteArray discoveryTopic(const DiscoverySite& where, const QString& name);
QJsonObject discoveryPayload(const DiscoverySite& where, const QString& name);

}  // namespace panel
