#include "serial/port_url.h"

#include <QHostAddress>

namespace panel {

namespace {

bool isNameCharacter(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('.') ||
           c == QLatin1Char('_');
}

}  // namespace

bool isPortUrl(const QString& device) {
    return device.contains(QLatin1String("://"));
}

namespace {

// Each step reads its part into url and moves rest past it; what it returns says what is wrong.

QString readScheme(const QString& text, PortUrl& url, QStringView& rest) {
    const qsizetype schemeEnd = text.indexOf(QLatin1String("://"));
    if (schemeEnd < 0) return QStringLiteral("not a URL (rfc2217://HOST:PORT)");
    const QString scheme = text.left(schemeEnd).toLower();
    if (scheme == QLatin1String("rfc2217"))
        url.scheme = PortUrl::Scheme::Rfc2217;
    else if (scheme == QLatin1String("socket"))
        url.scheme = PortUrl::Scheme::Socket;
    else
        return QStringLiteral("unknown scheme '%1' (use rfc2217:// or socket://)")
            .arg(text.left(schemeEnd));
    rest = QStringView(text).mid(schemeEnd + 3);
    return {};
}

QString readHost(PortUrl& url, QStringView& rest) {
    if (rest.startsWith(QLatin1Char('['))) {
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        if (close < 0) return QStringLiteral("the IPv6 address has no closing ']'");
        url.host = rest.mid(1, close - 1).toString();
        if (QHostAddress(url.host).protocol() != QAbstractSocket::IPv6Protocol)
            return QStringLiteral("'%1' is not an IPv6 address").arg(url.host);
        rest = rest.mid(close + 1);
        return {};
    }
    const qsizetype colon = rest.indexOf(QLatin1Char(':'));
    url.host = rest.left(colon).toString();
    if (url.host.isEmpty()) return QStringLiteral("no host");
    for (QChar c : url.host)
        if (!isNameCharacter(c)) return QStringLiteral("'%1' is not a host name").arg(url.host);
    rest = colon < 0 ? QStringView() : rest.mid(colon);
    return {};
}

QString readPort(PortUrl& url, QStringView rest) {
    if (!rest.startsWith(QLatin1Char(':'))) {
        if (rest.isEmpty()) return QStringLiteral("no port (HOST:PORT)");
        return QStringLiteral("unexpected '%1' after the host").arg(rest.toString());
    }
    rest = rest.mid(1);
    qsizetype digits = 0;
    while (digits < rest.size() && rest[digits].isDigit() && rest[digits].unicode() < 128) ++digits;
    if (digits == 0) return QStringLiteral("no port (HOST:PORT)");
    if (digits < rest.size())
        return QStringLiteral("unexpected '%1' after the port").arg(rest.mid(digits).toString());
    const QStringView number = rest.left(digits);
    bool ok = false;
    const uint port = number.toUInt(&ok);
    if (!ok || port < 1 || port > 65535)
        return QStringLiteral("port %1 is not between 1 and 65535").arg(number);
    url.port = static_cast<std::uint16_t>(port);
    return {};
}

}  // namespace

ParsedPortUrl parsePortUrl(const QString& text) {
    PortUrl url;
    QStringView rest;
    QString why = readScheme(text, url, rest);
    if (why.isEmpty()) why = readHost(url, rest);
    if (why.isEmpty()) why = readPort(url, rest);
    if (!why.isEmpty()) return {std::nullopt, why};
    return {url, {}};
}

}  // namespace panel
