#include "serial/port_checks.h"

#include <string>

namespace panel {

PortError PortNotOpen() {
    return {"The port is not open"};
}

PortResult CheckCommPort(int port, bool openOrOpening) {
    if (port != 1 && port != 2)
        return PortError{"There is no port " + std::to_string(port) + " (only 1 and 2)"};
    if (openOrOpening) return PortError{"The port number cannot change while it is open"};
    return std::nullopt;
}

}  // namespace panel
