#include "service/alert_config.h"

#include <QRegularExpression>
#include <chrono>

namespace panel {
namespace {

std::optional<QString> wholeNumber(const QString& key, const QString& value, int low, int high,
                                   int& out) {
    bool ok = false;
    const int n = value.toInt(&ok);
    if (!ok || n < low || n > high)
        return QStringLiteral("%1 must be a whole number from %2 to %3, not '%4'")
            .arg(key)
            .arg(low)
            .arg(high)
            .arg(value);
    out = n;
    return std::nullopt;
}

std::optional<QString> yesNo(const QString& key, const QString& value, bool& out) {
    if (value == QLatin1String("yes") || value == QLatin1String("true")) {
        out = true;
    } else if (value == QLatin1String("no") || value == QLatin1String("false")) {
        out = false;
    } else {
        return QStringLiteral("%1 must be yes or no, not '%2'").arg(key, value);
    }
    return std::nullopt;
}

// A plain address: nothing that could end the header or add a recipient of its own.
bool mailAddress(const QString& value) {
    static const QRegularExpression shape(QStringLiteral(R"(^[^\s,;<>"@]+@[^\s,;<>"@]+$)"));
    return shape.match(value).hasMatch();
}

}  // namespace

std::optional<QString> setAlertKey(AlertConfig& config, const QString& key, const QString& value) {
    AlertDelivery& d = config.delivery;
    int n = 0;
    if (key == QLatin1String("webhook")) {
        const QUrl url(value, QUrl::StrictMode);
        if (!url.isValid() ||
            (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) ||
            url.host().isEmpty())
            return QStringLiteral("'%1' is no http:// or https:// URL").arg(value);
        d.webhooks.push_back(url);
    } else if (key == QLatin1String("mail_to")) {
        if (!mailAddress(value)) return QStringLiteral("'%1' is no mail address").arg(value);
        d.mailTo.push_back(value);
    } else if (key == QLatin1String("mail_from")) {
        if (!mailAddress(value)) return QStringLiteral("'%1' is no mail address").arg(value);
        d.mailFrom = value;
    } else if (key == QLatin1String("sendmail")) {
        if (value.isEmpty()) return QStringLiteral("sendmail needs a program");
        d.sendmail = value;
    } else if (key == QLatin1String("journal")) {
        return yesNo(key, value, d.journal);
    } else if (key == QLatin1String("queue_limit")) {
        if (auto wrong = wholeNumber(key, value, 1, 100000, n)) return wrong;
        d.queueLimit = static_cast<std::size_t>(n);
    } else if (key == QLatin1String("retry_ms")) {
        if (auto wrong = wholeNumber(key, value, 10, 3600000, n)) return wrong;
        d.retryFirst = std::chrono::milliseconds(n);
        d.retryMost = std::max(d.retryMost, d.retryFirst);
    } else if (key == QLatin1String("retry_most_ms")) {
        if (auto wrong = wholeNumber(key, value, 10, 86400000, n)) return wrong;
        d.retryMost = std::chrono::milliseconds(n);
    } else if (key == QLatin1String("no_answer_polls")) {
        if (auto wrong = wholeNumber(key, value, 1, 100000, n)) return wrong;
        config.settings.noAnswerPolls = n;
    } else if (key == QLatin1String("lamp_hours_above")) {
        if (auto wrong = wholeNumber(key, value, 0, 99999, n)) return wrong;
        config.settings.lampHoursAbove = n;
    }
    return std::nullopt;
}

}  // namespace panel
