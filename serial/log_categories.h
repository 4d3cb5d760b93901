// The logging categories of the serial adapters: silent below warnings, so that a fault report
// can switch one on with QT_LOGGING_RULES="projector.serial.*.debug=true" and nothing else changes.
#pragma once

#include <QLoggingCategory>

namespace panel {

Q_DECLARE_LOGGING_CATEGORY(lcNetwork)    // projector.serial.network: connect, refuse, lose
Q_DECLARE_LOGGING_CATEGORY(lcRfc2217)    // projector.serial.rfc2217: the line settings asked
Q_DECLARE_LOGGING_CATEGORY(lcWatcher)    // projector.serial.watcher: waits and their steps
Q_DECLARE_LOGGING_CATEGORY(lcInventory)  // projector.serial.inventory: rescans and what they find

}  // namespace panel
