#include "service/mqtt_bridge.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <array>

#include "fleet/answer_json.h"
#include "fleet/state_words.h"
#include "service/service_api.h"

namespace panel {
namespace {

Q_LOGGING_CATEGORY(lcBridge, "panel.service.mqtt.bridge", QtWarningMsg)

// Every leaf a projector's state is published on, so that a projector taken out of the file
// leaves none of them behind.
constexpr std::array kStateLeaves{"state",        "availability", "power",         "input",
                                  "input/option", "lamp_hours",   "last_answered", "json"};

QByteArray compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// A projector's availability: whether its line answers, the projector's own word beside the
// service's "online"/"offline".
QByteArray availabilityOf(const ProjectorRow& row) {
    switch (row.reading) {
        case Reading::Answered:
            return "online";
        case Reading::NoAnswer:
        case Reading::PortFailed:
            return "no-answer";
        case Reading::InUse:
            return "in-use";
        case Reading::NotYet:
            break;
    }
    return {};
}

// What Home Assistant's switch shows: lit or dark, a phase counting with where it goes.
QByteArray powerOf(StateKind kind) {
    switch (kind) {
        case StateKind::On:
        case StateKind::Warming:
            return "ON";
        case StateKind::Standby:
        case StateKind::Cooling:
            return "OFF";
        default:
            return {};
    }
}

}  // namespace

MqttBridge::MqttBridge(Fleet& fleet, ActionLog& log, const MqttConfig& config, MqttClient& client,
                       QObject* parent)
    : QObject(parent),
      fleet_(fleet),
      log_(log),
      config_(config),
      client_(client),
      topics_(config.topicPrefix()),
      site_{config.site, config.discoveryPrefix, &topics_} {
    // The fleet has one hook of each: whoever had it before hears the change first.
    previousRowChanged_ = fleet_.rowChanged;
    previousListChanged_ = fleet_.listChanged;
    fleet_.rowChanged = [this](int row) {
        if (previousRowChanged_) previousRowChanged_(row);
        rowChanged(row);
    };
    fleet_.listChanged = [this] {
        if (previousListChanged_) previousListChanged_();
        listChanged();
    };
    connect(&client_, &MqttClient::connected, this, &MqttBridge::connected);
    connect(&client_, &MqttClient::message, this, &MqttBridge::message);
}

MqttBridge::~MqttBridge() {
    fleet_.rowChanged = previousRowChanged_;
    fleet_.listChanged = previousListChanged_;
}

void MqttBridge::stop() {
    client_.stop(topics_.availability(), "offline");
}

void MqttBridge::connected() {
    // A clean session: the broker may have lost everything, so everything goes again.
    published_.clear();
    announced_.clear();
    client_.publish(topics_.availability(), "online", true);
    for (MqttCommand command : {MqttCommand::Power, MqttCommand::Input, MqttCommand::Codes})
        client_.subscribe(topics_.commandPattern(command));
    if (config_.discovery) {
        client_.subscribe(config_.discoveryPrefix.toUtf8() + "/status");
        // Our retained discovery from before: a device no longer in the file is taken away.
        client_.subscribe(config_.discoveryPrefix.toUtf8() + "/device/+/config");
    }
    for (const ProjectorRow& row : fleet_.rows()) {
        publishRow(row);
        if (config_.discovery) publishDiscovery(row.projector.name);
    }
}

void MqttBridge::put(const QByteArray& topic, const QByteArray& payload) {
    auto known = published_.find(topic);
    if (known != published_.end() && known->second == payload) return;
    if (client_.publish(topic, payload, true)) published_[topic] = payload;
}

void MqttBridge::publishRow(const ProjectorRow& row) {
    if (!client_.isConnected()) return;
    const QString& name = row.projector.name;
    const StateWords words = stateWords(row);
    put(topics_.projector(name, "state"), words.machine.toUtf8());
    if (const QByteArray available = availabilityOf(row); !available.isEmpty())
        put(topics_.projector(name, "availability"), available);
    if (const QByteArray power = powerOf(words.kind); !power.isEmpty())
        put(topics_.projector(name, "power"), power);
    if (row.reading == Reading::Answered && !row.input.trimmed().isEmpty()) {
        put(topics_.projector(name, "input"), row.input.trimmed().toUtf8());
        if (const QString option = inputOptionOf(row.input); !option.isEmpty())
            put(topics_.projector(name, "input/option"), option.toUtf8());
    }
    if (row.lampHours)
        put(topics_.projector(name, "lamp_hours"), QByteArray::number(*row.lampHours));
    if (row.lastAnswered.isValid())
        put(topics_.projector(name, "last_answered"),
            row.lastAnswered.toUTC().toString(Qt::ISODate).toUtf8());
    QJsonObject object = projectorJson(row);
    object.remove(QStringLiteral("busy"));  // a poll in progress is no change of the projector
    put(topics_.projector(name, "json"), compact(object));
}

void MqttBridge::publishDiscovery(const QString& name) {
    if (!client_.isConnected()) return;
    if (client_.publish(discoveryTopic(site_, name), compact(discoveryPayload(site_, name)), true))
        announced_.insert(name);
}

void MqttBridge::forget(const QString& name) {
    qCInfo(lcBridge) << "taking away" << name;
    if (config_.discovery) client_.publish(discoveryTopic(site_, name), {}, true);
    for (const char* leaf : kStateLeaves) {
        const QByteArray topic = topics_.projector(name, leaf);
        client_.publish(topic, {}, true);
        published_.erase(topic);
    }
    announced_.erase(name);
}

void MqttBridge::rowChanged(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= fleet_.rows().size()) return;
    publishRow(fleet_.rows()[static_cast<std::size_t>(row)]);
}

void MqttBridge::listChanged() {
    if (!client_.isConnected()) return;
    std::set<QString> now;
    for (const ProjectorRow& row : fleet_.rows()) now.insert(row.projector.name);
    for (const QString& name : std::set<QString>(announced_))
        if (!now.count(name)) forget(name);
    for (const ProjectorRow& row : fleet_.rows()) {
        publishRow(row);
        if (config_.discovery && !announced_.count(row.projector.name))
            publishDiscovery(row.projector.name);
    }
}

void MqttBridge::message(const QByteArray& topic, const QByteArray& payload, bool retained) {
    const QByteArray discovery = config_.discoveryPrefix.toUtf8();
    if (topic == discovery + "/status") {
        if (payload == "online" && config_.discovery)
            for (const ProjectorRow& row : fleet_.rows()) publishDiscovery(row.projector.name);
        return;
    }
    if (topic.startsWith(discovery + "/device/")) {
        // Only a kept one from before matters: one of ours for a name the file no longer has.
        if (!retained || payload.isEmpty()) return;
        const QString name = QJsonDocument::fromJson(payload)
                                 .object()
                                 .value("dev")
                                 .toObject()
                                 .value("name")
                                 .toString();
        if (name.isEmpty() || discoveryTopic(site_, name) != topic) return;
        if (fleet_.rowOf(name) < 0) forget(name);
        return;
    }
    const std::optional<MqttCommandTopic> what = topics_.command(topic);
    if (!what) return;
    // A kept command is an old one: a switch-off must not arrive an hour late.
    if (retained) {
        qCInfo(lcBridge) << "a retained command on" << topic << "is not obeyed";
        return;
    }
    command(*what, payload.left(kLongestPayload + 1));
}

void MqttBridge::command(const MqttCommandTopic& what, const QByteArray& payload) {
    const char* names[] = {"power", "input", "codes"};
    const char* kind = names[static_cast<int>(what.command)];
    const int row = fleet_.rowOf(what.projector);
    if (row < 0)
        return result(what.projector, kind, 404, QStringLiteral("no projector of that name"));
    if (payload.size() > kLongestPayload)
        return result(what.projector, kind, 413, QStringLiteral("the payload is over 4 KiB"));
    switch (what.command) {
        case MqttCommand::Power:
            return power(row, what.projector, payload);
        case MqttCommand::Input:
            return input(row, what.projector, payload);
        case MqttCommand::Codes:
            return codes(row, what.projector, payload);
    }
}

CommandHooks MqttBridge::hooksFor(int row, std::function<void(const ExchangeResult*)> done) {
    const Projector& projector = fleet_.rows()[static_cast<std::size_t>(row)].projector;
    CommandHooks hooks;
    hooks.observer = log_.observer(
        kActor, LoggedPort{projector.name.toStdString(), projector.port.toStdString()});
    ++waiting_[projector.name];
    // The fleet may end a command after the bridge has gone (a reload, the end of the service).
    hooks.done = [this, alive = std::weak_ptr<bool>(alive_), name = projector.name,
                  done = std::move(done)](const ExchangeResult* exchange) {
        if (alive.expired()) return;
        if (--waiting_[name] <= 0) waiting_.erase(name);
        done(exchange);
    };
    return hooks;
}

bool MqttBridge::crowded(const QString& name, const char* what) {
    auto waiting = waiting_.find(name);
    if (waiting == waiting_.end() || waiting->second < kMostWaiting) return false;
    result(name, what, 429,
           QStringLiteral("%1 commands already wait for this projector's line").arg(kMostWaiting));
    return true;
}

void MqttBridge::power(int row, const QString& name, const QByteArray& payload) {
    const QByteArray word = payload.trimmed().toUpper();
    if (word != "ON" && word != "OFF")
        return result(name, "power", 400, QStringLiteral("the payload must be ON or OFF"));
    if (crowded(name, "power")) return;
    CommandHooks hooks = hooksFor(row, [this, name](const ExchangeResult* exchange) {
        const int now = fleet_.rowOf(name);
        const QString note =
            now < 0 ? QString() : fleet_.rows()[static_cast<std::size_t>(now)].note;
        if (!exchange) return result(name, "power", 409, note);
        result(name, "power", statusOf(*exchange), errorOf(*exchange), {{"note", note}});
    });
    fleet_.power({row}, word == "ON" ? PowerCommand::On : PowerCommand::Off, hooks);
}

void MqttBridge::input(int row, const QString& name, const QByteArray& payload) {
    const QString wanted = QString::fromUtf8(payload).trimmed();
    for (const InputOption& option : inputOptions())
        if (option.name.compare(wanted, Qt::CaseInsensitive) == 0)
            return sendCodes(row, name, "input", {option.code});
    QStringList known;
    for (const InputOption& option : inputOptions()) known.append(option.name);
    result(name, "input", 400,
           QStringLiteral("no input of that name (the inputs: %1)").arg(known.join(", ")));
}

void MqttBridge::codes(int row, const QString& name, const QByteArray& payload) {
    const QJsonDocument document = QJsonDocument::fromJson(payload);
    const QJsonArray list = document.array();
    if (!document.isArray() || list.isEmpty() || list.size() > kMaxCodes)
        return result(
            name, "codes", 400,
            QStringLiteral("the payload must be a JSON list of 1 to %1 codes").arg(kMaxCodes));
    std::vector<std::string> sent;
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (std::optional<QString> wrong = codeProblem(list[i], i))
            return result(name, "codes", 400, *wrong);
        sent.push_back(list[i].toString().toStdString());
    }
    sendCodes(row, name, "codes", std::move(sent));
}

void MqttBridge::sendCodes(int row, const QString& name, const char* what,
                           std::vector<std::string> codes) {
    if (crowded(name, what)) return;
    CommandHooks hooks = hooksFor(row, [this, name, what](const ExchangeResult* exchange) {
        if (!exchange) return result(name, what, 404, QStringLiteral("no projector of that name"));
        QJsonArray answers;
        for (const CodeAnswer& a : exchange->answers) answers.append(jsonObject(a));
        result(name, what, statusOf(*exchange), errorOf(*exchange), {{"answers", answers}});
    });
    fleet_.send(row, std::move(codes), std::move(hooks));
}

void MqttBridge::result(const QString& name, const char* what, int status, const QString& error,
                        QJsonObject extra) {
    extra.insert("projector", name);
    extra.insert("command", what);
    extra.insert("status", status);
    if (!error.isEmpty()) extra.insert("error", error);
    qCDebug(lcBridge) << name << what << status << error;
    // Not retained: a result is news of the moment, not a state.
    client_.publish(topics_.projector(name, "result"), compact(extra), false);
}

}  // namespace panel
