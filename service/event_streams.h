// The live event stream's clients: each is sent every projector when it comes, then each change
// of a projector's state as it happens, as Server-Sent Events. A comment line now and then keeps
// proxies from closing a quiet stream and shows which clients went away.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <vector>

#include "service/http_server.h"

namespace panel {

class EventStreams final : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::seconds kKeepAlive{15};

    explicit EventStreams(QObject* parent = nullptr);

    // `snapshot` is every projector's event data, sent to this client first.
    void add(const HttpReply& reply, const std::vector<QByteArray>& snapshot);
    // Sent to every client, unless the projector's `key` (what a change means) is as last sent.
    void publish(const QString& projector, const QByteArray& key, const QByteArray& data);
    // Sent to every client as it is, as an event of its own `type` ("schedule", "alert").
    void publishEvent(const QByteArray& type, const QByteArray& data);
    // Tells every client that the projector is gone (`event: removed`, its name as data); a
    // projector of that name added later is told in full.
    void removed(const QString& projector);
    void closeAll();
    std::size_t clients();

private:
    static QByteArray event(const QByteArray& data);
    void prune();

    std::vector<HttpReply> clients_;
    QHash<QString, QByteArray> lastKey_;
    QTimer keepAlive_;
};

}  // namespace panel
