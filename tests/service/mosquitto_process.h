// A real mosquitto for a test: its own configuration, on 127.0.0.1 at a port free at start,
// started, killed and started again on the same port.
#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace panel::test {

class MosquittoProcess {
public:
    explicit MosquittoProcess(const QStringList& extraLines = {});
    ~MosquittoProcess();

    // Started, and waited for until it takes connections; false when it does not.
    bool start();
    void kill();
    quint16 port() const { return port_; }
    QString log();

private:
    QTemporaryDir dir_;
    quint16 port_ = 0;
    QProcess process_;
};

}  // namespace panel::test
