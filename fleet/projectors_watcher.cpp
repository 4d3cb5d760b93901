#include "fleet/projectors_watcher.h"

#include <QDir>
#include <QFileInfo>

namespace panel {

ProjectorsWatcher::ProjectorsWatcher(QString path, QObject* parent)
    : QObject(parent), path_(std::move(path)) {
    settle_.setSingleShot(true);
    settle_.setInterval(kSettle);
    absence_.setSingleShot(true);
    absence_.setInterval(kAbsence);
    // The folder too: an editor that saves by renaming a new file over the old one leaves a watch
    // on the file itself pointing at nothing.
    connect(&watcher_, &QFileSystemWatcher::fileChanged, &settle_, qOverload<>(&QTimer::start));
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, &settle_,
            qOverload<>(&QTimer::start));
    connect(&settle_, &QTimer::timeout, this, [this] { reread(false); });
    connect(&absence_, &QTimer::timeout, this, [this] { reread(true); });
    watchNearest();
    last_ = readProjectorsFile(path_);
    current_ = projectorsFrom(last_, path_);
}

void ProjectorsWatcher::watchNearest() {
    QString folder = QFileInfo(path_).absolutePath();
    while (!QFileInfo(folder).isDir() && !QDir(folder).isRoot())
        folder = QFileInfo(folder).absolutePath();
    if (folder != watchedFolder_) {
        if (!watchedFolder_.isEmpty()) watcher_.removePath(watchedFolder_);
        watchedFolder_ = folder;
        watcher_.addPath(folder);
    }
    if (QFileInfo::exists(path_) && !watcher_.files().contains(path_)) watcher_.addPath(path_);
}

void ProjectorsWatcher::reread(bool absenceOver) {
    watchNearest();
    ProjectorsFileBytes file = readProjectorsFile(path_);
    if (file.state == FileState::Absent && last_.state != FileState::Absent && !absenceOver) {
        if (!absence_.isActive()) absence_.start();
        return;
    }
    absence_.stop();
    // Other files in the folder change too; only a change of this one counts.
    if (file == last_) return;
    last_ = std::move(file);
    current_ = projectorsFrom(last_, path_);
    emit changed(current_);
}

}  // namespace panel
