// The fleet's logging category, projector.fleet: its polling decisions, silent below warnings
// unless QT_LOGGING_RULES="projector.fleet.debug=true" switches it on.
#pragma once

#include <QLoggingCategory>

namespace panel {

Q_DECLARE_LOGGING_CATEGORY(lcFleet)

}  // namespace panel
