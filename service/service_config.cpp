#include "service/service_config.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <functional>

namespace panel {
namespace {

constexpr int kLongestPollSeconds = 24 * 60 * 60;

// A value's reason for refusal, or nothing. The line is there for settings that keep it, so that a
// later check (a rule naming an unknown projector, say) can still point at it.
using Setter = std::function<std::optional<QString>(ServiceConfig&, const QString&, int line)>;

struct Key {
    const char* section;
    const char* name;
    Setter set;
    bool repeats = false;  // a list, one entry a line, rather than one value
};

std::optional<QString> setPoll(ServiceConfig& config, const QString& value, int) {
    bool ok = false;
    const int seconds = value.toInt(&ok);
    if (!ok || seconds < 1 || seconds > kLongestPollSeconds)
        return QStringLiteral("poll_seconds must be a whole number from 1 to %1, not '%2'")
            .arg(kLongestPollSeconds)
            .arg(value);
    config.poll = std::chrono::seconds(seconds);
    return std::nullopt;
}

std::optional<QString> setPath(QString& target, const QString& value, const char* key) {
    if (value.isEmpty()) return QStringLiteral("%1 needs a path").arg(QLatin1String(key));
    target = value;
    return std::nullopt;
}

Key alertKey(const char* name, bool repeats = false) {
    return Key{"alerts", name,
               [name](ServiceConfig& c, const QString& v, int) {
                   return setAlertKey(c.alerts, QLatin1String(name), v);
               },
               repeats};
}

std::optional<QString> setMqttPort(ServiceConfig& config, const QString& value, int) {
    bool ok = false;
    const uint number = value.toUInt(&ok);
    if (!ok || number < 1 || number > 65535)
        return QStringLiteral("port must be a number from 1 to 65535, not '%1'").arg(value);
    config.mqtt.port = static_cast<quint16>(number);
    return std::nullopt;
}

std::optional<QString> setMqttText(QString& target, const QString& value, const char* key) {
    if (value.isEmpty()) return QStringLiteral("%1 needs a value").arg(QLatin1String(key));
    target = value;
    return std::nullopt;
}

// A setter of one [mqtt] text key, and the check its value must pass.
template <QString MqttConfig::*member>
Setter mqttText(const char* key, std::optional<QString> (*check)(const QString&) = nullptr) {
    return [key, check](ServiceConfig& c, const QString& v, int) -> std::optional<QString> {
        if (check)
            if (std::optional<QString> wrong = check(v)) return wrong;
        return setMqttText(c.mqtt.*member, v, key);
    };
}

std::optional<QString> setMqttDiscovery(ServiceConfig& config, const QString& value, int) {
    if (value != QLatin1String("on") && value != QLatin1String("off"))
        return QStringLiteral("discovery must be on or off, not '%1'").arg(value);
    config.mqtt.discovery = value == QLatin1String("on");
    return std::nullopt;
}

// Every section and key the file may hold; keys before the first section are [service]'s.
const std::array kKeys{
    Key{"service", "listen",
        [](ServiceConfig& c, const QString& v, int) { return parseListen(v, c.address, c.port); }},
    Key{"service", "token_file",
        [](ServiceConfig& c, const QString& v, int) {
            return setPath(c.tokenFile, v, "token_file");
        }},
    Key{"service", "log_file",
        [](ServiceConfig& c, const QString& v, int) { return setPath(c.logFile, v, "log_file"); }},
    Key{"service", "poll_seconds", &setPoll},
    // Empty means none, as if the key were left out.
    Key{"service", "tls_certificate",
        [](ServiceConfig& c, const QString& v, int) {
            c.tlsCertificate = v;
            return std::optional<QString>();
        }},
    Key{"service", "tls_key",
        [](ServiceConfig& c, const QString& v, int) {
            c.tlsKey = v;
            return std::optional<QString>();
        }},
    Key{"schedule", "rule",
        [](ServiceConfig& c, const QString& v, int line) {
            return addScheduleRule(c.schedule, v, line);
        },
        true},
    Key{"schedule", "time_zone",
        [](ServiceConfig& c, const QString& v, int) { return setTimeZone(c.schedule, v); }},
    Key{"schedule", "state_file",
        [](ServiceConfig& c, const QString& v, int) {
            return setPath(c.schedule.stateFile, v, "state_file");
        }},
    alertKey("webhook", true),
    alertKey("mail_to", true),
    alertKey("mail_from"),
    alertKey("sendmail"),
    alertKey("journal"),
    alertKey("queue_limit"),
    alertKey("retry_ms"),
    alertKey("retry_most_ms"),
    alertKey("no_answer_polls"),
    alertKey("lamp_hours_above"),
    Key{"web", "cors_origins",
        [](ServiceConfig& c, const QString& v, int) { return addCorsOrigins(c.web, v); }, true},
    Key{"web", "lamp_hours_threshold",
        [](ServiceConfig& c, const QString& v, int) { return setLampHoursThreshold(c.web, v); }},
    Key{"mqtt", "host", mqttText<&MqttConfig::host>("host")},
    Key{"mqtt", "port", &setMqttPort},
    Key{"mqtt", "tls_ca_file", mqttText<&MqttConfig::caFile>("tls_ca_file")},
    Key{"mqtt", "user", mqttText<&MqttConfig::user>("user")},
    Key{"mqtt", "password", mqttText<&MqttConfig::password>("password")},
    Key{"mqtt", "password_file", mqttText<&MqttConfig::passwordFile>("password_file")},
    Key{"mqtt", "client_id", mqttText<&MqttConfig::clientId>("client_id")},
    Key{"mqtt", "site", mqttText<&MqttConfig::site>("site", &siteProblem)},
    Key{"mqtt", "prefix", mqttText<&MqttConfig::prefix>("prefix", &prefixProblem)},
    Key{"mqtt", "discovery", &setMqttDiscovery},
    Key{"mqtt", "discovery_prefix",
        mqttText<&MqttConfig::discoveryPrefix>("discovery_prefix", &prefixProblem)},
};

QString sectionNames() {
    QStringList names;
    for (const Key& key : kKeys) {
        const QString name = QStringLiteral("[%1]").arg(QLatin1String(key.section));
        if (!names.contains(name)) names.append(name);
    }
    return names.join(QStringLiteral(", "));
}

QString besideFile(const QString& path, const QString& file) {
    if (file.isEmpty() || QDir::isAbsolutePath(file)) return file;
    return QFileInfo(path).dir().filePath(file);
}

}  // namespace

std::optional<QString> parseListen(const QString& text, QHostAddress& address, quint16& port) {
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    const QString bad = QStringLiteral("'%1' is no ADDRESS:PORT").arg(text);
    if (colon <= 0) return bad;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    else if (host.contains(QLatin1Char(':')))
        return bad + QStringLiteral(" (write an IPv6 address in brackets)");
    bool ok = false;
    const uint number = text.mid(colon + 1).toUInt(&ok);
    QHostAddress parsed;
    if (!ok || number > 65535 || !parsed.setAddress(host)) return bad;
    address = parsed;
    port = static_cast<quint16>(number);
    return std::nullopt;
}

ConfigRead parseServiceConfig(const QByteArray& text, const QString& path) {
    ConfigRead read;
    std::vector<const Key*> seen;
    QString section = QStringLiteral("service");
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        auto problem = [&](const QString& what) {
            read.problems.push_back(QStringLiteral("%1:%2: %3").arg(path).arg(number).arg(what));
        };
        const QString line = QString::fromUtf8(lines[i]).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) ||
            line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            section = line.endsWith(QLatin1Char(']')) ? line.mid(1, line.size() - 2).trimmed()
                                                      : QString();
            const bool known = std::any_of(kKeys.begin(), kKeys.end(), [&](const Key& k) {
                return section == QLatin1String(k.section);
            });
            if (!known)
                problem(QStringLiteral("unknown section %1 (the file has %2)")
                            .arg(line, sectionNames()));
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0) {
            problem(QStringLiteral("expected 'key = value', found '%1'").arg(line));
            continue;
        }
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        const auto known = std::find_if(kKeys.begin(), kKeys.end(), [&](const Key& k) {
            return section == QLatin1String(k.section) && key == QLatin1String(k.name);
        });
        if (known == kKeys.end()) {
            problem(QStringLiteral("unknown key '%1' in [%2]").arg(key, section));
        } else if (!known->repeats && std::find(seen.begin(), seen.end(), &*known) != seen.end()) {
            problem(QStringLiteral("'%1' is given twice").arg(key));
        } else {
            seen.push_back(&*known);
            read.lines.emplace_back(key, number);
            if (std::optional<QString> wrong = known->set(read.config, value, number))
                problem(*wrong);
        }
    }
    read.path = path;
    ServiceConfig& c = read.config;
    // A certificate without its key would serve nothing; plain HTTP instead would be a surprise.
    if (c.tlsCertificate.isEmpty() != c.tlsKey.isEmpty()) {
        const bool keyMissing = c.tlsKey.isEmpty();
        read.problems.push_back(
            QStringLiteral("%1: %2 is given without %3: HTTPS needs both")
                .arg(read.where(keyMissing ? QStringLiteral("tls_certificate")
                                           : QStringLiteral("tls_key")),
                     keyMissing ? QStringLiteral("tls_certificate") : QStringLiteral("tls_key"),
                     keyMissing ? QStringLiteral("tls_key") : QStringLiteral("tls_certificate")));
    }
    c.tokenFile = besideFile(path, c.tokenFile);
    c.logFile = besideFile(path, c.logFile);
    c.tlsCertificate = besideFile(path, c.tlsCertificate);
    c.tlsKey = besideFile(path, c.tlsKey);
    c.schedule.stateFile = besideFile(path, c.schedule.stateFile);
    c.mqtt.caFile = besideFile(path, c.mqtt.caFile);
    c.mqtt.passwordFile = besideFile(path, c.mqtt.passwordFile);
    if (std::optional<QString> wrong = mqttSectionProblem(c.mqtt))
        read.problems.push_back(QStringLiteral("%1: %2").arg(path, *wrong));
    return read;
}

QString ConfigRead::where(const QString& key) const {
    for (const auto& [name, line] : lines)
        if (name == key) return QStringLiteral("%1:%2").arg(path).arg(line);
    return path;
}

ConfigRead readServiceConfig(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ConfigRead read;
        read.problems.push_back(QStringLiteral("%1: %2").arg(path, file.errorString()));
        return read;
    }
    return parseServiceConfig(file.readAll(), path);
}

}  // namespace panel
