#include "service/daemon.h"

#include <QFile>
#include <QJsonDocument>
#include <utility>

#include "fleet/projectors_file.h"
#include "service/tls_files.h"

namespace panel {

namespace {
constexpr const char* kProgram = "projector-paneld";
}

// Both files as read, before anything is changed.
struct Daemon::Loaded {
    ServiceConfig config;
    std::vector<Projector> projectors;
    std::vector<Token> tokens;
    std::optional<TlsPem> tls;
};

Daemon::Daemon(DaemonOptions options, QTextStream& err, QObject* parent)
    : QObject(parent),
      options_(std::move(options)),
      err_(err),
      log_(std::string(kProgram) + ' ' + PANEL_VERSION),
      scheduler_(fleet_, log_) {
    log_.setFailureHandler([this](const std::string& text) { tell(QString::fromStdString(text)); });
    wireScheduleAndAlerts();
}

void Daemon::wireScheduleAndAlerts() {
    auto publish = [this](const QByteArray& type, const QJsonObject& object) {
        if (api_)
            api_->events().publishEvent(type, QJsonDocument(object).toJson(QJsonDocument::Compact));
    };
    scheduler_.tell = [this](const QString& text) { tell(text); };
    scheduler_.event = [publish](const QJsonObject& object) { publish("schedule", object); };
    scheduler_.outcome = [this](const QString& projector, const QString& problem) {
        alerts_.scheduleOutcome(projector, problem);
    };
    alerts_.changed = [this, publish](const AlertMessage& message) {
        log_.note("alerts", message.projector.toStdString(),
                  (message.raised ? "raised: " : "cleared: ") + message.text.toStdString());
        publish("alert", alertJson(message));
        outbox_.post(message);
    };
    // Lines the journal reads with their priority, as sd-daemon's prefix gives it.
    outbox_.journal = [this](int priority, const QString& text) {
        err_ << '<' << priority << '>' << kProgram << ": " << text << '\n';
        err_.flush();
    };
    outbox_.tell = [this](const QString& text) {
        tell(text);
        log_.note("alerts", std::string(), text.toStdString());
    };
}

Daemon::~Daemon() {
    // The server first: nothing may call into the API once it is gone.
    http_.reset();
    mqtt_.reset();
    mqttClient_.reset();
    api_.reset();
}

void Daemon::tell(const QString& text) {
    err_ << kProgram << ": " << text << '\n';
    err_.flush();
}

std::optional<Daemon::Loaded> Daemon::load() {
    Loaded loaded;
    std::vector<QString> problems;
    ConfigRead config = readServiceConfig(options_.configFile);
    problems = config.problems;
    loaded.config = config.config;
    if (options_.listen) {
        if (std::optional<QString> wrong =
                parseListen(*options_.listen, loaded.config.address, loaded.config.port))
            problems.push_back(QStringLiteral("--listen: %1").arg(*wrong));
    }
    ProjectorList projectors = readProjectors(options_.projectorsFile);
    problems.insert(problems.end(), projectors.problems.begin(), projectors.problems.end());
    loaded.projectors = std::move(projectors.projectors);
    if (problems.empty()) {
        std::vector<QString> names;
        for (const Projector& p : loaded.projectors) names.push_back(p.name);
        const std::vector<QString> unknown = unknownProjectors(
            loaded.config.schedule, names, options_.configFile, options_.projectorsFile);
        problems.insert(problems.end(), unknown.begin(), unknown.end());
    }
    if (problems.empty()) {
        TokenRead tokens = TokenStore::read(loaded.config.tokenFile);
        problems = tokens.problems;
        loaded.tokens = std::move(tokens.tokens);
        TlsRead tls = readTlsFiles(config);
        problems.insert(problems.end(), tls.problems.begin(), tls.problems.end());
        loaded.tls = std::move(tls.pem);
        if (std::optional<QString> wrong = loadMqttPassword(loaded.config.mqtt))
            problems.push_back(*wrong);
    }
    for (const QString& problem : problems) tell(problem);
    if (!problems.empty()) return std::nullopt;
    return loaded;
}

void Daemon::apply(Loaded loaded) {
    if (loaded.config.logFile != config_.logFile || !log_.active()) {
        log_.stop();
        if (!loaded.config.logFile.isEmpty()) {
            std::vector<LoggedPort> named;
            for (const Projector& p : loaded.projectors)
                named.push_back(LoggedPort{p.name.toStdString(), p.port.toStdString()});
            if (auto refused =
                    log_.start(QFile::encodeName(loaded.config.logFile).toStdString(), named))
                tell(QStringLiteral("%1: %2; going on without a log")
                         .arg(loaded.config.logFile, QString::fromStdString(*refused)));
        }
    }
    if (loaded.tokens.empty())
        tell(QStringLiteral("no token in %1 yet: every request but /healthz is refused; add one "
                            "with --add-token NAME ROLE")
                 .arg(loaded.config.tokenFile));
    tokens_.setTokens(std::move(loaded.tokens));
    std::vector<QString> names;
    for (const Projector& p : loaded.projectors) names.push_back(p.name);
    fleet_.setProjectors(std::move(loaded.projectors));
    fleet_.setPollInterval(loaded.config.poll);
    alerts_.setSettings(loaded.config.alerts.settings);
    alerts_.keepOnly(names);
    outbox_.setDelivery(loaded.config.alerts.delivery);
    scheduler_.setRules(loaded.config.schedule.rules, loaded.config.schedule.zone,
                        loaded.config.schedule.stateFile);
    config_ = std::move(loaded.config);
}

std::optional<QString> Daemon::listen(const QHostAddress& address, quint16 port) {
    http_ =
        std::make_unique<HttpServer>([this](const HttpRequest& request, const HttpReply& reply) {
            api_->handle(request, reply);
        });
    if (tls_) http_->useTls(tls_->certificate, tls_->key);
    std::optional<QString> refused = http_->listen(address, port);
    if (refused) http_.reset();
    return refused;
}

void Daemon::relisten(std::optional<TlsPem> tls) {
    const quint16 port = http_ ? http_->port() : config_.port;
    std::optional<TlsPem> before = std::exchange(tls_, std::move(tls));
    // libmicrohttpd takes its certificate only as it starts: the listener starts again on the
    // same port, and the requests open on the old one (the event streams too) are cut.
    if (api_) api_->events().closeAll();
    http_.reset();
    std::optional<QString> refused = listen(config_.address, port);
    if (!refused) {
        tell(tls_ ? QStringLiteral("listening again with the new certificate")
                  : QStringLiteral("listening again, without TLS"));
        return;
    }
    tell(QStringLiteral("%1; back to the certificate before").arg(*refused));
    tls_ = std::move(before);
    if (std::optional<QString> again = listen(config_.address, port)) {
        tell(*again);
        failed_ = true;
        stop();
    }
}

bool Daemon::start() {
    std::optional<Loaded> loaded = load();
    if (!loaded) return false;
    const QHostAddress address = loaded->config.address;
    const quint16 wanted = loaded->config.port;
    tls_ = std::move(loaded->tls);
    apply(std::move(*loaded));
    api_ = std::make_unique<ServiceApi>(fleet_, tokens_, throttle_, log_);
    api_->scheduleListing = [this] { return scheduler_.listing(); };
    api_->alertListing = [this] { return alerts_.listing(); };
    // The alerts see each row after the API has: its end of an exchange is a reading.
    fleet_.rowChanged = [this, shown = fleet_.rowChanged](int row) {
        if (shown) shown(row);
        if (row >= 0 && static_cast<std::size_t>(row) < fleet_.rows().size())
            alerts_.rowChanged(fleet_.rows()[static_cast<std::size_t>(row)]);
    };
    api_->setWeb(config_.web);
    if (std::optional<QString> refused = listen(address, wanted)) {
        tell(*refused);
        return false;
    }
    const QString shown = address.protocol() == QAbstractSocket::IPv6Protocol
                              ? QStringLiteral("[%1]").arg(address.toString())
                              : address.toString();
    tell(QStringLiteral("listening on %1:%2%3, %4 projectors")
             .arg(shown)
             .arg(http_->port())
             .arg(tls_ ? QStringLiteral(" over HTTPS") : QString())
             .arg(fleet_.rows().size()));
    startMqtt();
    fleet_.startPolling();
    return true;
}

void Daemon::startMqtt() {
    const MqttConfig& mqtt = config_.mqtt;
    if (!mqtt.enabled()) return;
    MqttClientSettings settings{mqtt.host,
                                mqtt.brokerPort(),
                                mqtt.effectiveClientId(),
                                mqtt.user,
                                mqtt.password,
                                mqtt.caFile,
                                MqttTopics(mqtt.topicPrefix()).availability(),
                                "offline"};
    mqttClient_ = std::make_unique<MqttClient>(std::move(settings));
    mqtt_ = std::make_unique<MqttBridge>(fleet_, log_, mqtt, *mqttClient_);
    mqttClient_->start();
    // The password is never told.
    tell(QStringLiteral("MQTT: to %1:%2%3 as %4, topics under %5")
             .arg(mqtt.host)
             .arg(mqtt.brokerPort())
             .arg(mqtt.caFile.isEmpty() ? QString() : QStringLiteral(" over TLS"))
             .arg(mqtt.effectiveClientId(), mqtt.topicPrefix()));
}

void Daemon::reload() {
    std::optional<Loaded> loaded = load();
    if (!loaded) {
        tell(QStringLiteral("the files were not taken up again; the service goes on as it was"));
        return;
    }
    if (loaded->config.address != config_.address || loaded->config.port != config_.port)
        tell(QStringLiteral("a new listening address is taken up at the next start"));
    loaded->config.address = config_.address;
    loaded->config.port = config_.port;
    std::optional<TlsPem> tls = std::move(loaded->tls);
    if (loaded->config.mqtt.host != config_.mqtt.host ||
        loaded->config.mqtt.topicPrefix() != config_.mqtt.topicPrefix() ||
        loaded->config.mqtt.user != config_.mqtt.user ||
        loaded->config.mqtt.password != config_.mqtt.password)
        tell(QStringLiteral("a new [mqtt] section is taken up at the next start"));
    loaded->config.mqtt = config_.mqtt;
    apply(std::move(*loaded));
    if (api_) api_->setWeb(config_.web);
    if (tls != tls_ && http_) relisten(std::move(tls));
    if (failed_) return;
    fleet_.pollNow();
    tell(QStringLiteral("read again: %1 projectors").arg(fleet_.rows().size()));
}

void Daemon::stop() {
    if (api_) api_->events().closeAll();
    if (mqtt_) mqtt_->stop();
    // The server first, so that what the fleet still tells the API reaches no client.
    http_.reset();
    scheduler_.stop();
    fleet_.setProjectors({});  // every exchange cancelled, every line closed
    api_.reset();
    log_.stop();
    emit finished();
}

}  // namespace panel
