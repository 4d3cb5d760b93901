#include "service/event_streams.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace panel {

EventStreams::EventStreams(QObject* parent) : QObject(parent) {
    keepAlive_.setInterval(kKeepAlive);
    keepAlive_.callOnTimeout(this, [this] {
        for (const HttpReply& client : clients_) client.write(": keep-alive\n\n");
        prune();
    });
}

QByteArray EventStreams::event(const QByteArray& data) {
    // Compact JSON holds no line break, so one data line carries it whole.
    return "event: projector\ndata: " + data + "\n\n";
}

void EventStreams::add(const HttpReply& reply, const std::vector<QByteArray>& snapshot) {
    reply.startStream();
    // A browser's EventSource comes back by itself after this long when the stream breaks.
    QByteArray first = "retry: 5000\n\n";
    for (const QByteArray& data : snapshot) first += event(data);
    reply.write(first);
    clients_.push_back(reply);
    if (!keepAlive_.isActive()) keepAlive_.start();
}

void EventStreams::publish(const QString& projector, const QByteArray& key,
                           const QByteArray& data) {
    auto last = lastKey_.find(projector);
    if (last != lastKey_.end() && *last == key) return;
    lastKey_.insert(projector, key);
    const QByteArray bytes = event(data);
    for (const HttpReply& client : clients_) client.write(bytes);
    prune();
}

void EventStreams::publishEvent(const QByteArray& type, const QByteArray& data) {
    const QByteArray bytes = "event: " + type + "\ndata: " + data + "\n\n";
    for (const HttpReply& client : clients_) client.write(bytes);
    prune();
}

void EventStreams::removed(const QString& projector) {
    lastKey_.remove(projector);
    publishEvent("removed",
                 QJsonDocument(QJsonObject{{"name", projector}}).toJson(QJsonDocument::Compact));
}

void EventStreams::closeAll() {
    for (const HttpReply& client : clients_) client.close();
    clients_.clear();
    keepAlive_.stop();
}

std::size_t EventStreams::clients() {
    prune();
    return clients_.size();
}

void EventStreams::prune() {
    std::erase_if(clients_, [](const HttpReply& client) { return !client.open(); });
    if (clients_.empty()) keepAlive_.stop();
}

}  // namespace panel
