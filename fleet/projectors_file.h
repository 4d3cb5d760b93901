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

struct ProjectorList {
    std::vector<Projector> projectors;  // in the file's order
    std::vector<QString> problems;      // "FILE:LINE: what is wrong", in the file's order
};

// $XDG_CONFIG_HOME/projector-panel/projectors.ini (or the platform's equivalent).
QString defaultProjectorsPath();

// A hand-written reader rather than QSettings, which unescapes its own encoding of section names
// ("%20", "%U....") and reports no line, or inih, which reports only its first error and never a
// section without keys. A bad section is left out; every other one still loads.
ProjectorList parseProjectors(const QByteArray& text, const QString& path);

// Reads `path`; a missing or unreadable file is one problem and no projector.
ProjectorList readProjectors(const QString& path);

}  // namespace panel
