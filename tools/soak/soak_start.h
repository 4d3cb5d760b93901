// What a soak program does first: its length and seed from the command line, the seed told so
// that a run can be repeated, and a folder of its own holding its own remembered settings.
#pragma once

#include <stdlib.h>

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <random>
#include <string>

namespace panel::soak {

struct SoakStart {
    double minutes;
    std::uint64_t seed;
    std::string workDir;  // /tmp/panel-NAME-soak-XXXXXX, made
};

// NAME is the soak's word ("fleet", "service"). Nothing when an argument is not understood
// (usage told) or no folder can be made.
inline std::optional<SoakStart> startSoak(int argc, char** argv, const char* name, double minutes) {
    SoakStart start{minutes, std::random_device{}() * 0x100000000ull + std::random_device{}(), {}};
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--minutes") == 0) {
            start.minutes = std::atof(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--seed") == 0) {
            start.seed = std::strtoull(argv[i + 1], nullptr, 10);
        } else {
            std::fprintf(stderr, "usage: panel-%s-soak [--minutes N] [--seed S]\n", name);
            return std::nullopt;
        }
    }
    std::printf("%s soak seed: %llu\n", name, static_cast<unsigned long long>(start.seed));
    std::fflush(stdout);
    std::string pattern = std::string("/tmp/panel-") + name + "-soak-XXXXXX";
    if (!mkdtemp(pattern.data())) return std::nullopt;
    start.workDir = pattern;
    // Never the machine's own remembered settings.
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(pattern + "/config"));
    return start;
}

}  // namespace panel::soak
