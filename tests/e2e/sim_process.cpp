#include "tests/e2e/sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

namespace panel::e2e {
namespace {

using Clock = std::chrono::steady_clock;

int msUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<std::int64_t>(left, 0));
}

// The first line of `fd`, without its newline; empty at end of file or after the deadline.
std::string firstLine(int fd) {
    std::string line;
    const auto deadline = Clock::now() + kPatience;
    char c = 0;
    while (true) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, msUntil(deadline)) <= 0 || read(fd, &c, 1) != 1) return {};
        if (c == '\n') return line;
        line += c;
    }
}

}  // namespace

SimProcess::SimProcess(std::vector<std::string> args) {
    args.insert(args.begin(), PROJECTOR_SIM_BINARY);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        // Only async-signal-safe calls between fork and exec: the test process has threads.
        dup2(out[1], STDOUT_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    if (pid_ > 0) device_ = firstLine(out[0]);
    // Nothing else is printed on standard output; a closed pipe costs the simulator nothing.
    close(out[0]);
}

SimProcess::~SimProcess() {
    stop();
}

bool SimProcess::exited() {
    if (reaped_) return true;
    if (pid_ <= 0) return true;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
    reaped_ = true;
    if (WIFEXITED(status)) status_ = WEXITSTATUS(status);
    return true;
}

void SimProcess::stop() {
    if (pid_ <= 0 || exited()) return;
    kill(pid_, SIGTERM);
    const auto deadline = Clock::now() + kPatience;
    while (!exited() && Clock::now() < deadline) usleep(2000);
    if (!exited()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        reaped_ = true;
    }
}

}  // namespace panel::e2e
