#include "service/alert_outbox.h"

#include <QJsonDocument>
#include <QNetworkReply>
#include <QProcess>
#include <algorithm>
#include <cstdint>

namespace panel {

struct AlertOutbox::Destination {
    enum class Kind { Webhook, Mail } kind;
    QUrl url;      // a webhook's
    QString name;  // as the log names it: no password
    std::deque<AlertMessage> queue;
    bool sending = false;
    int failures = 0;  // in a row, for the pause before the next try
    QTimer retry;
    QObject* attempt = nullptr;  // the reply or process on its way
};

namespace {

QString withoutControls(const QString& text) {
    QString clean;
    for (const QChar c : text) clean += c.unicode() < 0x20 || c.unicode() == 0x7F ? QChar(' ') : c;
    return clean;
}

QString mailText(const AlertMessage& m, const AlertDelivery& delivery) {
    QString text = QStringLiteral("To: %1\n")
                       .arg(QStringList(delivery.mailTo.begin(), delivery.mailTo.end())
                                .join(QStringLiteral(", ")));
    if (!delivery.mailFrom.isEmpty()) text += QStringLiteral("From: %1\n").arg(delivery.mailFrom);
    text +=
        QStringLiteral("Subject: ") +
        QString::fromLatin1(headerValue(QStringLiteral("[projector-paneld] ") + alertTitle(m))) +
        QStringLiteral(
            "\nMIME-Version: 1.0\nContent-Type: text/plain; charset=utf-8\n"
            "Content-Transfer-Encoding: 8bit\n\n");
    text += QStringLiteral("%1\n\nProjector: %2\nAlert: %3 (%4)\nAt: %5\n")
                .arg(withoutControls(m.text), withoutControls(m.projector), m.kind,
                     m.raised ? QStringLiteral("raised") : QStringLiteral("cleared"),
                     m.at.toUTC().toString(Qt::ISODate));
    return text;
}

}  // namespace

QByteArray headerValue(const QString& text) {
    const QString clean = withoutControls(text);
    bool plain = true;
    for (const QChar c : clean) plain = plain && c.unicode() < 0x7F;
    if (plain) return clean.toLatin1();
    return "=?UTF-8?B?" + clean.toUtf8().toBase64() + "?=";
}

AlertOutbox::AlertOutbox(QObject* parent) : QObject(parent) {}

AlertOutbox::~AlertOutbox() {
    for (auto& d : destinations_) delete d->attempt;
}

void AlertOutbox::setDelivery(const AlertDelivery& delivery) {
    std::vector<std::unique_ptr<Destination>> next;
    auto take = [&](Destination::Kind kind, const QUrl& url, const QString& name) {
        for (auto& old : destinations_)
            if (old && old->kind == kind && old->name == name) {
                next.push_back(std::move(old));
                return;
            }
        auto d = std::make_unique<Destination>();
        d->kind = kind;
        d->url = url;
        d->name = name;
        d->retry.setSingleShot(true);
        Destination* raw = d.get();
        d->retry.callOnTimeout(this, [this, raw] { pump(*raw); });
        next.push_back(std::move(d));
    };
    for (const QUrl& url : delivery.webhooks)
        take(Destination::Kind::Webhook, url,
             QStringLiteral("webhook ") +
                 url.toDisplayString(QUrl::RemovePassword | QUrl::RemoveUserInfo));
    if (!delivery.mailTo.empty())
        take(
            Destination::Kind::Mail, {},
            QStringLiteral("mail to ") +
                QStringList(delivery.mailTo.begin(), delivery.mailTo.end()).join(QLatin1Char(',')));
    for (auto& old : destinations_) {
        if (!old) continue;
        if (!old->queue.empty() && tell)
            tell(QStringLiteral("alerts: %1 is no longer configured: %2 waiting alerts dropped")
                     .arg(old->name)
                     .arg(old->queue.size()));
        delete old->attempt;
    }
    destinations_ = std::move(next);
    delivery_ = delivery;
}

void AlertOutbox::post(const AlertMessage& message) {
    if (delivery_.journal && journal)
        journal(message.raised ? 4 : 5,
                QStringLiteral("alert %1: %2: %3")
                    .arg(message.raised ? QStringLiteral("raised") : QStringLiteral("cleared"),
                         withoutControls(alertTitle(message)), withoutControls(message.text)));
    for (auto& d : destinations_) {
        if (d->queue.size() >= delivery_.queueLimit) {
            // The oldest goes: the latest tells the state as it is now. The one on its way stays.
            const std::size_t at = d->sending ? 1 : 0;
            if (at < d->queue.size()) {
                const AlertMessage& lost = d->queue[at];
                if (tell)
                    tell(QStringLiteral("alerts: %1 holds %2 waiting alerts, the most it keeps: "
                                        "dropped \"%3\" of %4")
                             .arg(d->name)
                             .arg(d->queue.size())
                             .arg(withoutControls(alertTitle(lost)),
                                  lost.at.toUTC().toString(Qt::ISODate)));
                d->queue.erase(d->queue.begin() + static_cast<std::ptrdiff_t>(at));
            }
        }
        d->queue.push_back(message);
        if (!d->retry.isActive()) pump(*d);
    }
}

std::size_t AlertOutbox::waiting() const {
    std::size_t n = 0;
    for (const auto& d : destinations_) n += d->queue.size();
    return n;
}

void AlertOutbox::pump(Destination& d) {
    if (d.sending || d.queue.empty()) return;
    d.sending = true;
    if (d.kind == Destination::Kind::Webhook)
        sendWebhook(d, d.queue.front());
    else
        sendMail(d, d.queue.front());
}

void AlertOutbox::delivered(Destination& d, bool ok, const QString& why) {
    d.sending = false;
    d.attempt = nullptr;
    if (ok) {
        d.failures = 0;
        if (!d.queue.empty()) d.queue.pop_front();
        pump(d);
        return;
    }
    ++d.failures;
    const std::chrono::milliseconds grown =
        delivery_.retryFirst * (std::int64_t{1} << std::min(d.failures - 1, 20));
    const std::chrono::milliseconds pause = std::min(delivery_.retryMost, grown);
    if (tell && d.failures == 1)
        tell(QStringLiteral("alerts: %1 failed (%2); trying again with a growing pause")
                 .arg(d.name, why));
    d.retry.start(pause);
}

void AlertOutbox::sendWebhook(Destination& d, const AlertMessage& message) {
    QNetworkRequest request(d.url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    // What ntfy reads; any other receiver has the same in the body.
    request.setRawHeader("Title", headerValue(alertTitle(message)));
    request.setRawHeader("Priority", message.raised ? "high" : "default");
    request.setRawHeader("Tags", message.raised ? "warning" : "white_check_mark");
    request.setTransferTimeout(static_cast<int>(delivery_.patience.count()));
    const QByteArray body = QJsonDocument(alertJson(message)).toJson(QJsonDocument::Compact);
    QNetworkReply* reply = network_.post(request, body);
    d.attempt = reply;
    Destination* raw = &d;
    connect(reply, &QNetworkReply::finished, this, [this, raw, reply] {
        reply->deleteLater();
        if (raw->attempt != reply) return;  // dropped with its destination
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const bool ok = reply->error() == QNetworkReply::NoError && status >= 200 && status < 300;
        delivered(*raw, ok,
                  status != 0 ? QStringLiteral("HTTP %1").arg(status) : reply->errorString());
    });
}

void AlertOutbox::sendMail(Destination& d, const AlertMessage& message) {
    auto* process = new QProcess(this);
    d.attempt = process;
    Destination* raw = &d;
    auto end = [this, raw, process](bool ok, const QString& why) {
        if (raw->attempt != process) return;
        process->disconnect(this);
        process->deleteLater();
        delivered(*raw, ok, why);
    };
    connect(process, &QProcess::errorOccurred, this, [end, process](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart || e == QProcess::Timedout)
            end(false, process->errorString());
    });
    connect(process, &QProcess::finished, this, [end](int code, QProcess::ExitStatus status) {
        end(status == QProcess::NormalExit && code == 0,
            QStringLiteral("sendmail ended with %1").arg(code));
    });
    // A sendmail that never ends is not waited for past the patience of one try.
    QTimer::singleShot(delivery_.patience, process, [end, process] {
        process->kill();
        end(false, QStringLiteral("sendmail took too long"));
    });
    // -t: the recipients from the message's own To:; -oi: a lone "." is no end of the message.
    process->start(delivery_.sendmail, {QStringLiteral("-t"), QStringLiteral("-oi")});
    process->write(mailText(message, delivery_).toUtf8());
    process->closeWriteChannel();
}

}  // namespace panel
