// The alerts' conditions: a projector that stopped answering for some polls, one whose status
// words name a fault, lamp hours over a threshold, a scheduled action that failed. Each opens
// once when its condition starts and is cleared once when it ends; what changed is handed on.
#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "fleet/fleet.h"

namespace panel {

struct AlertSettings {
    int noAnswerPolls = 3;
    std::optional<int> lampHoursAbove;  // no lamp alert without it
};

// An alert as it is sent: opened ("raised") or "cleared".
struct AlertMessage {
    QString projector;
    QString kind;  // "no-answer", "power-fault", "temperature-fault", "lamp-fault",
                   // "lamp-hours", "schedule-failed"
    QString text;  // what is wrong, in words
    bool raised = true;
    QDateTime at;  // UTC
};

QJsonObject alertJson(const AlertMessage& message);
// "Hall A: lamp fault" or "Hall A: lamp fault cleared": a title for a phone's notification.
QString alertTitle(const AlertMessage& message);

class AlertBook {
public:
    using Clock = std::function<QDateTime()>;
    explicit AlertBook(Clock clock = {});

    void setSettings(const AlertSettings& settings) { settings_ = settings; }
    // A row's line has finished an exchange (a poll, mostly): its readings are looked at.
    void rowChanged(const ProjectorRow& row);
    // A scheduled action on the projector ended, with its problem or none.
    void scheduleOutcome(const QString& projector, const QString& problem);
    // Alerts of projectors no longer in the file are cleared.
    void keepOnly(const std::vector<QString>& projectors);

    QJsonObject listing() const;
    std::size_t openCount() const { return open_.size(); }

    std::function<void(const AlertMessage&)> changed;

private:
    void set(const QString& projector, const QString& kind, bool on, const QString& text);
    QDateTime now() const;

    Clock clock_;
    AlertSettings settings_;
    std::map<std::pair<QString, QString>, AlertMessage> open_;  // by projector and kind
    std::map<QString, int> misses_;                             // polls in a row with no answer
    std::set<QString> busy_;  // rows in an exchange, so that its end is seen once
};

}  // namespace panel
