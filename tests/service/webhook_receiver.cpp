#include "tests/service/webhook_receiver.h"

#include <QTcpSocket>
#include <memory>

namespace panel::test {

WebhookReceiver::WebhookReceiver(std::deque<int> statuses, QObject* parent)
    : QObject(parent), statuses_(std::move(statuses)) {
    clock_.start();
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) serve(socket);
    });
}

QByteArray WebhookReceiver::url(const QByteArray& path) const {
    return "http://127.0.0.1:" + QByteArray::number(port()) + path;
}

std::vector<ReceivedPost> WebhookReceiver::accepted() const {
    std::vector<ReceivedPost> out;
    for (std::size_t i = 0; i < posts_.size(); ++i)
        if (ok_[i]) out.push_back(posts_[i]);
    return out;
}

void WebhookReceiver::serve(QTcpSocket* socket) {
    auto buffer = std::make_shared<QByteArray>();
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
        *buffer += socket->readAll();
        // One request at a time: the head, then as much body as Content-Length says.
        for (;;) {
            const qsizetype headEnd = buffer->indexOf("\r\n\r\n");
            if (headEnd < 0) return;
            const QList<QByteArray> lines = buffer->left(headEnd).split('\n');
            ReceivedPost post;
            post.path = lines.front().split(' ').value(1);
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const qsizetype colon = lines[i].indexOf(':');
                if (colon > 0)
                    post.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                        lines[i].mid(colon + 1).trimmed());
            }
            const qsizetype length = post.headers.value("content-length").toLongLong();
            if (buffer->size() < headEnd + 4 + length) return;
            post.body = buffer->mid(headEnd + 4, length);
            buffer->remove(0, headEnd + 4 + length);
            post.atMs = clock_.elapsed();
            post.monotonicMs = clock_.msecsSinceReference() + post.atMs;
            int status = 200;
            if (!statuses_.empty()) {
                status = statuses_.front();
                statuses_.pop_front();
            }
            posts_.push_back(post);
            ok_.push_back(status >= 200 && status < 300);
            socket->write("HTTP/1.1 " + QByteArray::number(status) +
                          " As told\r\nContent-Length: 0\r\n\r\n");
        }
    });
}

}  // namespace panel::test
