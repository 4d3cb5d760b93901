// The service's routes: who may call them, what they read from the fleet or ask of it, and the
// JSON they answer. Every byte of a request is taken as hostile until it has been checked.
#pragma once

#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "fleet/fleet.h"
#include "service/action_log.h"
#include "service/event_streams.h"
#include "service/failure_throttle.h"
#include "service/http_server.h"
#include "service/metrics.h"
#include "service/projector_documents.h"
#include "service/token_store.h"
#include "service/web_config.h"
#include "service/web_files.h"
#include "service/web_headers.h"

namespace panel {

inline constexpr int kMaxCodes = 32;
inline constexpr int kMaxCodeLength = 64;
// Commands through the API and power actions that may wait for one projector's line: a client
// that sends and goes away, again and again, would otherwise queue without end.
inline constexpr std::size_t kMostWaitingCommands = 8;

// A projector as the API and the event stream show it.
QJsonObject projectorJson(const ProjectorRow& row);
// Why the `index`th code of a request may not go onto a line, or nothing when it may.
std::optional<QString> codeProblem(const QJsonValue& value, qsizetype index);
// An exchange's end as every front door tells it: 200 when all was answered, else 503 and why.
int statusOf(const ExchangeResult& result);
QString errorOf(const ExchangeResult& result);

class ServiceApi final : public QObject {
    Q_OBJECT

public:
    ServiceApi(Fleet& fleet, const TokenStore& tokens, FailureThrottle& throttle, ActionLog& log,
               QObject* parent = nullptr);
    ~ServiceApi() override;

    void handle(const HttpRequest& request, const HttpReply& reply);
    EventStreams& events() { return events_; }
    const ServiceFigures& figures() const { return figures_; }
    // The configuration's [web] section: the origins let in, the lamp mark.
    void setWeb(WebConfig web);

    // What GET /api/v1/schedule and /api/v1/alerts answer; empty lists when unset.
    std::function<QJsonObject()> scheduleListing;
    std::function<QJsonObject()> alertListing;

private:
    struct Caller;
    struct Route;
    using Action = void (ServiceApi::*)(const HttpRequest&, const HttpReply&, const Caller&,
                                        const QString&);

    void answer(const HttpReply& reply, int status, const QJsonObject& body);
    void answerText(const HttpReply& reply, int status, const QByteArray& type,
                    const QByteArray& body);
    void refuse(const HttpReply& reply, int status, const QString& why);

    void listProjectors(const HttpRequest&, const HttpReply&, const Caller&, const QString&);
    void showProjector(const HttpRequest&, const HttpReply&, const Caller&, const QString& name);
    void send(const HttpRequest&, const HttpReply&, const Caller&, const QString& name);
    void power(const HttpRequest&, const HttpReply&, const Caller&, const QString&);
    void finishPower(const HttpReply& reply, const std::vector<QJsonObject>& each);
    // Why nothing more may wait for the row's line, when so.
    std::optional<QString> lineFull(int row) const;
    void streamEvents(const HttpRequest&, const HttpReply&, const Caller&, const QString&);
    void metrics(const HttpRequest&, const HttpReply&, const Caller&, const QString&);
    void listSchedule(const HttpRequest&, const HttpReply&, const Caller&, const QString&);
    void listAlerts(const HttpRequest&, const HttpReply&, const Caller&, const QString&);
    void commands(const HttpRequest&, const HttpReply&, const Caller&, const QString&);
    void page(const HttpRequest&, const HttpReply&, const Caller&, const QString&);

    void listChanged();
    void rowChanged(int row);

    Fleet& fleet_;
    QSet<QString> shown_;  // the names on the event stream
    const TokenStore& tokens_;
    FailureThrottle& throttle_;
    ActionLog& log_;
    EventStreams events_;
    ServiceFigures figures_;
    WebConfig web_;
    WebHeaders webHeaders_;
    WebFiles webFiles_;
    ProjectorDocuments documents_;
};

}  // namespace panel
