// What the service's web page is told by the configuration's [web] section: other sites' origins
// allowed to call the API from a browser (none unless named), and where lamp hours are marked.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

#include "fleet/fleet_columns.h"

namespace panel {

struct WebConfig {
    std::vector<QByteArray> corsOrigins;  // "https://host[:port]", as a browser sends Origin
    int lampHoursThreshold = kDefaultLampThreshold;
};

// "https://a, https://b": each added, or the reason the value is refused.
std::optional<QString> addCorsOrigins(WebConfig& web, const QString& value);
std::optional<QString> setLampHoursThreshold(WebConfig& web, const QString& value);

}  // namespace panel
