#include "serial/log_categories.h"

namespace panel {

// Warnings only by default: each decision is logged at debug or info, which costs a flag test
// when off.
Q_LOGGING_CATEGORY(lcNetwork, "projector.serial.network", QtWarningMsg)
Q_LOGGING_CATEGORY(lcRfc2217, "projector.serial.rfc2217", QtWarningMsg)
Q_LOGGING_CATEGORY(lcWatcher, "projector.serial.watcher", QtWarningMsg)
Q_LOGGING_CATEGORY(lcInventory, "projector.serial.inventory", QtWarningMsg)

}  // namespace panel
