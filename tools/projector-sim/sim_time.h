// Time as the simulator counts it: microseconds on the monotonic clock.
#pragma once

#include <chrono>

namespace sim {

using Micros = std::chrono::microseconds;

// CLOCK_MONOTONIC read directly, so that log stamps compare with any other process's monotonic
// readings on the same machine.
Micros monotonicNow();

}  // namespace sim
