#include "service/web_config.h"

#include <QStringList>
#include <QUrl>
#include <algorithm>

namespace panel {
namespace {

constexpr int kMostLampHours = 1'000'000;  // as far as the fleet window's field goes

int defaultPort(const QString& scheme) {
    return scheme == QLatin1String("https") ? 443 : 80;
}

}  // namespace

std::optional<QString> addCorsOrigins(WebConfig& web, const QString& value) {
    const QStringList origins = value.split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (origins.isEmpty()) return QStringLiteral("cors_origins needs at least one origin");
    for (const QString& text : origins) {
        const QString trimmed = text.trimmed();
        QUrl url(trimmed, QUrl::StrictMode);
        const QString scheme = url.scheme().toLower();
        // An origin is a scheme, a host and a port, and nothing else: a "*" or a path would
        // let more sites in than the operator meant.
        if (!url.isValid() ||
            (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
            url.host().isEmpty() || !url.path().isEmpty() || url.hasQuery() || url.hasFragment() ||
            !url.userInfo().isEmpty())
            return QStringLiteral(
                       "'%1' is no origin: write it as a browser sends it, like "
                       "https://desk.example.org or http://10.0.0.5:8080")
                .arg(trimmed);
        if (url.port() == defaultPort(scheme)) url.setPort(-1);
        url.setScheme(scheme);
        url.setHost(url.host().toLower());
        const QByteArray origin = url.toEncoded();
        if (std::find(web.corsOrigins.begin(), web.corsOrigins.end(), origin) ==
            web.corsOrigins.end())
            web.corsOrigins.push_back(origin);
    }
    return std::nullopt;
}

std::optional<QString> setLampHoursThreshold(WebConfig& web, const QString& value) {
    bool ok = false;
    const int hours = value.toInt(&ok);
    if (!ok || hours < 0 || hours > kMostLampHours)
        return QStringLiteral("lamp_hours_threshold must be a whole number from 0 to %1, not '%2'")
            .arg(kMostLampHours)
            .arg(value);
    web.lampHoursThreshold = hours;
    return std::nullopt;
}

}  // namespace panel
