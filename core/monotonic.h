// CLOCK_MONOTONIC read directly: projector-sim stamps its frame log with it, so times taken by the
// panel, the tests and the measuring tools in other processes on the same machine compare directly.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>

namespace panel {

inline std::chrono::microseconds MonotonicNow() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::duration_cast<std::chrono::microseconds>(
                                                 std::chrono::nanoseconds(ts.tv_nsec));
}

inline std::int64_t MonotonicMicros() {
    return MonotonicNow().count();
}

}  // namespace panel
