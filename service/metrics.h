// /metrics in Prometheus's text exposition format 0.0.4: each projector's state, lamp hours and
// last poll, the fleet's poll duration, and the requests answered by status.
#pragma once

#include <QByteArray>
#include <chrono>
#include <map>
#include <optional>
#include <vector>

#include "fleet/fleet.h"

namespace panel {

struct ServiceFigures {
    std::optional<std::chrono::milliseconds> lastPoll;  // of the whole fleet
    std::map<int, quint64> requestsByStatus;
};

QByteArray prometheusText(const std::vector<ProjectorRow>& rows, const ServiceFigures& figures);

// A label value with its backslashes, double quotes and line breaks escaped, as the format asks.
QByteArray labelValue(const QString& text);

}  // namespace panel
