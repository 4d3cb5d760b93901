// The service's configuration file (INI): where it listens, its token file, its session log, how
// often it polls, its MQTT broker. A fault is "FILE:LINE: reason", and any fault stops the start.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <chrono>
#include <optional>
#include <vector>

#include "fleet/fleet.h"
#include "service/alert_config.h"
#include "service/mqtt_config.h"
#include "service/schedule_config.h"
#include "service/web_config.h"

namespace panel {

inline constexpr quint16 kDefaultServicePort = 8470;

struct ServiceConfig {
    QHostAddress address{QHostAddress::LocalHost};  // only the machine itself, unless told
    quint16 port = kDefaultServicePort;
    QString tokenFile = QStringLiteral("/var/lib/projector-panel/tokens");
    QString logFile;  // no session log when empty
    std::chrono::seconds poll = kDefaultPoll;
    ScheduleConfig schedule;
    AlertConfig alerts;
    WebConfig web;  // [web]
    // HTTPS with these PEM files when both are named; plain HTTP when neither is.
    QString tlsCertificate;
    QString tlsKey;
    MqttConfig mqtt;
};

struct ConfigRead {
    ServiceConfig config;
    std::vector<QString> problems;               // "FILE:LINE: what is wrong", in the file's order
    std::vector<std::pair<QString, int>> lines;  // each key given, and its line

    // "FILE:LINE" of `key`, for a problem found later with what it names (a file it points at).
    QString where(const QString& key) const;
    QString path;
};

inline const QString kDefaultServiceConfig = QStringLiteral("/etc/projector-panel/service.ini");
inline const QString kDefaultServiceProjectors =
    QStringLiteral("/etc/projector-panel/projectors.ini");

// Relative paths in the file are taken from the file's own folder.
ConfigRead parseServiceConfig(const QByteArray& text, const QString& path);
// A missing or unreadable file is a problem too: the service never runs on guesses.
ConfigRead readServiceConfig(const QString& path);

// "ADDRESS:PORT", "[IPV6]:PORT": the reason when it is neither.
std::optional<QString> parseListen(const QString& text, QHostAddress& address, quint16& port);

}  // namespace panel
