// Reads the projectors file again whenever it changes, also when an editor replaces it.
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <optional>

#include "fleet/projectors_file.h"

namespace panel {

class ProjectorsWatcher final : public QObject {
    Q_OBJECT

public:
    explicit ProjectorsWatcher(QString path, QObject* parent = nullptr);

    // An editor writes in steps (truncate, then write; or delete, then create): the file is read
    // once this long after the last step seen, not half-written.
    static constexpr std::chrono::milliseconds kSettle{50};
    // A file gone for longer than this is gone: until then the last list stands, so that the rows
    // keep their readings through an editor's delete-and-recreate.
    static constexpr std::chrono::milliseconds kAbsence{2000};

    const QString& path() const { return path_; }
    const ProjectorList& current() const { return current_; }

signals:
    void changed(const panel::ProjectorList& list);

private:
    // `absenceOver`: a file still gone now counts as gone.
    void reread(bool absenceOver);
    // The file, and its folder or, while that does not exist, the nearest folder above it that
    // does: a folder made later is then seen being made.
    void watchNearest();

    QString path_;
    QFileSystemWatcher watcher_;
    QString watchedFolder_;
    QTimer settle_;
    QTimer absence_;
    ProjectorList current_;
    ProjectorsFileBytes last_;
};

}  // namespace panel
