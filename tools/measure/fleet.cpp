// The fleet window polling every projector of a projectors file: the wall time of each poll cycle,
// the CPU it took, resident memory, and how late a 10 ms probe timer ran meanwhile.
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>

#include "tools/measure/measurements.h"
#include "tools/measure/process_usage.h"
#include "tools/measure/statistics.h"
#include "ui/fleet_window.h"

namespace panel::measure {
namespace {

constexpr int kProbeMs = 10;

// Lateness of each tick of a 10 ms timer, in milliseconds.
class Probe {
public:
    Probe() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.callOnTimeout([this] {
            const double since = static_cast<double>(clock_.nsecsElapsed()) / 1e6;
            clock_.restart();
            samples_.push_back(std::max(0.0, since - kProbeMs));
        });
    }
    void start() {
        samples_.clear();
        clock_.start();
        timer_.start(kProbeMs);
    }
    std::vector<double> stop() {
        timer_.stop();
        return std::move(samples_);
    }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    std::vector<double> samples_;
};

int answered(const Fleet& fleet) {
    int count = 0;
    for (const ProjectorRow& row : fleet.rows()) count += row.reading == Reading::Answered;
    return count;
}

}  // namespace

int MeasureFleet(const QString& projectorsFile, int cycles) {
    FleetWindow window(projectorsFile, 3600);  // cycles started here, not by the timer
    window.show();
    Probe probe;
    std::printf(
        "| Cycle | Projectors answered | Wall time | CPU | Resident memory | Probe lateness "
        "median / p99 / max |\n|---|---|---|---|---|---|\n");
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        QEventLoop loop;
        qint64 wallMs = 0;
        const auto connection =
            QObject::connect(&window, &FleetWindow::cycleFinished, [&](qint64 ms) {
                wallMs = ms;
                loop.quit();
            });
        const auto before = ProcessUsage::of(getpid());
        probe.start();
        window.fleet().pollNow();
        loop.exec();
        const Summary late = Summarize(probe.stop());
        QObject::disconnect(connection);
        const auto after = ProcessUsage::of(getpid());
        if (!before || !after) return 1;
        const double cpu = after->cpuSeconds - before->cpuSeconds;
        std::printf(
            "| %d | %d of %zu | %lld ms | %.2f s (%.0f%% of one core) | %.1f MiB | "
            "%.2f / %.2f / %.1f ms |\n",
            cycle, answered(window.fleet()), window.fleet().rows().size(),
            static_cast<long long>(wallMs), cpu, 100.0 * cpu / (wallMs / 1000.0),
            static_cast<double>(after->rssKiB) / 1024.0, late.median, late.p99, late.max);
        std::fflush(stdout);
        QEventLoop pause;  // the lines closed, as between two polls
        QTimer::singleShot(1000, &pause, &QEventLoop::quit);
        pause.exec();
    }
    std::printf(
        "\nGoals: a cycle within the longest reply windows of one poll (3 x 500 ms) + 1 s "
        "= 2.5 s; resident memory under 100 MiB; probe lateness p99 under 20 ms.\n");
    return 0;
}

}  // namespace panel::measure
