// The [schedule] section: its rules, their time zone and where the last runs are kept.
#pragma once

#include <QString>
#include <QTimeZone>
#include <optional>
#include <vector>

#include "service/schedule_rule.h"

namespace panel {

struct ScheduleConfig {
    std::vector<ScheduleRule> rules;
    QTimeZone zone = QTimeZone::systemTimeZone();
    // Under systemd, in the unit's StateDirectory.
    QString stateFile = QStringLiteral("/var/lib/projector-panel/schedule.state");
};

std::optional<QString> addScheduleRule(ScheduleConfig& config, const QString& value, int line);
std::optional<QString> setTimeZone(ScheduleConfig& config, const QString& value);

// "FILE:LINE: reason" for each rule naming a projector the list does not have.
std::vector<QString> unknownProjectors(const ScheduleConfig& config,
                                       const std::vector<QString>& projectors,
                                       const QString& configFile, const QString& projectorsFile);

}  // namespace panel
