// panel-service-soak: the real projector-paneld over failing simulators, hit by random clients,
// for minutes on end (scripts/soak --service):
//   panel-service-soak [--minutes N] [--seed S]
#include <QCoreApplication>
#include <cstdio>
#include <filesystem>
#include <string>

#include "tools/soak/service_soak.h"
#include "tools/soak/soak_start.h"

int main(int argc, char** argv) {
    panel::soak::ServiceSoakOptions options;
    const std::optional<panel::soak::SoakStart> start =
        panel::soak::startSoak(argc, argv, "service", options.minutes);
    if (!start) return 2;
    options.minutes = start->minutes;
    options.seed = start->seed;
    options.simBinary = QStringLiteral(PROJECTOR_SIM_BINARY);
    options.serviceBinary = QStringLiteral(PROJECTOR_PANELD_BINARY);
    const std::string pattern = start->workDir;
    options.workDir = QString::fromStdString(pattern);
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
        std::printf("its files are kept in %s\n", pattern.c_str());
    return status;
}
