// The answers both port adapters give alike: a port that is not open, and a port number that is
// out of range or asked to change while the port is open.
#pragma once

#include "core/serial_port.h"

namespace panel {

// A send or a read on a closed port.
PortError PortNotOpen();
// Port 1 or 2, changed only while the port is closed (or not yet opening).
PortResult CheckCommPort(int port, bool openOrOpening);

}  // namespace panel
