// The [mqtt] section of the service's configuration: which broker, how to log in to it, and
// where under it this site's topics go. MQTT is off while no host is named.
#pragma once

#include <QString>
#include <optional>

namespace panel {

inline constexpr quint16 kMqttPort = 1883;
inline constexpr quint16 kMqttTlsPort = 8883;

struct MqttConfig {
    QString host;      // off when empty
    quint16 port = 0;  // 0: 1883, or 8883 with TLS
    QString caFile;    // TLS, with the broker's certificate checked against these authorities
    QString user;
    QString password;  // never logged; better in password_file than in the main file
    QString passwordFile;
    QString clientId;  // empty: projector-paneld-SITE
    QString site;      // a topic segment of letters, digits, '-', '_' and '.'
    QString prefix;    // empty: projector-panel/SITE/
    QString discoveryPrefix = QStringLiteral("homeassistant");
    bool discovery = true;

    bool enabled() const { return !host.isEmpty(); }
    quint16 brokerPort() const;
    QString topicPrefix() const;  // always ends in '/'
    QString effectiveClientId() const;
};

// The reason when `site` is no safe topic segment and id piece.
std::optional<QString> siteProblem(const QString& site);
// The reason when `prefix` holds a wildcard, a NUL or starts with '$' (the broker's own topics).
std::optional<QString> prefixProblem(const QString& prefix);
// What the whole section lacks once read (a site when a host is named, one password only).
std::optional<QString> mqttSectionProblem(const MqttConfig& config);

// Reads the password file into `password`: the reason when it cannot be read, or when others
// may read it, as the token file.
std::optional<QString> loadMqttPassword(MqttConfig& config);

}  // namespace panel
