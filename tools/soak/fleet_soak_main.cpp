// panel-fleet-soak: the fleet window against eight failing simulators behind one ser2net, for
// minutes on end (scripts/soak --fleet):
//   panel-fleet-soak [--minutes N] [--seed S]
#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <string>

#include "tools/soak/fleet_soak.h"
#include "tools/soak/soak_start.h"

int main(int argc, char** argv) {
    panel::soak::FleetSoakOptions options;
    const std::optional<panel::soak::SoakStart> start =
        panel::soak::startSoak(argc, argv, "fleet", options.minutes);
    if (!start) return 2;
    options.minutes = start->minutes;
    options.seed = start->seed;
    options.simBinary = QStringLiteral(PROJECTOR_SIM_BINARY);
    const std::string pattern = start->workDir;
    options.workDir = QString::fromStdString(pattern);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int status = 0;
    {
        QApplication app(argc, argv);
        panel::soak::FleetSoak soak(std::move(options));
        status = soak.run();
    }
    std::error_code ignored;
    std::filesystem::remove_all(pattern, ignored);
    return status;
}
