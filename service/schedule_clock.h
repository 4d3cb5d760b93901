// When a rule runs, as instants: the arithmetic of days, local minutes and clock changes, with no
// timer in it, so that any "now" can be handed in.
#pragma once

#include <QDateTime>
#include <QTimeZone>
#include <vector>

#include "service/schedule_rule.h"

namespace panel {

// The instant (UTC) of the rule's local minute on `date`, or an invalid one when the rule does
// not run that day. A minute the clock skips runs at the first minute after the gap; a minute the
// clock passes twice runs at the first of them only.
QDateTime runOn(const ScheduleRule& rule, QDate date, const QTimeZone& zone);

// The first run strictly after `after`.
QDateTime nextRun(const ScheduleRule& rule, const QDateTime& after, const QTimeZone& zone);

// The runs in (from, to], oldest first: those a service that was down over them missed.
std::vector<QDateTime> runsBetween(const ScheduleRule& rule, const QDateTime& from,
                                   const QDateTime& to, const QTimeZone& zone);

}  // namespace panel
