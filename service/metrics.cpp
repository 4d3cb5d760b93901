#include "service/metrics.h"

#include "fleet/state_words.h"

namespace panel {
namespace {

void family(QByteArray& out, const char* name, const char* type, const char* help) {
    out += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
}

QByteArray projectorLabel(const ProjectorRow& row) {
    return "projector=\"" + labelValue(row.projector.name) + '"';
}

}  // namespace

QByteArray labelValue(const QString& text) {
    QByteArray out;
    for (const char c : text.toUtf8()) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

QByteArray prometheusText(const std::vector<ProjectorRow>& rows, const ServiceFigures& figures) {
    QByteArray out;
    family(out, "projector_state", "gauge",
           "1 for the state the projector is in, 0 for the others.");
    const std::vector<QString> words = machineWords();
    for (const ProjectorRow& row : rows) {
        const QString now = stateWords(row).machine;
        for (const QString& word : words)
            out += "projector_state{" + projectorLabel(row) + ",state=\"" + word.toUtf8() + "\"} " +
                   (word == now ? "1" : "0") + '\n';
    }
    family(out, "projector_lamp_hours", "gauge", "Lamp hours, from the last poll that answered.");
    for (const ProjectorRow& row : rows)
        if (row.lampHours)
            out += "projector_lamp_hours{" + projectorLabel(row) + "} " +
                   QByteArray::number(*row.lampHours) + '\n';
    family(out, "projector_last_poll_answered", "gauge",
           "1 when the projector's last poll was answered, 0 when it was not.");
    for (const ProjectorRow& row : rows)
        if (row.reading != Reading::NotYet)
            out += "projector_last_poll_answered{" + projectorLabel(row) + "} " +
                   (row.reading == Reading::Answered ? "1" : "0") + '\n';
    family(out, "projector_last_answer_timestamp_seconds", "gauge",
           "When the projector last answered a poll, in seconds since the epoch.");
    for (const ProjectorRow& row : rows)
        if (row.lastAnswered.isValid())
            out += "projector_last_answer_timestamp_seconds{" + projectorLabel(row) + "} " +
                   QByteArray::number(row.lastAnswered.toSecsSinceEpoch()) + '\n';
    family(out, "projector_poll_duration_seconds", "gauge",
           "How long the last poll of every projector took.");
    if (figures.lastPoll)
        out += "projector_poll_duration_seconds " +
               QByteArray::number(static_cast<double>(figures.lastPoll->count()) / 1000.0, 'f', 3) +
               '\n';
    family(out, "projector_paneld_http_requests_total", "counter", "Requests answered, by status.");
    for (const auto& [status, count] : figures.requestsByStatus)
        out += "projector_paneld_http_requests_total{code=\"" + QByteArray::number(status) +
               "\"} " + QByteArray::number(count) + '\n';
    return out;
}

}  // namespace panel
