#include "fleet/log_categories.h"

namespace panel {

Q_LOGGING_CATEGORY(lcFleet, "projector.fleet", QtWarningMsg)

}  // namespace panel
