// A webhook's far end for tests: on 127.0.0.1 at a free port, it keeps each POST it is sent
// (headers and body) and answers with the statuses it is told, one per request, then 200.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QMap>
#include <QTcpServer>
#include <deque>
#include <vector>

namespace panel::test {

struct ReceivedPost {
    QByteArray path;
    QMap<QByteArray, QByteArray> headers;  // names in lower case
    QByteArray body;
    qint64 atMs = 0;         // on the receiver's own clock
    qint64 monotonicMs = 0;  // CLOCK_MONOTONIC, as the simulator's frame log
};

class WebhookReceiver final : public QObject {
public:
    explicit WebhookReceiver(std::deque<int> statuses = {}, QObject* parent = nullptr);

    quint16 port() const { return server_.serverPort(); }
    QByteArray url(const QByteArray& path = "/topic") const;
    // Every request, answered well or not, in order.
    const std::vector<ReceivedPost>& posts() const { return posts_; }
    // Those answered 2xx.
    std::vector<ReceivedPost> accepted() const;
    qint64 nowMs() const { return clock_.elapsed(); }

private:
    void serve(QTcpSocket* socket);

    QTcpServer server_;
    std::deque<int> statuses_;
    std::vector<ReceivedPost> posts_;
    std::vector<bool> ok_;
    QElapsedTimer clock_;
};

}  // namespace panel::test
