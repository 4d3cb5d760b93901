// panel-measure: times the real window against projector-sim. scripts/measure runs every part and
// prints the table; each part can also be run alone:
//   panel-measure holds --com1 DEVICE --log SIM_LOG
//   panel-measure press --com1 DEVICE --log SIM_LOG [--samples N]
//   panel-measure flood --com1 DEVICE --panel PANEL_BINARY [--seconds N]
//   panel-measure flood-log --com1 DEVICE --panel PANEL_BINARY [--seconds N] [--rounds N]
//   panel-measure startup --com1 DEVICE --panel PANEL_STARTUP_BINARY [--runs N]
//   panel-measure returns [--network] [--returns N]
//   panel-measure slow-opens
//   panel-measure fleet --projectors FILE [--cycles N]
//   panel-measure service --url URL --token TOKEN --manifest FILE --daemon PID
//       [--poll-seconds N] [--seconds N]
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
        "usage: panel-measure holds|press|flood|flood-log|startup --com1 DEVICE\n"
        "       [--log SIM_LOG] [--samples N] [--panel PANEL_BINARY] [--seconds N] [--runs N]\n"
        "       [--rounds N]\n"
        "       panel-measure returns [--network] [--returns N]\n"
        "       panel-measure slow-opens\n"
        "       panel-measure fleet --projectors FILE [--cycles N]\n"
        "       panel-measure service --url URL --token TOKEN --manifest FILE --daemon PID\n"
        "       [--poll-seconds N] [--seconds N]\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace panel::measure;
    if (argc < 2) return usage();
    const std::string mode = argv[1];

    if (mode == "service") {
        QCoreApplication app(argc, argv);
        return MeasureService(ServiceRun{option(argc, argv, "--url"), option(argc, argv, "--token"),
                                         option(argc, argv, "--manifest"),
                                         static_cast<pid_t>(option(argc, argv, "--daemon").toInt()),
                                         option(argc, argv, "--poll-seconds", "5").toInt(),
                                         option(argc, argv, "--seconds", "50").toInt()});
    }
    // These make their own lines and servers, or read a projectors file.
    if (mode == "returns" || mode == "slow-opens" || mode == "fleet") {
        panel::test::UseOffscreenQuietly();
        QApplication app(argc, argv);
        if (mode == "slow-opens") return MeasureSlowOpens();
        if (mode == "fleet")
            return MeasureFleet(option(argc, argv, "--projectors"),
                                option(argc, argv, "--cycles", "3").toInt());
        const bool network = QCoreApplication::arguments().contains(QStringLiteral("--network"));
        return MeasureLineReturns(network, option(argc, argv, "--returns", "20").toInt());
    }

    const QString com1 = option(argc, argv, "--com1");
    if (com1.isEmpty()) return usage();
    if (mode == "flood")
        return MeasureFlood(option(argc, argv, "--panel"), com1,
                            option(argc, argv, "--seconds", "60").toInt());
    if (mode == "flood-log")
        return MeasureFloodLog(option(argc, argv, "--panel"), com1,
                               option(argc, argv, "--seconds", "60").toInt(),
                               option(argc, argv, "--rounds", "4").toInt());
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
