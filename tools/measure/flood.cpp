// The real panel binary on a line flooded at 19200 baud (1920 characters a second) with nothing
// asked: its CPU share of one core and its resident memory, from /proc.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "core/monotonic.h"
#include "tools/measure/measurements.h"
#include "tools/measure/process_usage.h"

extern char** environ;

namespace panel::measure {
namespace {

void sleepSeconds(double seconds) {
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(seconds);
    ts.tv_nsec = static_cast<long>((seconds - static_cast<double>(ts.tv_sec)) * 1e9);
    while (nanosleep(&ts, &ts) != 0) {
    }
}

// Whether `pid` holds `device` open: the port really is open and taking the flood.
bool holdsOpen(pid_t pid, const QString& device) {
    // A device-server URL is held as a socket.
    const bool url = device.contains(QLatin1String("://"));
    const QString target = QFileInfo(device).canonicalFilePath();
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QFileInfo& fd : fds.entryInfoList(QDir::Files | QDir::System))
        if (url ? fd.symLinkTarget().contains(QLatin1String("socket:"))
                : fd.symLinkTarget() == target)
            return true;
    return false;
}

}  // namespace

std::optional<FloodRun> RunFlood(const QString& panelBinary, const QString& com1, int seconds,
                                 const QStringList& extraArguments) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::vector<std::string> args{panelBinary.toLocal8Bit().toStdString(), "--com1",
                                  com1.toLocal8Bit().toStdString(), "--com2",
                                  "/nonexistent/panel-measure-com2"};
    for (const QString& argument : extraArguments)
        args.push_back(argument.toLocal8Bit().toStdString());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        std::fprintf(stderr, "panel-measure: cannot start %s\n", argv[0]);
        return std::nullopt;
    }

    // Past its start-up, which is measured on its own.
    sleepSeconds(2);
    const auto before = ProcessUsage::of(pid);
    const std::int64_t from = MonotonicMicros();
    const bool open = holdsOpen(pid, com1);
    sleepSeconds(seconds / 2.0);
    const auto halfway = ProcessUsage::of(pid);
    sleepSeconds(seconds / 2.0);
    const auto after = ProcessUsage::of(pid);
    const std::int64_t to = MonotonicMicros();
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    if (!before || !halfway || !after) {
        std::fprintf(stderr, "panel-measure: the panel ended during the flood\n");
        return std::nullopt;
    }
    const double wall = static_cast<double>(to - from) / 1e6;
    return FloodRun{*before, *halfway, *after, wall, open};
}

int MeasureFlood(const QString& panelBinary, const QString& com1, int seconds) {
    const std::optional<FloodRun> run = RunFlood(panelBinary, com1, seconds, {});
    if (!run) return 1;
    const auto& [before, halfway, after, wall, open] = *run;
    const double share = run->share();
    // Flat: nothing more resident in the second half than at its start, give or take a few pages.
    const bool flat = after.rssKiB - halfway.rssKiB <= 64;
    std::printf(
        "Flood: %d s at 1920 characters a second, nothing sent (the panel binary, offscreen%s)\n",
        seconds, open ? "" : "; PORT NOT OPEN");
    std::printf("  CPU                %6.2f %% of one core (%.2f s in %.1f s)  goal (5 %%): %s\n",
                share, after.cpuSeconds - before.cpuSeconds, wall, share < 5.0 ? "met" : "NOT met");
    std::printf(
        "  resident (VmRSS)   %6lld KiB at the start, %lld KiB halfway, %lld KiB at the end\n",
        static_cast<long long>(before.rssKiB), static_cast<long long>(halfway.rssKiB),
        static_cast<long long>(after.rssKiB));
    std::printf(
        "  peak (VmHWM)       %6lld KiB at the start, %lld KiB at the end  memory flat: %s\n",
        static_cast<long long>(before.peakKiB), static_cast<long long>(after.peakKiB),
        flat ? "yes" : "NO");
    std::fflush(stdout);
    return 0;
}

}  // namespace panel::measure
