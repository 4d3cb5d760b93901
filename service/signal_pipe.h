// SIGTERM, SIGINT and SIGHUP brought onto the event loop: the handler only writes the signal's
// number to a pipe, which a socket notifier reads, so nothing unsafe runs inside the handler.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace panel {

class SignalPipe final : public QObject {
    Q_OBJECT

public:
    explicit SignalPipe(QObject* parent = nullptr);
    ~SignalPipe() override;

    bool ok() const { return notifier_ != nullptr; }

signals:
    void terminate();
    void reload();

private:
    void readSignals();

    int fds_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace panel
