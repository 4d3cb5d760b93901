// panel-service-soak: the real projector-paneld over failing simulators, hit by random clients,
// for minutes on end (scripts/soak --service):
//   panel-service-soak [--minutes N] [--seed S]
#include <stdlib.h>

#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "tools/soak/service_soak.h"

int main(int argc, char** argv) {
    panel::soak::ServiceSoakOptions options;
    options.seed = std::random_device{}() * 0x100000000ull + std::random_device{}();
    options.simBinary = QStringLiteral(PROJECTOR_SIM_BINARY);
    options.serviceBinary = QStringLiteral(PROJECTOR_PANELD_BINARY);
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--minutes") == 0) {
            options.minutes = std::atof(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--seed") == 0) {
            options.seed = std::strtoull(argv[i + 1], nullptr, 10);
        } else {
            std::fprintf(stderr, "usage: panel-service-soak [--minutes N] [--seed S]\n");
            return 2;
        }
    }
    std::printf("service soak seed: %llu\n", static_cast<unsigned long long>(options.seed));
    std::fflush(stdout);
    char pattern[] = "/tmp/panel-service-soak-XXXXXX";
    if (!mkdtemp(pattern)) return 2;
    options.workDir = QString::fromLocal8Bit(pattern);
    // Never the machine's own remembered settings.
    qputenv("XDG_CONFIG_HOME", (options.workDir + "/config").toUtf8());
    int status = 0;
    {
        QCoreApplication app(argc, argv);
        panel::soak::ServiceSoak soak(std::move(options));
        status = soak.run();
    }
    // A broken run keeps its files (the service's session log, the simulators' frame logs).
    std::error_code ignored;
    if (status == 0)
        std::filesystem::remove_all(pattern, ignored);
    else
        std::printf("its files are kept in %s\n", pattern);
    return status;
}
