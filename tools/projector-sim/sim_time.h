// Time as the simulator counts it: microseconds on the monotonic clock.
#pragma once

#include <chrono>

#include "core/monotonic.h"

namespace sim {

using Micros = std::chrono::microseconds;

// Log stamps compare with any other process's monotonic readings on the same machine.
using panel::MonotonicNow;

}  // namespace sim
