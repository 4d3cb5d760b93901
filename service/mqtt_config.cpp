#include "service/mqtt_config.h"

#include <QFile>
#include <QFileInfo>

namespace panel {

quint16 MqttConfig::brokerPort() const {
    if (port != 0) return port;
    return caFile.isEmpty() ? kMqttPort : kMqttTlsPort;
}

QString MqttConfig::topicPrefix() const {
    QString text = prefix.isEmpty() ? QStringLiteral("projector-panel/%1/").arg(site) : prefix;
    if (!text.endsWith(QLatin1Char('/'))) text += QLatin1Char('/');
    return text;
}

QString MqttConfig::effectiveClientId() const {
    return clientId.isEmpty() ? QStringLiteral("projector-paneld-%1").arg(site) : clientId;
}

std::optional<QString> siteProblem(const QString& site) {
    const bool safe =
        !site.isEmpty() && site.size() <= 64 && std::all_of(site.begin(), site.end(), [](QChar c) {
            return (c.unicode() < 0x80 && c.isLetterOrNumber()) || c == QLatin1Char('-') ||
                   c == QLatin1Char('_') || c == QLatin1Char('.');
        });
    if (safe) return std::nullopt;
    return QStringLiteral("site must be 1 to 64 letters, digits, '-', '_' or '.', not '%1'")
        .arg(site);
}

std::optional<QString> prefixProblem(const QString& prefix) {
    if (prefix.contains(QLatin1Char('+')) || prefix.contains(QLatin1Char('#')) ||
        prefix.contains(QChar(0)) || prefix.startsWith(QLatin1Char('$')) ||
        prefix.startsWith(QLatin1Char('/')))
        return QStringLiteral("prefix '%1' may hold no '+', '#' or NUL, nor start with '$' or '/'")
            .arg(prefix);
    return std::nullopt;
}

std::optional<QString> mqttSectionProblem(const MqttConfig& config) {
    if (!config.enabled()) return std::nullopt;
    if (config.site.isEmpty())
        return QStringLiteral("[mqtt] names a host but no site (site = BUILDING)");
    if (!config.password.isEmpty() && !config.passwordFile.isEmpty())
        return QStringLiteral("[mqtt] has both password and password_file: keep one");
    if ((!config.password.isEmpty() || !config.passwordFile.isEmpty()) && config.user.isEmpty())
        return QStringLiteral("[mqtt] has a password but no user");
    return std::nullopt;
}

std::optional<QString> loadMqttPassword(MqttConfig& config) {
    if (config.passwordFile.isEmpty()) return std::nullopt;
    const QString& path = config.passwordFile;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1: %2").arg(path, file.errorString());
    if (QFileInfo(path).permissions() & (QFileDevice::ReadOther | QFileDevice::WriteOther))
        return QStringLiteral("%1: others may read or write it; chmod 600 it").arg(path);
    // The first line, so that an editor's final line break is not part of the password.
    config.password =
        QString::fromUtf8(file.readLine(4096)).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    if (config.password.isEmpty()) return QStringLiteral("%1: the password is empty").arg(path);
    return std::nullopt;
}

}  // namespace panel
