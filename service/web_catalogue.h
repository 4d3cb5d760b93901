// What the web page draws itself from, read from the panel's own tables: the everyday buttons of
// the window with their captions and codes, the fleet table's columns, where lamp hours are marked,
// and what the caller's token may do.
#pragma once

#include <QJsonObject>
#include <QString>

#include "service/token_store.h"
#include "service/web_config.h"

namespace panel {

// {"commands": [{"section", "caption", "code", "confirm"}...]} in the window's order.
QJsonObject commandsJson();

// {"columns": [{"title", "key"}...], "lamp_hours_threshold", "role", "token"}.
QJsonObject pageJson(const WebConfig& web, Role role, const QString& tokenName);

}  // namespace panel
