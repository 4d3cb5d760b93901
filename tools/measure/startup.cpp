// Start-up: from just before panel-startup is spawned to its window first exposed (it reports that
// itself), over fresh processes. panel-startup builds and shows the window as the program does.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QString>
#include <cstdio>
#include <string>
#include <vector>

#include "core/monotonic.h"
#include "tools/measure/measurements.h"
#include "tools/measure/process_usage.h"
#include "tools/measure/statistics.h"

extern char** environ;

namespace panel::measure {
namespace {

// The child's line: "<shown µs> <VmRSS KiB>"; empty when it never came.
std::string readLine(int fd) {
    std::string line;
    char c = 0;
    while (true) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 30000) <= 0 || read(fd, &c, 1) != 1 || c == '\n') return line;
        line += c;
    }
}

}  // namespace

int MeasureStartup(const QString& panel, const QString& com1, int runs) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // panel-startup prints "<shown µs> <VmRSS KiB>" when its window is first shown, then quits.
    std::vector<std::string> args{panel.toStdString(), "--com1", com1.toStdString(), "--com2",
                                  "/nonexistent/panel-measure-com2"};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    std::vector<double> delaysMs;
    std::vector<double> rssKiB;
    double first = 0;
    for (int run = 0; run < runs; ++run) {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0) return 1;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        const std::int64_t spawnedAt = MonotonicMicros();
        const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        if (spawned != 0) {
            close(out[0]);
            return 1;
        }
        const std::string line = readLine(out[0]);
        close(out[0]);
        waitpid(pid, nullptr, 0);
        long long shown = 0;
        long long rss = 0;
        if (std::sscanf(line.c_str(), "%lld %lld", &shown, &rss) != 2) {
            std::fprintf(stderr, "panel-measure: run %d never showed its window\n", run + 1);
            return 1;
        }
        const double delay = static_cast<double>(shown - spawnedAt) / 1000.0;
        if (run == 0) first = delay;
        delaysMs.push_back(delay);
        rssKiB.push_back(static_cast<double>(rss));
    }
    const Summary s = Summarize(delaysMs);
    const Summary r = Summarize(rssKiB);
    std::printf("Start-up: process spawned to window first exposed (%d runs, offscreen)\n", runs);
    std::printf("  first run %.1f ms, median %.1f ms, max %.1f ms  goal (300 ms, median): %s\n",
                first, s.median, s.max, s.median < 300.0 ? "met" : "NOT met");
    std::printf("  resident when shown (VmRSS): median %.0f KiB, max %.0f KiB\n", r.median, r.max);
    std::fflush(stdout);
    return 0;
}

}  // namespace panel::measure
