// Memory figures of a process from /proc/<pid>/status (VmRSS, VmHWM and the like), read by the
// soaks, the measuring program and the tests alike.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace panel::test {

// The "<key>: <n> kB" line of /proc/<process>/status in KiB ("self" for this process); 0 when the
// process or the line is missing.
std::int64_t StatusKiB(const std::string& process, std::string_view key);

// What this process has resident now (VmRSS).
inline std::int64_t ResidentKiB() {
    return StatusKiB("self", "VmRSS");
}

}  // namespace panel::test
