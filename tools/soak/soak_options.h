// How a soak runs: its length, its seed, the programs it starts and what it checks.
#pragma once

#include <QString>
#include <cstdint>

namespace panel::soak {

struct SoakOptions {
    double minutes = 2;
    std::uint64_t seed = 0;
    QString simBinary;
    QString workDir;
    // Lateness and memory are printed but break nothing (a test on a shared machine).
    bool timingReportOnly = false;
    // The simulators behind ser2net, reached over rfc2217://; ser2net is restarted too.
    bool network = false;
};

}  // namespace panel::soak
