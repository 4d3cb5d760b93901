#include "fleet/projectors_watcher.h"

#include <QFile>
#include <QFileInfo>

namespace panel {

ProjectorsWatcher::ProjectorsWatcher(QString path, QObject* parent)
    : QObject(parent), path_(std::move(path)) {
    // The folder too: an editor that saves by renaming a new file over the old one leaves a watch
    // on the file itself pointing at nothing.
    watcher_.addPath(QFileInfo(path_).absolutePath());
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &ProjectorsWatcher::reread);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &ProjectorsWatcher::reread);
    QFile file(path_);
    lastExists_ = file.open(QIODevice::ReadOnly);
    if (lastExists_) lastText_ = file.readAll();
    current_ = readProjectors(path_);
    if (QFileInfo::exists(path_)) watcher_.addPath(path_);
}

void ProjectorsWatcher::reread() {
    if (QFileInfo::exists(path_) && !watcher_.files().contains(path_)) watcher_.addPath(path_);
    QFile file(path_);
    const bool exists = file.open(QIODevice::ReadOnly);
    const QByteArray text = exists ? file.readAll() : QByteArray();
    // Other files in the folder change too; only a change of this one counts.
    if (text == lastText_ && exists == lastExists_) return;
    lastText_ = text;
    lastExists_ = exists;
    current_ = readProjectors(path_);
    emit changed(current_);
}

}  // namespace panel
