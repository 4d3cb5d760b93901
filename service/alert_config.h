// The [alerts] section: when an alert opens, and where it is sent.
#pragma once

#include <QString>
#include <optional>

#include "service/alert_book.h"
#include "service/alert_outbox.h"

namespace panel {

struct AlertConfig {
    AlertSettings settings;
    AlertDelivery delivery;
};

// One setter for every key of the section, by its name; nothing when the key is not one.
std::optional<QString> setAlertKey(AlertConfig& config, const QString& key, const QString& value);

}  // namespace panel
