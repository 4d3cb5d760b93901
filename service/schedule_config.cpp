#include "service/schedule_config.h"

#include <algorithm>

namespace panel {

std::optional<QString> addScheduleRule(ScheduleConfig& config, const QString& value, int line) {
    RuleRead read = parseScheduleRule(value, line);
    if (!read.rule) return read.problem;
    config.rules.push_back(std::move(*read.rule));
    return std::nullopt;
}

std::optional<QString> setTimeZone(ScheduleConfig& config, const QString& value) {
    const QTimeZone zone(value.toUtf8());
    if (!zone.isValid())
        return QStringLiteral("'%1' is no time zone this machine knows (such as Europe/Berlin)")
            .arg(value);
    config.zone = zone;
    return std::nullopt;
}

std::vector<QString> unknownProjectors(const ScheduleConfig& config,
                                       const std::vector<QString>& projectors,
                                       const QString& configFile, const QString& projectorsFile) {
    std::vector<QString> problems;
    for (const ScheduleRule& rule : config.rules)
        for (const QString& name : rule.projectors)
            if (std::find(projectors.begin(), projectors.end(), name) == projectors.end())
                problems.push_back(QStringLiteral("%1:%2: the rule names '%3', which is not in %4")
                                       .arg(configFile)
                                       .arg(rule.line)
                                       .arg(name.left(200), projectorsFile));
    return problems;
}

}  // namespace panel
