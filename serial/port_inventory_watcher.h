// Keeps the port inventory current while the chooser is open: rescans, off the window's thread,
// when /dev or the by-id folder changes, and at least twice a second for what watching misses.
#pragma once

#include <QFileSystemWatcher>
#include <QFutureWatcher>
#include <QList>
#include <QObject>
#include <QTimer>
#include <chrono>

#include "serial/port_inventory.h"

namespace panel {

class PortInventoryWatcher final : public QObject {
    Q_OBJECT

public:
    explicit PortInventoryWatcher(QString byIdFolder = kSerialByIdFolder,
                                  QString procRoot = QStringLiteral("/proc"),
                                  QObject* parent = nullptr);
    ~PortInventoryWatcher() override;

    // The last inventory taken; empty until the first scan has finished.
    const QList<PortEntry>& entries() const { return entries_; }
    const QString& byIdFolder() const { return byIdFolder_; }

signals:
    // A scan found something other than the last one did (the first scan always does).
    void changed();

private:
    void rescan();
    void scanned();
    void watchFolders();

    // The by-id folder appears with the first adapter and goes with the last: watching cannot
    // see that, so the timer does.
    static constexpr std::chrono::milliseconds kBackstop{500};

    QString byIdFolder_;
    QString procRoot_;
    QFileSystemWatcher folders_;
    QTimer backstop_;
    QFutureWatcher<QList<PortEntry>> scan_;
    bool again_ = false;  // something changed during the running scan
    bool first_ = true;
    QList<PortEntry> entries_;
};

}  // namespace panel
