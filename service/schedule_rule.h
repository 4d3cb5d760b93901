// One line of [schedule]: on which days, at what local minute, what is done to which projectors.
// "Mon-Fri 07:45 power on Hall A, Hall B", "daily 23:30 power off all",
// "Sat 08:00 codes C00 C0D to Hall A".
#pragma once

#include <QString>
#include <QTime>
#include <bitset>
#include <optional>
#include <string>
#include <vector>

namespace panel {

enum class ScheduleAction { PowerOn, PowerOff, Codes };

struct ScheduleRule {
    QString text;         // as written, to name it in the log and the API
    int line = 0;         // in the configuration file
    std::bitset<7> days;  // Monday is 0, as Qt's dayOfWeek() - 1
    QTime time;           // local, whole minutes
    ScheduleAction action = ScheduleAction::PowerOn;
    std::vector<std::string> codes;  // for Codes
    bool all = false;                // every projector of the file at the time of the run
    std::vector<QString> projectors;
};

struct RuleRead {
    std::optional<ScheduleRule> rule;
    QString problem;  // when there is no rule
};

RuleRead parseScheduleRule(const QString& text, int line);

// "power on", "codes C00 C0D": what the rule does, for the log and the API.
QString actionText(const ScheduleRule& rule);
// "Mon-Fri", "daily", "Sat,Sun".
QString daysText(const ScheduleRule& rule);

}  // namespace panel
