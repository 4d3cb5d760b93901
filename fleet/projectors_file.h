// The projectors file: one INI section per named projector (its port and speed), read as written.
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace panel {

struct Projector {
    QString name;  // the section's name, exactly as written
    QString port;  // a device path or a device server's URL
    int speed = 19200;
    int line = 0;  // of the section's header, for messages
};

// What became of the file itself, before any of its lines is read.
enum class FileState {
    Read,
    Absent,      // no such file
    Unreadable,  // there, but it cannot be opened or read
    Refused,     // not a regular file, or larger than kMaxProjectorsFileBytes
};

struct ProjectorList {
    std::vector<Projector> projectors;  // in the file's order
    // "FILE:LINE: what is wrong", in the file's order, the first kProblemsShown of them and then
    // how many more there are; or "FILE: why" when the file was not read.
    std::vector<QString> problems;
    FileState file = FileState::Read;

    // Something to poll or send to. False for a file not read and for one with no good section:
    // the problems say which.
    bool usable() const { return !projectors.empty(); }
};

// A hand-written file of even a few thousand projectors stays far below this (about 40 bytes a
// section): a larger one is a wrong path (a log, an image, a device), and reading it whole would
// cost the memory and time of every re-read after each change.
inline constexpr qint64 kMaxProjectorsFileBytes = 1024 * 1024;
// A binary file breaks nearly every line: beyond this many, the window and stderr show a count.
inline constexpr std::size_t kProblemsShown = 10;

// The file's bytes, read once, or why there are none.
struct ProjectorsFileBytes {
    FileState state = FileState::Read;
    QByteArray text;
    QString problem;  // "FILE: why", unless read

    bool operator==(const ProjectorsFileBytes&) const = default;
};

// $XDG_CONFIG_HOME/projector-panel/projectors.ini (or the platform's equivalent).
QString defaultProjectorsPath();

// A hand-written reader rather than QSettings, which unescapes its own encoding of section names
// ("%20", "%U....") and reports no line, or inih, which reports only its first error and never a
// section without keys. A bad section is left out; every other one still loads.
ProjectorList parseProjectors(const QByteArray& text, const QString& path);

// Reads at most kMaxProjectorsFileBytes + 1 bytes of `path`, and never opens anything but a
// regular file (a FIFO would block, a device would never end).
ProjectorsFileBytes readProjectorsFile(const QString& path);

// The projectors in bytes already read; a file not read is its one problem and no projector.
ProjectorList projectorsFrom(const ProjectorsFileBytes& file, const QString& path);

// Reads and parses `path` in one go.
ProjectorList readProjectors(const QString& path);

}  // namespace panel
