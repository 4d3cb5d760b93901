// What keeping a session log adds to a flood at 1920 characters a second: the real panel run
// alternately without and with --log (so that both meet the same load), and the writer alone.
#include <time.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <numeric>
#include <vector>

#include "log/session_log.h"
#include "tools/measure/measurements.h"

namespace panel::measure {
namespace {

double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// The writer on its own, fed the flood as a local port delivers it: one character a block.
double writerMicrosPerLine(const QString& path, int lines) {
    SessionLog log("projector-panel", {LoggedPort{"COM1", "/dev/pts/0"}, LoggedPort{"COM2", ""}});
    if (log.start(QFile::encodeName(path).toStdString(), "19200,N,8,1")) return -1;
    static constexpr std::string_view kFlood = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ\r";
    const double from = processCpuSeconds();
    for (int i = 0; i < lines; ++i) {
        const auto at = static_cast<std::size_t>(i) % kFlood.size();
        log.record({SessionEventKind::Received, 1, kFlood.substr(at, 1)});
    }
    return (processCpuSeconds() - from) / lines * 1e6;
}

double mean(const std::vector<double>& values) {
    return std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
}

void printRounds(const char* what, const std::vector<double>& shares) {
    std::printf("  %-18s %6.2f %% of one core (rounds:", what, mean(shares));
    for (double share : shares) std::printf(" %.2f", share);
    std::printf(")\n");
}

}  // namespace

int MeasureFloodLog(const QString& panelBinary, const QString& com1, int seconds, int rounds) {
    QTemporaryDir dir;
    const QString logPath = dir.filePath(QStringLiteral("flood-session.log"));
    std::vector<double> plain;
    std::vector<double> logged;
    const QStringList withLog{QStringLiteral("--log"), logPath};
    for (int round = 0; round < rounds; ++round) {
        // Every other round the other way round, so that a load that rises or falls during the
        // runs weighs on both alike.
        const bool logFirst = round % 2 == 1;
        const auto first = RunFlood(panelBinary, com1, seconds, logFirst ? withLog : QStringList());
        const auto second =
            RunFlood(panelBinary, com1, seconds, logFirst ? QStringList() : withLog);
        if (!first || !second) return 1;
        plain.push_back((logFirst ? second : first)->share());
        logged.push_back((logFirst ? first : second)->share());
    }
    QFile log(logPath);
    const qint64 bytes = log.size();
    const qint64 lines = log.open(QIODevice::ReadOnly) ? log.readAll().count('\n') : 0;
    const double added = mean(logged) - mean(plain);
    const double perLine =
        writerMicrosPerLine(dir.filePath(QStringLiteral("writer.log")), 1920 * seconds);
    std::printf("Session log under the flood: %d rounds of %d s, each without and with --log\n",
                rounds, seconds);
    printRounds("CPU without log", plain);
    printRounds("CPU with --log", logged);
    std::printf("  added by the log   %6.2f %% of one core  goal (1 %%): %s\n", added,
                added < 1.0 ? "met" : "NOT met");
    std::printf("  log written        %lld lines a run, %lld KiB a minute\n",
                static_cast<long long>(lines / rounds),
                static_cast<long long>(bytes / rounds / 1024 * 60 / seconds));
    std::printf("  the writer alone   %.2f us a line: %.2f %% of one core at 1920 lines a second\n",
                perLine, perLine * 1920 / 1e4);
    std::fflush(stdout);
    return 0;
}

}  // namespace panel::measure
