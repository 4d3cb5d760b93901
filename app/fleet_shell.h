// The shell mode over named projectors (--projector NAME, --all): the same codes to each, every
// projector on its own line at the same time, the answers grouped per projector in the file's
// order.
#pragma once

#include <QTextStream>

#include "app/command_line.h"
#include "fleet/projectors_file.h"

namespace panel {

inline constexpr int kFleetUnknownName = 2;

// Returns the exit status: 0 every code of every projector answered, 1 some not, 3 a port failed
// (each one named on `err`), 4 the log missed some of it, 2 a name the file does not hold, no
// projector to send to, or a log that cannot be opened. With a log, each line names its projector.
int runFleetShell(const ShellRequest& request, const ProjectorList& list, const QString& path,
                  QTextStream& out, QTextStream& err);

}  // namespace panel
