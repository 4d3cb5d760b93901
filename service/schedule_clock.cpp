#include "service/schedule_clock.h"

#include <array>
#include <optional>

namespace panel {
namespace {

// Wider than any offset from UTC, so that the offsets on either side of a change are both seen.
constexpr qint64 kReach = 15 * 60 * 60;
constexpr int kLongestSearchDays = 9;

}  // namespace

QDateTime runOn(const ScheduleRule& rule, QDate date, const QTimeZone& zone) {
    if (!date.isValid() || !rule.days.test(static_cast<std::size_t>(date.dayOfWeek() - 1)))
        return {};
    // The local minute counted as if it were UTC; each offset in force near it gives a candidate,
    // which holds when that offset is the one in force at the candidate.
    const qint64 wall = QDateTime(date, rule.time, Qt::UTC).toSecsSinceEpoch();
    const std::array<int, 2> offsets{
        zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(wall - kReach, Qt::UTC)),
        zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(wall + kReach, Qt::UTC))};
    std::optional<qint64> first;
    for (const int offset : offsets) {
        const qint64 instant = wall - offset;
        if (zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(instant, Qt::UTC)) != offset) continue;
        if (!first || instant < *first) first = instant;  // twice: the first of the two
    }
    if (first) return QDateTime::fromSecsSinceEpoch(*first, Qt::UTC);
    // Skipped: the gap ends at the change itself, the first minute after it.
    const int before = offsets[0];
    const int after = offsets[1];
    const QTimeZone::OffsetData change =
        zone.nextTransition(QDateTime::fromSecsSinceEpoch(wall - after - 1, Qt::UTC));
    if (change.atUtc.isValid()) return change.atUtc.toUTC();
    return QDateTime::fromSecsSinceEpoch(wall - before, Qt::UTC);
}

QDateTime nextRun(const ScheduleRule& rule, const QDateTime& after, const QTimeZone& zone) {
    if (rule.days.none()) return {};
    const QDate start = after.toTimeZone(zone).date().addDays(-1);
    for (int d = 0; d <= kLongestSearchDays; ++d) {
        const QDateTime run = runOn(rule, start.addDays(d), zone);
        if (run.isValid() && run > after) return run;
    }
    return {};
}

std::vector<QDateTime> runsBetween(const ScheduleRule& rule, const QDateTime& from,
                                   const QDateTime& to, const QTimeZone& zone) {
    std::vector<QDateTime> runs;
    constexpr std::size_t kMostTold = 1000;  // a service down for years tells the latest only
    for (QDateTime run = nextRun(rule, from, zone); run.isValid() && run <= to;
         run = nextRun(rule, run, zone)) {
        runs.push_back(run);
        if (runs.size() > kMostTold) runs.erase(runs.begin());
    }
    return runs;
}

}  // namespace panel
