#include "serial/port_inventory_watcher.h"

#include <QDir>
#include <QtConcurrent/QtConcurrentRun>

#include "serial/log_categories.h"

namespace panel {

PortInventoryWatcher::PortInventoryWatcher(QString byIdFolder, QString procRoot, QObject* parent)
    : QObject(parent), byIdFolder_(std::move(byIdFolder)), procRoot_(std::move(procRoot)) {
    connect(&folders_, &QFileSystemWatcher::directoryChanged, this, &PortInventoryWatcher::rescan);
    connect(&backstop_, &QTimer::timeout, this, &PortInventoryWatcher::rescan);
    connect(&scan_, &QFutureWatcher<QList<PortEntry>>::finished, this,
            &PortInventoryWatcher::scanned);
    backstop_.start(kBackstop);
    rescan();
}

// A scan still running is not waited for: it works on copies and its result is dropped.
PortInventoryWatcher::~PortInventoryWatcher() = default;

void PortInventoryWatcher::watchFolders() {
    for (const QString& folder : {QStringLiteral("/dev"), byIdFolder_})
        if (!folders_.directories().contains(folder) && QDir(folder).exists())
            folders_.addPath(folder);
}

void PortInventoryWatcher::rescan() {
    if (scan_.isRunning()) {
        qCDebug(lcInventory) << "rescan asked during a scan: another after it";
        again_ = true;
        return;
    }
    watchFolders();
    qCDebug(lcInventory) << "rescan";
    scan_.setFuture(QtConcurrent::run(takePortInventory, byIdFolder_, procRoot_));
}

void PortInventoryWatcher::scanned() {
    QList<PortEntry> found = scan_.result();
    if (again_) {
        again_ = false;
        rescan();
    }
    if (!first_ && found == entries_) return;
    first_ = false;
    qCInfo(lcInventory) << "the ports changed:" << found.size() << "now";
    entries_ = std::move(found);
    emit changed();
}

}  // namespace panel
