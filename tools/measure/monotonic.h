// CLOCK_MONOTONIC in microseconds: the clock projector-sim stamps its log with, so times taken
// here and there compare directly.
#pragma once

#include <cstdint>

namespace panel::measure {

std::int64_t MonotonicMicros();

}  // namespace panel::measure
