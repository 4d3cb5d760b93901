// panel-measure: times the real window against projector-sim. scripts/measure runs every part and
// prints the table; each part can also be run alone:
//   panel-measure holds --com1 DEVICE --log SIM_LOG
//   panel-measure press --com1 DEVICE --log SIM_LOG [--samples N]
//   panel-measure flood --com1 DEVICE --panel PANEL_BINARY [--seconds N]
//   panel-measure startup --com1 DEVICE --panel PANEL_BINARY [--runs N]
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "testkit/quiet_messages.h"
#include "tools/measure/measurements.h"

namespace {

// The value after `--name`, or `fallback`.
QString option(int argc, char** argv, const char* name, const char* fallback = "") {
    for (int i = 2; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0) return QString::fromLocal8Bit(argv[i + 1]);
    return QString::fromLatin1(fallback);
}

int usage() {
    std::fputs(
        "usage: panel-measure holds|press|flood|startup --com1 DEVICE [--log SIM_LOG]\n"
        "       [--samples N] [--panel PANEL_BINARY] [--seconds N] [--runs N]\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace panel::measure;
    if (argc < 2) return usage();
    const std::string mode = argv[1];

    const QString com1 = option(argc, argv, "--com1");
    if (com1.isEmpty()) return usage();
    if (mode == "flood")
        return MeasureFlood(option(argc, argv, "--panel"), com1,
                            option(argc, argv, "--seconds", "60").toInt());
    if (mode == "startup")
        return MeasureStartup(option(argc, argv, "--panel"), com1,
                              option(argc, argv, "--runs", "10").toInt());

    panel::test::UseOffscreenQuietly();
    QApplication app(argc, argv);
    const QString log = option(argc, argv, "--log");
    if (log.isEmpty()) return usage();
    if (mode == "holds") return MeasureHolds(com1, log);
    if (mode == "press")
        return MeasurePressToWire(com1, log, option(argc, argv, "--samples", "200").toInt());
    return usage();
}
