#include "service/alert_book.h"

#include <QJsonArray>
#include <array>

namespace panel {
namespace {

// The status decoder's words that mean a fault, and the alert each opens. A temperature warning
// the projector has recovered from is none.
struct FaultWords {
    const char* words;
    const char* unless;
    const char* kind;
    const char* text;
};

constexpr std::array kFaults{
    FaultWords{"Power Fail", nullptr, "power-fault", "power fault"},
    FaultWords{"Temperature Warning", "recoverd", "temperature-fault", "temperature fault"},
    FaultWords{"Lamp FAIL", nullptr, "lamp-fault", "lamp fault"},
};

constexpr const char* kNoAnswer = "no-answer";
constexpr const char* kLampHours = "lamp-hours";
constexpr const char* kScheduleFailed = "schedule-failed";

QString kindWords(const QString& kind) {
    for (const FaultWords& f : kFaults)
        if (kind == QLatin1String(f.kind)) return QLatin1String(f.text);
    if (kind == QLatin1String(kNoAnswer)) return QStringLiteral("no answer");
    if (kind == QLatin1String(kLampHours)) return QStringLiteral("lamp hours");
    return QStringLiteral("scheduled action failed");
}

}  // namespace

QJsonObject alertJson(const AlertMessage& message) {
    return QJsonObject{{"projector", message.projector},
                       {"alert", message.kind},
                       {"state", message.raised ? "raised" : "cleared"},
                       {"message", message.text},
                       {"at", message.at.toUTC().toString(Qt::ISODate)}};
}

QString alertTitle(const AlertMessage& message) {
    return QStringLiteral("%1: %2%3")
        .arg(message.projector, kindWords(message.kind),
             message.raised ? QString() : QStringLiteral(" cleared"));
}

AlertBook::AlertBook(Clock clock) : clock_(std::move(clock)) {}

QDateTime AlertBook::now() const {
    return clock_ ? clock_().toUTC() : QDateTime::currentDateTimeUtc();
}

void AlertBook::set(const QString& projector, const QString& kind, bool on, const QString& text) {
    const auto key = std::make_pair(projector, kind);
    const auto found = open_.find(key);
    if (on == (found != open_.end())) return;
    AlertMessage message{projector, kind, text, on, now()};
    if (on) {
        open_.emplace(key, message);
    } else {
        message.text = found->second.text;
        open_.erase(found);
    }
    if (changed) changed(message);
}

void AlertBook::rowChanged(const ProjectorRow& row) {
    const QString& name = row.projector.name;
    // An exchange's end is the row leaving "busy"; changes in between are not readings.
    if (row.busy) {
        busy_.insert(name);
        return;
    }
    if (busy_.erase(name) == 0) return;
    switch (row.reading) {
        case Reading::NotYet:
        case Reading::InUse:
            return;  // nothing is known of the projector itself
        case Reading::NoAnswer:
        case Reading::PortFailed: {
            const int misses = ++misses_[name];
            if (misses >= settings_.noAnswerPolls)
                set(name, QLatin1String(kNoAnswer), true,
                    QStringLiteral("no answer for %1 polls: %2").arg(misses).arg(row.reason));
            return;
        }
        case Reading::Answered:
            break;
    }
    misses_.erase(name);
    set(name, QLatin1String(kNoAnswer), false, {});
    for (const FaultWords& f : kFaults) {
        const bool fault = row.status.contains(QLatin1String(f.words), Qt::CaseInsensitive) &&
                           !(f.unless && row.status.contains(QLatin1String(f.unless)));
        set(name, QLatin1String(f.kind), fault,
            QStringLiteral("%1: the projector reports '%2'")
                .arg(QLatin1String(f.text), row.status.trimmed()));
    }
    if (row.lampHours) {
        const bool over = settings_.lampHoursAbove && *row.lampHours > *settings_.lampHoursAbove;
        set(name, QLatin1String(kLampHours), over,
            QStringLiteral("the lamp has %1 hours, over the %2 set")
                .arg(*row.lampHours)
                .arg(settings_.lampHoursAbove.value_or(0)));
    }
}

void AlertBook::scheduleOutcome(const QString& projector, const QString& problem) {
    set(projector, QLatin1String(kScheduleFailed), !problem.isEmpty(),
        QStringLiteral("a scheduled action failed: %1").arg(problem));
}

void AlertBook::keepOnly(const std::vector<QString>& projectors) {
    std::vector<std::pair<QString, QString>> gone;
    for (const auto& [key, message] : open_)
        if (std::find(projectors.begin(), projectors.end(), key.first) == projectors.end())
            gone.push_back(key);
    for (const auto& key : gone) set(key.first, key.second, false, {});
    std::erase_if(misses_, [&](const auto& entry) {
        return std::find(projectors.begin(), projectors.end(), entry.first) == projectors.end();
    });
}

QJsonObject AlertBook::listing() const {
    QJsonArray alerts;
    for (const auto& [key, message] : open_) alerts.append(alertJson(message));
    return QJsonObject{{"alerts", alerts}};
}

}  // namespace panel
