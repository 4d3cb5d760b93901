// What a running process has used so far, from /proc: CPU time and resident memory.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>

namespace panel::measure {

struct ProcessUsage {
    double cpuSeconds = 0;     // user + system
    std::int64_t rssKiB = 0;   // VmRSS: resident now
    std::int64_t peakKiB = 0;  // VmHWM: the most ever resident

    // Nothing when the process has gone.
    static std::optional<ProcessUsage> of(pid_t pid);
};

}  // namespace panel::measure
