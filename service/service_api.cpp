#include "service/service_api.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringDecoder>
#include <array>
#include <memory>

#include "fleet/answer_json.h"
#include "fleet/state_words.h"
#include "service/web_catalogue.h"

namespace panel {

// Who made the request, once their token was checked.
struct ServiceApi::Caller {
    QString name;
    Role role;
};

// A route: its method, its path with `*` for one percent-encoded name, and the role it needs.
struct ServiceApi::Route {
    const char* method;
    std::array<const char*, 5> pattern;  // the path's pieces, up to the first null
    Role needs;
    Action action;
};

namespace {

constexpr const char* kJson = "application/json";
constexpr int kMaxPowerNames = 1024;

QJsonValue orNull(const QString& text) {
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

// The key of what a change means to a client: not the poll's time, nor that a poll is running.
QByteArray changeKey(QJsonObject object) {
    object.remove(QStringLiteral("last_answered"));
    object.remove(QStringLiteral("busy"));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// A piece of the path decoded: percent-encoded UTF-8, or nothing when it is not valid UTF-8 (a
// name no projector has). A decoded "/", ".." or NUL is just part of a name.
QString decodedName(const QByteArray& piece) {
    const QByteArray bytes = QByteArray::fromPercentEncoding(piece);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString name = decoder(bytes);
    if (decoder.hasError()) return {};
    return name;
}

QByteArray bearerToken(const QByteArray& authorization) {
    const QByteArray scheme = "bearer ";
    if (authorization.size() <= scheme.size() ||
        authorization.left(scheme.size()).toLower() != scheme)
        return {};
    return authorization.mid(scheme.size()).trimmed();
}

}  // namespace

// A code the window's command field would send: printable ASCII, so nothing can end it early
// and smuggle a second command onto the line.
std::optional<QString> codeProblem(const QJsonValue& value, qsizetype index) {
    if (!value.isString()) return QStringLiteral("code %1 is not a string").arg(index + 1);
    const QString code = value.toString();
    if (code.isEmpty() || code.size() > kMaxCodeLength)
        return QStringLiteral("code %1 must have 1 to %2 characters")
            .arg(index + 1)
            .arg(kMaxCodeLength);
    for (const QChar c : code)
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return QStringLiteral(
                       "code %1 holds a control character, a line break or a character that is no "
                       "printable ASCII")
                .arg(index + 1);
    return std::nullopt;
}

namespace {

std::optional<QJsonObject> bodyObject(const QByteArray& body, QString& problem) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError) {
        problem = QStringLiteral("the body is no JSON: %1 at %2")
                      .arg(error.errorString())
                      .arg(error.offset);
        return std::nullopt;
    }
    if (!document.isObject()) {
        problem = QStringLiteral("the body must be a JSON object");
        return std::nullopt;
    }
    return document.object();
}

}  // namespace

int statusOf(const ExchangeResult& result) {
    return result.end == ExchangeEnd::AllAnswered ? 200 : 503;
}

QString errorOf(const ExchangeResult& result) {
    switch (result.end) {
        case ExchangeEnd::AllAnswered:
            return {};
        case ExchangeEnd::SomeUnanswered:
            return QStringLiteral("no answer");
        case ExchangeEnd::InUse:
            return QStringLiteral("in use: another client has the line");
        case ExchangeEnd::PortFailed:
            return result.problem;
    }
    return {};
}

QJsonObject projectorJson(const ProjectorRow& row) {
    const StateWords state = stateWords(row);
    return QJsonObject{
        {"name", row.projector.name},
        {"port", row.projector.port},
        {"state", state.machine},
        {"state_text", state.text},
        {"input", row.reading == Reading::Answered ? orNull(row.input) : QJsonValue()},
        {"lamp_hours", row.lampHours ? QJsonValue(*row.lampHours) : QJsonValue()},
        {"last_answered", row.lastAnswered.isValid()
                              ? QJsonValue(row.lastAnswered.toUTC().toString(Qt::ISODate))
                              : QJsonValue()},
        {"note", orNull(row.note)},
        {"busy", row.busy},
    };
}

ServiceApi::ServiceApi(Fleet& fleet, const TokenStore& tokens, FailureThrottle& throttle,
                       ActionLog& log, QObject* parent)
    : QObject(parent), fleet_(fleet), tokens_(tokens), throttle_(throttle), log_(log) {
    documents_.listChanged(fleet_.rows());
    fleet_.rowChanged = [this](int row) { rowChanged(row); };
    for (const ProjectorRow& row : fleet_.rows()) shown_.insert(row.projector.name);
    fleet_.listChanged = [this] { listChanged(); };
    fleet_.cycleFinished = [this](std::chrono::milliseconds wall) { figures_.lastPoll = wall; };
}

ServiceApi::~ServiceApi() {
    fleet_.rowChanged = {};
    fleet_.listChanged = {};
    fleet_.cycleFinished = {};
}

void ServiceApi::answerText(const HttpReply& reply, int status, const QByteArray& type,
                            const QByteArray& body) {
    ++figures_.requestsByStatus[status];
    HttpResponse response{status, type, body, {{"Cache-Control", "no-store"}}};
    if (status == 401) response.headers.emplace_back("WWW-Authenticate", "Bearer");
    if (status == 429)
        response.headers.emplace_back("Retry-After",
                                      QByteArray::number(FailureThrottle::kPenalty.count()));
    reply.send(std::move(response));
}

void ServiceApi::answer(const HttpReply& reply, int status, const QJsonObject& body) {
    answerText(reply, status, kJson, QJsonDocument(body).toJson(QJsonDocument::Compact) + '\n');
}

void ServiceApi::refuse(const HttpReply& reply, int status, const QString& why) {
    answer(reply, status, QJsonObject{{"error", why}});
}

void ServiceApi::handle(const HttpRequest& request, const HttpReply& reply) {
    static const std::array<Route, 10> kRoutes{
        Route{"GET", {"api", "v1", "projectors"}, Role::Viewer, &ServiceApi::listProjectors},
        Route{"GET", {"api", "v1", "projectors", "*"}, Role::Viewer, &ServiceApi::showProjector},
        Route{"POST", {"api", "v1", "projectors", "*", "send"}, Role::Operator, &ServiceApi::send},
        Route{"POST", {"api", "v1", "power"}, Role::Operator, &ServiceApi::power},
        Route{"GET", {"api", "v1", "events"}, Role::Viewer, &ServiceApi::streamEvents},
        Route{"GET", {"metrics"}, Role::Viewer, &ServiceApi::metrics},
        Route{"GET", {"api", "v1", "schedule"}, Role::Viewer, &ServiceApi::listSchedule},
        Route{"GET", {"api", "v1", "alerts"}, Role::Viewer, &ServiceApi::listAlerts},
        Route{"GET", {"api", "v1", "commands"}, Role::Viewer, &ServiceApi::commands},
        Route{"GET", {"api", "v1", "page"}, Role::Viewer, &ServiceApi::page},
    };
    for (auto& [name, value] : webHeaders_.headersFor(request)) reply.addHeader(name, value);
    if (std::optional<HttpResponse> file = webFiles_.serve(request)) {
        ++figures_.requestsByStatus[file->status];
        return reply.send(std::move(*file));
    }
    if (std::optional<HttpResponse> preflight = webHeaders_.preflight(request)) {
        ++figures_.requestsByStatus[preflight->status];
        return reply.send(std::move(*preflight));
    }
    if (request.path == "/healthz") {
        if (request.method == "GET")
            answer(reply, 200, QJsonObject{{"status", "ok"}});
        else
            refuse(reply, 405, QStringLiteral("only GET"));
        return;
    }
    if (throttle_.blocked(request.peer))
        return refuse(reply, 429, QStringLiteral("too many bad tokens from this address: wait"));
    const QByteArray presented = bearerToken(request.authorization);
    if (presented.isEmpty())
        return refuse(reply, 401, QStringLiteral("an Authorization: Bearer token is needed"));
    const std::optional<Token> token = tokens_.check(presented);
    if (!token) {
        throttle_.failed(request.peer);
        return refuse(reply, 401, QStringLiteral("the token is not known"));
    }
    const Caller caller{token->name, token->role};

    const QList<QByteArray> pieces = request.path.mid(1).split('/');
    bool pathKnown = false;
    for (const Route& route : kRoutes) {
        const auto length = static_cast<qsizetype>(
            std::find(route.pattern.begin(), route.pattern.end(), nullptr) - route.pattern.begin());
        if (!request.path.startsWith('/') || pieces.size() != length) continue;
        QString name;
        bool same = true;
        for (qsizetype i = 0; i < length && same; ++i) {
            if (QByteArray(route.pattern[static_cast<std::size_t>(i)]) == "*")
                name = decodedName(pieces[i]);
            else
                same = pieces[i] == route.pattern[static_cast<std::size_t>(i)];
        }
        if (!same) continue;
        pathKnown = true;
        if (request.method != route.method) continue;
        if (route.needs == Role::Operator && caller.role != Role::Operator)
            return refuse(reply, 403, QStringLiteral("this needs an operator's token"));
        if (request.bodyTooLarge)
            return refuse(reply, 413, QStringLiteral("the body is over 64 KiB"));
        return (this->*route.action)(request, reply, caller, name);
    }
    if (pathKnown) return refuse(reply, 405, QStringLiteral("the method is not allowed here"));
    refuse(reply, 404, QStringLiteral("no such route"));
}

void ServiceApi::listProjectors(const HttpRequest&, const HttpReply& reply, const Caller&,
                                const QString&) {
    // Made on each change of a row, not on each read: a read came to several milliseconds with a
    // hundred projectors, the time conversions of their last answers the most of it.
    if (documents_.size() != fleet_.rows().size()) documents_.listChanged(fleet_.rows());
    answerText(reply, 200, kJson, documents_.list());
}

void ServiceApi::showProjector(const HttpRequest&, const HttpReply& reply, const Caller&,
                               const QString& name) {
    const int row = name.isNull() ? -1 : fleet_.rowOf(name);
    if (row < 0) return refuse(reply, 404, QStringLiteral("no projector of that name"));
    if (documents_.size() != fleet_.rows().size()) documents_.listChanged(fleet_.rows());
    answerText(reply, 200, kJson, documents_.row(static_cast<std::size_t>(row)) + '\n');
}

void ServiceApi::send(const HttpRequest& request, const HttpReply& reply, const Caller& caller,
                      const QString& name) {
    const int row = name.isNull() ? -1 : fleet_.rowOf(name);
    if (row < 0) return refuse(reply, 404, QStringLiteral("no projector of that name"));
    QString problem;
    const std::optional<QJsonObject> body = bodyObject(request.body, problem);
    if (!body) return refuse(reply, 400, problem);
    const QJsonValue codesValue = body->value(QStringLiteral("codes"));
    const QJsonArray codes = codesValue.toArray();
    if (!codesValue.isArray() || codes.isEmpty() || codes.size() > kMaxCodes)
        return refuse(reply, 400,
                      QStringLiteral("\"codes\" must be a list of 1 to %1 codes").arg(kMaxCodes));
    std::vector<std::string> sent;
    for (qsizetype i = 0; i < codes.size(); ++i) {
        if (std::optional<QString> wrong = codeProblem(codes[i], i))
            return refuse(reply, 400, *wrong);
        sent.push_back(codes[i].toString().toStdString());
    }
    if (std::optional<QString> full = lineFull(row)) return refuse(reply, 503, *full);
    const Projector& projector = fleet_.rows()[static_cast<std::size_t>(row)].projector;
    CommandHooks hooks;
    hooks.observer =
        log_.observer(caller.name.toStdString(),
                      LoggedPort{projector.name.toStdString(), projector.port.toStdString()});
    hooks.done = [this, reply, name](const ExchangeResult* result) {
        if (!result) return refuse(reply, 404, QStringLiteral("no projector of that name"));
        QJsonArray answers;
        for (const CodeAnswer& a : result->answers) answers.append(jsonObject(a));
        QJsonObject body{{"projector", name}, {"answers", answers}};
        if (result->end != ExchangeEnd::AllAnswered) body.insert("error", errorOf(*result));
        answer(reply, statusOf(*result), body);
    };
    fleet_.send(row, std::move(sent), std::move(hooks));
}

void ServiceApi::power(const HttpRequest& request, const HttpReply& reply, const Caller& caller,
                       const QString&) {
    QString problem;
    const std::optional<QJsonObject> body = bodyObject(request.body, problem);
    if (!body) return refuse(reply, 400, problem);
    const QJsonValue on = body->value(QStringLiteral("on"));
    const QJsonValue which = body->value(QStringLiteral("projectors"));
    if (!on.isBool()) return refuse(reply, 400, QStringLiteral("\"on\" must be true or false"));
    std::vector<QString> names;
    if (which.isString() && which.toString() == QLatin1String("all")) {
        for (const ProjectorRow& row : fleet_.rows()) names.push_back(row.projector.name);
    } else if (which.isArray() && !which.toArray().isEmpty() &&
               which.toArray().size() <= kMaxPowerNames) {
        for (const QJsonValue& v : which.toArray()) {
            if (!v.isString())
                return refuse(reply, 400, QStringLiteral("\"projectors\" holds names only"));
            if (fleet_.rowOf(v.toString()) < 0)
                return refuse(reply, 404,
                              QStringLiteral("no projector named '%1': nothing was sent")
                                  .arg(v.toString().left(200)));
            if (std::find(names.begin(), names.end(), v.toString()) == names.end())
                names.push_back(v.toString());
        }
    } else {
        return refuse(reply, 400,
                      QStringLiteral("\"projectors\" must be \"all\" or a list of names"));
    }
    if (names.empty()) return answer(reply, 200, QJsonObject{{"results", QJsonArray()}});

    struct Batch {
        std::vector<QJsonObject> results;
        std::size_t left = 0;
    };
    auto batch = std::make_shared<Batch>();
    batch->results.resize(names.size());
    batch->left = names.size();
    const PowerCommand command = on.toBool() ? PowerCommand::On : PowerCommand::Off;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const int row = fleet_.rowOf(names[i]);
        const Projector& projector = fleet_.rows()[static_cast<std::size_t>(row)].projector;
        CommandHooks hooks;
        const LoggedPort logged{projector.name.toStdString(), projector.port.toStdString()};
        hooks.observer = log_.observer(caller.name.toStdString(), logged);
        if (std::optional<QString> full = lineFull(row)) {
            log_.note(caller.name.toStdString(), names[i].toStdString(),
                      std::string(on.toBool() ? "power on" : "power off") +
                          ": not sent: " + full->toStdString());
            batch->results[i] = QJsonObject{
                {"projector", names[i]}, {"status", 503}, {"note", QJsonValue()}, {"error", *full}};
            if (--batch->left == 0) finishPower(reply, batch->results);
            continue;
        }
        hooks.done = [this, reply, batch, i, name = names[i], actor = caller.name,
                      action =
                          on.toBool() ? "power on" : "power off"](const ExchangeResult* result) {
            const int now = fleet_.rowOf(name);
            const QString note =
                now < 0 ? QString() : fleet_.rows()[static_cast<std::size_t>(now)].note;
            // Sent nothing, so no line event tells of it: the log still knows who tried.
            if (!result)
                log_.note(actor.toStdString(), name.toStdString(),
                          std::string(action) + ": " +
                              (note.isEmpty() ? "not sent: taken out of the projectors file"
                                              : note.toStdString()));
            const int status = result ? statusOf(*result) : 409;
            QJsonObject object{{"projector", name}, {"status", status}, {"note", orNull(note)}};
            if (result && result->end != ExchangeEnd::AllAnswered)
                object.insert("error", errorOf(*result));
            if (!result) object.insert("error", note);
            batch->results[i] = object;
            if (--batch->left == 0) finishPower(reply, batch->results);
        };
        fleet_.power({row}, command, hooks);
    }
}

void ServiceApi::finishPower(const HttpReply& reply, const std::vector<QJsonObject>& each) {
    // One status for the whole when every projector had the same; else each tells its own.
    int overall = each.front().value("status").toInt();
    QJsonArray results;
    for (const QJsonObject& r : each) {
        if (r.value("status").toInt() != overall) overall = 200;
        results.append(r);
    }
    answer(reply, overall, QJsonObject{{"results", results}});
}

std::optional<QString> ServiceApi::lineFull(int row) const {
    if (fleet_.waiting(row) < kMostWaitingCommands) return std::nullopt;
    return QStringLiteral("%1 commands already wait for this projector's line")
        .arg(kMostWaitingCommands);
}

void ServiceApi::streamEvents(const HttpRequest&, const HttpReply& reply, const Caller&,
                              const QString&) {
    ++figures_.requestsByStatus[200];
    if (documents_.size() != fleet_.rows().size()) documents_.listChanged(fleet_.rows());
    std::vector<QByteArray> snapshot;
    for (std::size_t i = 0; i < documents_.size(); ++i) snapshot.push_back(documents_.row(i));
    events_.add(reply, snapshot);
}

void ServiceApi::metrics(const HttpRequest&, const HttpReply& reply, const Caller&,
                         const QString&) {
    answerText(reply, 200, "text/plain; version=0.0.4; charset=utf-8",
               prometheusText(fleet_.rows(), figures_));
}

void ServiceApi::listSchedule(const HttpRequest&, const HttpReply& reply, const Caller&,
                              const QString&) {
    answer(reply, 200, scheduleListing ? scheduleListing() : QJsonObject{{"rules", QJsonArray()}});
}

void ServiceApi::listAlerts(const HttpRequest&, const HttpReply& reply, const Caller&,
                            const QString&) {
    answer(reply, 200, alertListing ? alertListing() : QJsonObject{{"alerts", QJsonArray()}});
}

void ServiceApi::setWeb(WebConfig web) {
    webHeaders_ = WebHeaders(web.corsOrigins);
    web_ = std::move(web);
}

void ServiceApi::commands(const HttpRequest&, const HttpReply& reply, const Caller&,
                          const QString&) {
    answer(reply, 200, commandsJson());
}

void ServiceApi::page(const HttpRequest&, const HttpReply& reply, const Caller& caller,
                      const QString&) {
    answer(reply, 200, pageJson(web_, caller.role, caller.name));
}

void ServiceApi::listChanged() {
    // A page or a control system is told of a projector taken out of the file, or it would
    // show its last state for good.
    QSet<QString> now;
    for (const ProjectorRow& row : fleet_.rows()) now.insert(row.projector.name);
    for (const QString& name : std::as_const(shown_))
        if (!now.contains(name)) events_.removed(name);
    shown_ = std::move(now);
    for (std::size_t i = 0; i < fleet_.rows().size(); ++i) rowChanged(static_cast<int>(i));
}

void ServiceApi::rowChanged(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= fleet_.rows().size()) return;
    const ProjectorRow& r = fleet_.rows()[static_cast<std::size_t>(row)];
    const QJsonObject object = projectorJson(r);
    documents_.rowChanged(fleet_.rows(), static_cast<std::size_t>(row));
    events_.publish(r.projector.name, changeKey(object),
                    documents_.row(static_cast<std::size_t>(row)));
}

}  // namespace panel
