// projector-paneld as a whole: its two files read, the fleet polled, the API served, the signals
// heard. A bad file stops the start; SIGHUP reads both files again; SIGTERM ends it cleanly.
#pragma once

#include <QObject>
#include <QString>
#include <QTextStream>
#include <memory>
#include <optional>
#include <vector>

#include "fleet/fleet.h"
#include "service/action_log.h"
#include "service/alert_book.h"
#include "service/alert_outbox.h"
#include "service/failure_throttle.h"
#include "service/http_server.h"
#include "service/mqtt_bridge.h"
#include "service/mqtt_client.h"
#include "service/scheduler.h"
#include "service/service_api.h"
#include "service/service_config.h"
#include "service/tls_files.h"
#include "service/token_store.h"

namespace panel {

struct DaemonOptions {
    QString projectorsFile = kDefaultServiceProjectors;
    QString configFile = kDefaultServiceConfig;
    std::optional<QString> listen;  // in front of the configuration's
};

class Daemon final : public QObject {
    Q_OBJECT

public:
    Daemon(DaemonOptions options, QTextStream& err, QObject* parent = nullptr);
    ~Daemon() override;

    // Reads both files and listens; false, with every problem told, when it cannot.
    bool start();
    quint16 port() const { return http_ ? http_->port() : 0; }
    const Fleet& fleet() const { return fleet_; }
    Scheduler& scheduler() { return scheduler_; }

    // Both files again. A file that is now bad is told and changes nothing. A new certificate or
    // key starts the listener again.
    void reload();
    // Every stream ended, every line closed, the log closed; then finished().
    void stop();
    // Stopped because it could listen no more.
    bool failed() const { return failed_; }

signals:
    void finished();

private:
    struct Loaded;
    std::optional<Loaded> load();
    void apply(Loaded loaded);
    void tell(const QString& text);
    void wireScheduleAndAlerts();
    std::optional<QString> listen(const QHostAddress& address, quint16 port);
    void relisten(std::optional<TlsPem> tls);
    void startMqtt();

    DaemonOptions options_;
    QTextStream& err_;
    ServiceConfig config_;
    ActionLog log_;  // before the fleet: its exchanges' observers write to it
    TokenStore tokens_;
    FailureThrottle throttle_;
    Fleet fleet_;
    // After the fleet, so that they are gone before it: its lines' ends call into them.
    Scheduler scheduler_;
    AlertBook alerts_;
    AlertOutbox outbox_;
    std::unique_ptr<ServiceApi> api_;
    std::unique_ptr<HttpServer> http_;
    std::optional<TlsPem> tls_;  // what http_ serves with
    bool failed_ = false;
    std::unique_ptr<MqttClient> mqttClient_;
    std::unique_ptr<MqttBridge> mqtt_;  // after the API: it chains onto the fleet hooks the API set
};

}  // namespace panel
