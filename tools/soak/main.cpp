// panel-soak: a seeded random operator against two failing simulators, for minutes on end, with
// every invariant checked from outside. scripts/soak builds and runs it:
//   panel-soak [--minutes N] [--seed S] [--timing-report-only] [--network] [--sim PROJECTOR_SIM]
#include <stdlib.h>

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
#include <string>

#include "testkit/quiet_messages.h"
#include "tools/soak/soak_run.h"

namespace {

int usage(const std::string& why) {
    std::fprintf(stderr,
                 "panel-soak: %s\nusage: panel-soak [--minutes N] [--seed S] "
                 "[--timing-report-only] [--network] [--sim PROJECTOR_SIM]\n",
                 why.c_str());
    return 2;
}

// One argument (and its value) into the options; what is wrong with it, or nothing.
std::optional<std::string> take(int argc, char** argv, int& i, panel::soak::SoakOptions& options,
                                bool& seedGiven) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    try {
        if (arg == "--minutes" && hasValue) {
            options.minutes = std::stod(argv[++i]);
            if (!(options.minutes > 0)) return "--minutes must be above 0";
        } else if (arg == "--seed" && hasValue) {
            options.seed = std::stoull(argv[++i]);
            seedGiven = true;
        } else if (arg == "--sim" && hasValue) {
            options.simBinary = QString::fromLocal8Bit(argv[++i]);
        } else if (arg == "--network") {
            options.network = true;
        } else if (arg == "--timing-report-only") {
            options.timingReportOnly = true;
        } else {
            return "unknown or incomplete argument " + arg;
        }
    } catch (const std::exception&) {
        return "bad value for " + arg;
    }
    return std::nullopt;
}

int soak(int argc, char** argv, panel::soak::SoakOptions options) {
    panel::test::UseOffscreenQuietly();
    QApplication app(argc, argv);
    panel::soak::SoakRun run(std::move(options));
    return run.run();
}

}  // namespace

int main(int argc, char** argv) {
    panel::soak::SoakOptions options;
    options.seed = std::random_device{}() * 0x100000000ull + std::random_device{}();
    options.simBinary = QStringLiteral(PROJECTOR_SIM_BINARY);
    bool seedGiven = false;
    for (int i = 1; i < argc; ++i)
        if (const auto wrong = take(argc, argv, i, options, seedGiven)) return usage(*wrong);
    // A seed drawn here is printed first, so that a run that dies can still be replayed
    // (scripts/soak draws and prints its own).
    if (!seedGiven) {
        std::printf("soak seed: %llu\n", static_cast<unsigned long long>(options.seed));
        std::fflush(stdout);
    }

    char pattern[] = "/tmp/panel-soak-XXXXXX";
    if (!mkdtemp(pattern)) return usage("no scratch directory under /tmp");
    options.workDir = QString::fromLocal8Bit(pattern);
    const int status = soak(argc, argv, std::move(options));
    std::error_code ignored;
    std::filesystem::remove_all(pattern, ignored);
    return status;
}
