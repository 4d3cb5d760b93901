#include "tests/window/desktop_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

namespace panel::test {
namespace {

constexpr auto kStartLimit = std::chrono::seconds(15);

// Runs `argv` as a child that dies with this process, its output discarded. `keepFd` stays open
// in the child (Xvfb writes its display number there).
pid_t spawn(const std::vector<std::string>& argv, const std::string& display, int keepFd = -1) {
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child != 0) return child;
    // A crashed or killed test must not leave its server behind.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    for (int fd = 3; fd < 1024; ++fd)
        if (fd != keepFd) close(fd);
    if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

// Stops `pid` with SIGTERM, then SIGKILL if it has not gone within two seconds.
void stop(pid_t& pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (waitpid(pid, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid = -1;
}

bool exited(pid_t pid) {
    return waitpid(pid, nullptr, WNOHANG) == pid;
}

}  // namespace

DesktopSession::DesktopSession(int width, int height) {
    char scratch[] = "/tmp/panel-desktop-XXXXXX";
    if (!mkdtemp(scratch)) {
        problem_ = "no scratch directory";
        return;
    }
    scratch_ = scratch;
    if (startServer(width, height)) startWindowManager();
}

DesktopSession::~DesktopSession() {
    stop(manager_);
    stop(server_);
    if (!scratch_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(scratch_, ignored);
    }
}

bool DesktopSession::startServer(int width, int height) {
    // -displayfd: the server takes the first free display number and writes it to the pipe once
    // it accepts connections.
    int fds[2];
    if (pipe2(fds, 0) != 0) {
        problem_ = "no pipe";
        return false;
    }
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    server_ = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-nolisten", "tcp", "-screen",
                     "0", screen, "-dpi", "96"},
                    {}, fds[1]);
    close(fds[1]);
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    while (server_ > 0 && std::chrono::steady_clock::now() < deadline) {
        pollfd fd{fds[0], POLLIN, 0};
        if (poll(&fd, 1, 100) <= 0) continue;
        char buffer[16];
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0) break;  // the server ended without a display
        number.append(buffer, static_cast<std::size_t>(n));
        if (number.find('\n') != std::string::npos) break;
    }
    close(fds[0]);
    while (!number.empty() && (number.back() == '\n' || number.back() == ' ')) number.pop_back();
    if (server_ <= 0 || number.empty()) {
        problem_ = "Xvfb could not start (is it installed? Debian: xvfb)";
        stop(server_);
        return false;
    }
    display_ = ":" + number;
    return true;
}

bool DesktopSession::startWindowManager() {
    // openbox runs the start-up command once it manages the screen.
    const std::string mark = scratch_ + "/managing";
    manager_ = spawn({"openbox", "--sm-disable", "--startup", "touch " + mark}, display_);
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (access(mark.c_str(), F_OK) == 0) return true;
        if (exited(manager_)) {
            manager_ = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    problem_ = "openbox did not start on " + display_ + " (Debian: openbox)";
    stop(manager_);
    stop(server_);
    return false;
}

}  // namespace panel::test
