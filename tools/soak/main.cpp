// panel-soak: a seeded random operator against two failing simulators, for minutes on end, with
// every invariant checked from outside. scripts/soak builds and runs it:
//   panel-soak [--minutes N] [--seed S] [--timing-report-only] [--network] [--sim PROJECTOR_SIM]
#include <stdlib.h>

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "tools/soak/soak_run.h"

namespace {

QtMessageHandler defaultHandler = nullptr;

// The offscreen platform says so for every fixed-size window, and a root shell has no runtime
// directory: neither is a finding.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("This plugin does not support")) ||
        message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    defaultHandler(type, context, message);
}

int usage(const char* why) {
    std::fprintf(stderr,
                 "panel-soak: %s\nusage: panel-soak [--minutes N] [--seed S] "
                 "[--timing-report-only] [--network] [--sim PROJECTOR_SIM]\n",
                 why);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    panel::soak::SoakOptions options;
    options.seed = std::random_device{}() * 0x100000000ull + std::random_device{}();
    options.simBinary = QStringLiteral(PROJECTOR_SIM_BINARY);
    bool seedGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        try {
            if (arg == "--minutes" && hasValue) {
                options.minutes = std::stod(argv[++i]);
                if (!(options.minutes > 0)) return usage("--minutes must be above 0");
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
                return usage(("unknown or incomplete argument " + arg).c_str());
            }
        } catch (const std::exception&) {
            return usage(("bad value for " + arg).c_str());
        }
    }
    // A seed drawn here is printed first, so that a run that dies can still be replayed
    // (scripts/soak draws and prints its own).
    if (!seedGiven) {
        std::printf("soak seed: %llu\n", static_cast<unsigned long long>(options.seed));
        std::fflush(stdout);
    }

    char pattern[] = "/tmp/panel-soak-XXXXXX";
    if (!mkdtemp(pattern)) return usage("no scratch directory under /tmp");
    options.workDir = QString::fromLocal8Bit(pattern);

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    defaultHandler = qInstallMessageHandler(quietHandler);
    int status = 0;
    {
        QApplication app(argc, argv);
        panel::soak::SoakRun soak(options);
        status = soak.run();
    }
    std::error_code ignored;
    std::filesystem::remove_all(pattern, ignored);
    return status;
}
