#include "service/schedule_rule.h"

#include <QRegularExpression>
#include <QStringList>
#include <array>

namespace panel {
namespace {

constexpr std::array<const char*, 7> kDayNames{"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr int kMostRuleCodes = 32;
constexpr int kLongestRuleCode = 64;

int dayIndex(const QString& name) {
    for (std::size_t i = 0; i < kDayNames.size(); ++i)
        if (name.compare(QLatin1String(kDayNames[i]), Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

// "daily", "weekdays", "weekends", or days and ranges joined by commas: "Mon-Fri", "Sat,Sun",
// "Mon,Wed-Fri". A range may wrap: "Fri-Mon".
std::optional<std::bitset<7>> parseDays(const QString& text) {
    std::bitset<7> days;
    if (text.compare(QLatin1String("daily"), Qt::CaseInsensitive) == 0) return days.set();
    if (text.compare(QLatin1String("weekdays"), Qt::CaseInsensitive) == 0)
        return std::bitset<7>(0b0011111);
    if (text.compare(QLatin1String("weekends"), Qt::CaseInsensitive) == 0)
        return std::bitset<7>(0b1100000);
    for (const QString& piece : text.split(QLatin1Char(','))) {
        const QStringList ends = piece.split(QLatin1Char('-'));
        if (ends.size() > 2) return std::nullopt;
        const int first = dayIndex(ends.front());
        const int last = dayIndex(ends.back());
        if (first < 0 || last < 0) return std::nullopt;
        for (int d = first;; d = (d + 1) % 7) {
            days.set(static_cast<std::size_t>(d));
            if (d == last) break;
        }
    }
    return days;
}

bool printableWord(const QString& code) {
    if (code.isEmpty() || code.size() > kLongestRuleCode) return false;
    for (const QChar c : code)
        if (c.unicode() <= 0x20 || c.unicode() > 0x7E) return false;
    return true;
}

// Names joined by commas, or the word "all" alone.
QString readProjectors(const QString& text, ScheduleRule& rule) {
    if (text.isEmpty()) return QStringLiteral("the rule names no projector");
    if (text == QLatin1String("all")) {
        rule.all = true;
        return {};
    }
    for (const QString& piece : text.split(QLatin1Char(','))) {
        const QString name = piece.trimmed();
        if (name.isEmpty()) return QStringLiteral("an empty projector name between commas");
        rule.projectors.push_back(name);
    }
    return {};
}

}  // namespace

RuleRead parseScheduleRule(const QString& text, int line) {
    static const QRegularExpression shape(QStringLiteral(R"(^(\S+)\s+(\d{1,2}):(\d{2})\s+(.*)$)"));
    const QString grammar = QStringLiteral(
        "a rule is 'DAYS HH:MM power on|power off NAME, NAME|all' or 'DAYS HH:MM codes CODE... to "
        "NAME, NAME|all'");
    RuleRead read;
    const QRegularExpressionMatch match = shape.match(text.simplified());
    if (!match.hasMatch()) {
        read.problem = grammar;
        return read;
    }
    ScheduleRule rule;
    rule.text = text.simplified();
    rule.line = line;
    const std::optional<std::bitset<7>> days = parseDays(match.captured(1));
    if (!days) {
        read.problem = QStringLiteral(
                           "'%1' are no days: write daily, weekdays, weekends, or days such as "
                           "Mon-Fri or Sat,Sun")
                           .arg(match.captured(1));
        return read;
    }
    rule.days = *days;
    const int hour = match.captured(2).toInt();
    const int minute = match.captured(3).toInt();
    if (hour > 23 || minute > 59) {
        read.problem = QStringLiteral("%1:%2 is no time of day (00:00 to 23:59)")
                           .arg(match.captured(2), match.captured(3));
        return read;
    }
    rule.time = QTime(hour, minute);
    QString rest = match.captured(4);
    QString problem;
    if (rest.startsWith(QLatin1String("power on "))) {
        rule.action = ScheduleAction::PowerOn;
        problem = readProjectors(rest.mid(9).trimmed(), rule);
    } else if (rest.startsWith(QLatin1String("power off "))) {
        rule.action = ScheduleAction::PowerOff;
        problem = readProjectors(rest.mid(10).trimmed(), rule);
    } else if (rest.startsWith(QLatin1String("codes "))) {
        rule.action = ScheduleAction::Codes;
        // The codes end at the word "to"; no code of the panel is spelt so.
        const QStringList words = rest.mid(6).split(QLatin1Char(' '));
        const qsizetype to = words.indexOf(QStringLiteral("to"));
        if (to <= 0) {
            read.problem =
                QStringLiteral("codes need 'to' before the projectors: '%1'").arg(grammar);
            return read;
        }
        if (to > kMostRuleCodes) {
            read.problem = QStringLiteral("a rule sends %1 codes at most").arg(kMostRuleCodes);
            return read;
        }
        for (qsizetype i = 0; i < to; ++i) {
            if (!printableWord(words[i])) {
                read.problem =
                    QStringLiteral("'%1' is no code: printable ASCII, 1 to %2 characters")
                        .arg(words[i].left(kLongestRuleCode))
                        .arg(kLongestRuleCode);
                return read;
            }
            rule.codes.push_back(words[i].toStdString());
        }
        problem = readProjectors(words.mid(to + 1).join(QLatin1Char(' ')), rule);
    } else {
        problem = grammar;
    }
    if (!problem.isEmpty()) {
        read.problem = problem;
        return read;
    }
    read.rule = std::move(rule);
    return read;
}

QString actionText(const ScheduleRule& rule) {
    switch (rule.action) {
        case ScheduleAction::PowerOn:
            return QStringLiteral("power on");
        case ScheduleAction::PowerOff:
            return QStringLiteral("power off");
        case ScheduleAction::Codes:
            break;
    }
    QStringList codes;
    for (const std::string& code : rule.codes) codes.append(QString::fromStdString(code));
    return QStringLiteral("codes ") + codes.join(QLatin1Char(' '));
}

QString daysText(const ScheduleRule& rule) {
    if (rule.days.all()) return QStringLiteral("daily");
    QStringList names;
    for (std::size_t d = 0; d < kDayNames.size(); ++d)
        if (rule.days.test(d)) names.append(QLatin1String(kDayNames[d]));
    return names.join(QLatin1Char(','));
}

}  // namespace panel
