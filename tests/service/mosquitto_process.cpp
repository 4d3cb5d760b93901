#include "tests/service/mosquitto_process.h"

#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace panel::test {
namespace {

quint16 freePort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) return 0;
    return probe.serverPort();
}

}  // namespace

MosquittoProcess::MosquittoProcess(const QStringList& extraLines) : port_(freePort()) {
    QFile config(dir_.filePath(QStringLiteral("mosquitto.conf")));
    if (!config.open(QIODevice::WriteOnly)) return;
    const QStringList lines =
        QStringList{QStringLiteral("listener %1 127.0.0.1").arg(port_),
                    QStringLiteral("allow_anonymous true"), QStringLiteral("persistence false"),
                    // Started by root, it would become the mosquitto user, who may not read the
                    // test's own files.
                    QStringLiteral("user root")} +
        extraLines;
    config.write(lines.join(QLatin1Char('\n')).toUtf8() + '\n');
    process_.setProcessChannelMode(QProcess::MergedChannels);
}

MosquittoProcess::~MosquittoProcess() {
    kill();
}

bool MosquittoProcess::start() {
    if (port_ == 0) return false;
    process_.start(QStringLiteral("mosquitto"),
                   {QStringLiteral("-c"), dir_.filePath(QStringLiteral("mosquitto.conf"))});
    if (!process_.waitForStarted()) return false;
    return QTest::qWaitFor(
               [&] {
                   if (process_.state() == QProcess::NotRunning) return true;
                   QTcpSocket probe;
                   probe.connectToHost(QHostAddress::LocalHost, port_);
                   return probe.waitForConnected(100);
               },
               10000) &&
           process_.state() == QProcess::Running;
}

void MosquittoProcess::kill() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.kill();
    process_.waitForFinished();
}

QString MosquittoProcess::log() {
    return QString::fromUtf8(process_.readAll());
}

}  // namespace panel::test
