#include "tests/service/service_fixture.h"

#include <QJsonDocument>

#include "fleet/projectors_file.h"

namespace panel::test {

void ServiceFixture::SetUpTestSuite() {
    // Never the machine's own settings.
    static QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
}

void ServiceFixture::SetUp() {
    ASSERT_TRUE(sims_.ok());
    const QString tokens = dir_.filePath(QStringLiteral("tokens"));
    ASSERT_FALSE(TokenStore::add(tokens, QStringLiteral("phone"), Role::Viewer, viewer_));
    ASSERT_FALSE(TokenStore::add(tokens, QStringLiteral("desk"), Role::Operator, operator_));
    tokens_.setTokens(TokenStore::read(tokens).tokens);
    const QByteArray file = QStringLiteral(
                                "[Hall A]\nport = %1\n[講義室 101]\nport = %2\n"
                                "[Gone]\nport = %3\n")
                                .arg(link(0), link(1), dir_.filePath(QStringLiteral("nothing")))
                                .toUtf8();
    fleet_ = std::make_unique<Fleet>(parseProjectors(file, QStringLiteral("p.ini")).projectors);
    log_ = std::make_unique<ActionLog>("projector-paneld test");
    ASSERT_FALSE(log_->start(dir_.filePath(QStringLiteral("session.log")).toStdString(), {}));
    api_ = std::make_unique<ServiceApi>(*fleet_, tokens_, throttle_, *log_);
    server_ =
        std::make_unique<HttpServer>([this](const HttpRequest& request, const HttpReply& reply) {
            api_->handle(request, reply);
        });
    ASSERT_FALSE(server_->listen(QHostAddress::LocalHost, 0));
}

void ServiceFixture::TearDown() {
    server_.reset();
    api_.reset();
    fleet_.reset();
}

QByteArray ServiceFixture::tokenOf(Caller caller) const {
    switch (caller) {
        case Caller::Nobody:
            return {};
        case Caller::Stranger:
            return "not-a-token-of-ours";
        case Caller::Viewer:
            return viewer_;
        case Caller::Operator:
            return operator_;
    }
    return {};
}

Answer ServiceFixture::call(const QByteArray& method, const QByteArray& path, Caller caller,
                            const QByteArray& body) {
    QNetworkRequest request(
        QUrl::fromEncoded("http://127.0.0.1:" + QByteArray::number(server_->port()) + path));
    if (caller != Caller::Nobody)
        request.setRawHeader("Authorization", "Bearer " + tokenOf(caller));
    if (!body.isEmpty()) request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    QNetworkReply* reply = client_.sendCustomRequest(request, method, body);
    Answer answer;
    // A stream never finishes: its status is enough.
    QObject::connect(reply, &QNetworkReply::metaDataChanged, [&] {
        answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->header(QNetworkRequest::ContentTypeHeader).toString() ==
            QLatin1String("text/event-stream"))
            reply->abort();
    });
    (void)QTest::qWaitFor([&] { return reply->isFinished(); }, kPatienceMs);
    answer.body = reply->readAll();
    answer.json = QJsonDocument::fromJson(answer.body).object();
    reply->deleteLater();
    return answer;
}

Answer ServiceFixture::raw(const QByteArray& request, int patienceMs) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, server_->port());
    QByteArray got;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] { got += socket.readAll(); });
    QObject::connect(&socket, &QTcpSocket::connected, [&] { socket.write(request); });
    (void)QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; },
                          patienceMs);
    got += socket.readAll();
    Answer answer;
    // "HTTP/1.1 404 Not Found": the status, and the body after the headers.
    if (got.startsWith("HTTP/1.")) answer.status = got.mid(9, 3).toInt();
    const qsizetype end = got.indexOf("\r\n\r\n");
    answer.body = end < 0 ? QByteArray() : got.mid(end + 4);
    answer.head = end < 0 ? got : got.left(end + 2);
    answer.json = QJsonDocument::fromJson(answer.body).object();
    return answer;
}

bool ServiceFixture::healthy() {
    return call("GET", "/healthz", Caller::Nobody).status == 200;
}

}  // namespace panel::test
