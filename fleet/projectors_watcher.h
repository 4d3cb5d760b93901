// Reads the projectors file again whenever it changes, also when an editor replaces it.
#pragma once

#include <QFileSystemWatcher>
#include <QObject>

#include "fleet/projectors_file.h"

namespace panel {

class ProjectorsWatcher final : public QObject {
    Q_OBJECT

public:
    explicit ProjectorsWatcher(QString path, QObject* parent = nullptr);

    const QString& path() const { return path_; }
    const ProjectorList& current() const { return current_; }

signals:
    void changed(const panel::ProjectorList& list);

private:
    void reread();

    QString path_;
    QFileSystemWatcher watcher_;
    ProjectorList current_;
    QByteArray lastText_;
    bool lastExists_ = false;
};

}  // namespace panel
