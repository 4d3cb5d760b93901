#include "tools/projector-sim/sim_time.h"

#include <ctime>

namespace sim {

Micros monotonicNow() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return Micros(static_cast<Micros::rep>(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000);
}

}  // namespace sim
