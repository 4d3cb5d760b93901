// Where alerts go: webhooks (a JSON POST with the headers ntfy reads, so a topic's URL works as it
// is), mail through the machine's sendmail, and the journal. Each destination keeps its own
// bounded queue and tries again with a growing pause; nothing on it ever waits.
#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "service/alert_book.h"

namespace panel {

struct AlertDelivery {
    std::vector<QUrl> webhooks;
    std::vector<QString> mailTo;
    QString mailFrom;                               // sendmail's own default when empty
    QString sendmail = QStringLiteral("sendmail");  // found on PATH unless a path
    bool journal = true;
    std::size_t queueLimit = 100;  // per destination
    std::chrono::milliseconds retryFirst{std::chrono::seconds(5)};
    std::chrono::milliseconds retryMost{std::chrono::minutes(5)};
    std::chrono::milliseconds patience{std::chrono::seconds(20)};  // one try at most
};

class AlertOutbox final : public QObject {
    Q_OBJECT

public:
    explicit AlertOutbox(QObject* parent = nullptr);
    ~AlertOutbox() override;

    // Destinations that stay keep what they hold; those gone drop it, and say so.
    void setDelivery(const AlertDelivery& delivery);
    void post(const AlertMessage& message);
    // Messages waiting or on their way, over every destination.
    std::size_t waiting() const;

    // A journal line and its priority (syslog's numbers: 3 error, 4 warning, 5 notice).
    std::function<void(int priority, const QString& text)> journal;
    // What went wrong with a delivery, and what a full queue dropped.
    std::function<void(const QString& text)> tell;

private:
    struct Destination;
    void pump(Destination& d);
    void delivered(Destination& d, bool ok, const QString& why);
    void sendWebhook(Destination& d, const AlertMessage& message);
    void sendMail(Destination& d, const AlertMessage& message);

    AlertDelivery delivery_;
    std::vector<std::unique_ptr<Destination>> destinations_;
    QNetworkAccessManager network_;
};

// "=?UTF-8?B?...?=" for a header value that is not plain printable ASCII; control characters
// are dropped first, so that a projector's name can never start a header of its own.
QByteArray headerValue(const QString& text);

}  // namespace panel
