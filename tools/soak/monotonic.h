// The one clock the soak and the simulators' frame logs share.
#pragma once

#include <time.h>

#include <cstdint>

namespace panel::soak {

inline std::int64_t NowMicros() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
}

}  // namespace panel::soak
