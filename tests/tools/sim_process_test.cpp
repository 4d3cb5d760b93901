// The real projector-sim binary, driven over its pseudo-terminal as the panel would drive it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/monotonic.h"
#include "tools/projector-sim/flood_source.h"

namespace sim {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Generous waits for a shared, slow machine: they bound how long a broken simulator can hang a
// test, and say nothing about how fast a working one is.
constexpr auto kWait = 20s;

int remainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<std::int64_t>(left.count(), 0));
}

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/sim-test-XXXXXX";
        if (mkdtemp(pattern) != nullptr) path_ = pattern;
    }
    ~TempDir() {
        if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
    }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// A running simulator with its standard output on a pipe.
class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> args) {
        args.insert(args.begin(), PROJECTOR_SIM_BINARY);
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDERR_FILENO);
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        out_ = out[0];
    }
    ~SimProcess() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) close(out_);
    }

    // Everything printed until end of file or the deadline.
    std::string output() {
        std::string text;
        const auto deadline = Clock::now() + kWait;
        char buffer[4096];
        while (true) {
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, remainingMs(deadline)) <= 0) break;
            const ssize_t n = read(out_, buffer, sizeof buffer);
            if (n <= 0) break;
            text.append(buffer, static_cast<std::size_t>(n));
        }
        return text;
    }

    // The first line: the device path.
    std::string device() {
        std::string line;
        const auto deadline = Clock::now() + kWait;
        char c = 0;
        while (line.empty() || line.back() != '\n') {
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, remainingMs(deadline)) <= 0 || read(out_, &c, 1) != 1) return "";
            line += c;
        }
        line.pop_back();
        return line;
    }

    void signal(int number) { kill(pid_, number); }

    // Stopped by SIGSTOP, as /proc says once the signal has taken hold.
    bool waitUntilStopped() {
        const auto deadline = Clock::now() + kWait;
        while (Clock::now() < deadline) {
            std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
            std::string pid, name, state;
            if (stat >> pid >> name >> state && state == "T") return true;
            usleep(1'000);
        }
        return false;
    }

    // The exit status, or nothing when the process did not end in time or was killed.
    std::optional<int> exitStatus() {
        const auto deadline = Clock::now() + kWait;
        int status = 0;
        while (Clock::now() < deadline) {
            const pid_t done = waitpid(pid_, &status, WNOHANG);
            if (done == pid_) {
                exited_ = true;
                if (WIFEXITED(status)) return WEXITSTATUS(status);
                return std::nullopt;
            }
            usleep(10'000);
        }
        return std::nullopt;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    bool exited_ = false;
};

// The panel's side: the device opened with POSIX open() and set raw.
class Client {
public:
    explicit Client(const std::string& path) {
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) return;
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        tcsetattr(fd_, TCSANOW, &t);
    }
    ~Client() {
        if (fd_ >= 0) close(fd_);
    }
    bool isOpen() const { return fd_ >= 0; }

    void setSpeed(speed_t speed) {
        termios t{};
        tcgetattr(fd_, &t);
        cfsetspeed(&t, speed);
        tcsetattr(fd_, TCSANOW, &t);
    }

    void send(std::string_view bytes) {
        ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Reads until `count` bytes have come, the deadline passes or the line hangs up.
    std::string read(std::size_t count) {
        std::string got;
        const auto deadline = Clock::now() + kWait;
        char buffer[256];
        while (got.size() < count) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, remainingMs(deadline)) <= 0) break;
            const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - got.size()));
            if (n < 0 && errno == EAGAIN) continue;
            if (n <= 0) break;
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }

    std::string ask(std::string_view frame, std::size_t replyBytes) {
        send(frame);
        return read(replyBytes);
    }

    // True once the far end has gone: a hang-up, an error, or end of file.
    bool waitForHangup() {
        const auto deadline = Clock::now() + kWait;
        char buffer[64];
        while (Clock::now() < deadline) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, remainingMs(deadline)) < 0) return false;
            if (p.revents & (POLLHUP | POLLERR)) return true;
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n == 0 || (n < 0 && errno != EAGAIN)) return true;
        }
        return false;
    }

private:
    int fd_ = -1;
};

bool exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

std::string linkTarget(const std::string& path) {
    char buffer[4096];
    const ssize_t n = readlink(path.c_str(), buffer, sizeof buffer);
    return n < 0 ? std::string() : std::string(buffer, static_cast<std::size_t>(n));
}

TEST(SimProcess, AnswersOnTheRawDeviceItPrints) {
    SimProcess sim({"--warmup", "1000"});
    const std::string device = sim.device();
    ASSERT_EQ(device.rfind("/dev/pts/", 0), 0u) << device;
    Client client(device);
    ASSERT_TRUE(client.isOpen());
    EXPECT_EQ(client.ask("CR0\r", 3), "80\r");
    EXPECT_EQ(client.ask("C00\r", 1), "\x06");
    EXPECT_EQ(client.ask("CR0\r", 3), "40\r");
    EXPECT_EQ(client.ask("cr0\r", 2), "?\r");
}

TEST(SimProcess, KeepsServingWhenTheClientClosesAndReopens) {
    TempDir dir;
    const std::string link = dir / "projector-com2";
    SimProcess sim({"--link", link});
    const std::string device = sim.device();
    for (int round = 0; round < 4; ++round) {
        {
            Client client(round % 2 == 0 ? device : link);
            ASSERT_TRUE(client.isOpen()) << "round " << round;
            EXPECT_EQ(client.ask("CR1\r", 2), "1\r") << "round " << round;
        }
        // Not a timing check: the pause lets the simulator see the hang-up before the next open,
        // which is the path under test. Were it too short, the test would only prove less.
        usleep(100'000);
    }
}

// While the simulator is held back, as on a loaded machine, its client leaves and another one
// comes, sends and leaves too: the answer due after that one left must not wait on the terminal
// for whoever opens it next.
TEST(SimProcess, AnAnswerDueAfterTheClientLeftIsNotKeptForTheNextOne) {
    SimProcess sim({});
    const std::string device = sim.device();
    {
        Client first(device);
        ASSERT_TRUE(first.isOpen());
        ASSERT_EQ(first.ask("CR0\r", 3), "80\r");  // the simulator knows a client is there
        sim.signal(SIGSTOP);
        ASSERT_TRUE(sim.waitUntilStopped());
    }
    {
        Client gone(device);
        ASSERT_TRUE(gone.isOpen());
        gone.send("CR1\r");
    }
    sim.signal(SIGCONT);
    // Not a timing check: the pause lets the simulator see all of it at once, and answer.
    usleep(200'000);
    Client next(device);
    ASSERT_TRUE(next.isOpen());
    EXPECT_EQ(next.ask("CR0\r", 3), "80\r");
}

struct FaultCase {
    const char* name;
    std::vector<std::string> args;
    friend void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }
};

class SimFaultTest : public testing::TestWithParam<FaultCase> {};

TEST_P(SimFaultTest, AnswerStillArrivesWhole) {
    SimProcess sim(GetParam().args);
    Client client(sim.device());
    ASSERT_TRUE(client.isOpen());
    EXPECT_EQ(client.ask("CR0\r", 3), "80\r");
    EXPECT_EQ(client.ask("CR9\r", 20), "PROJECTOR-SIM V1.00\r");
}

INSTANTIATE_TEST_SUITE_P(Options, SimFaultTest,
                         testing::Values(FaultCase{"Split", {"--split"}},
                                         FaultCase{"Latency", {"--latency", "30"}},
                                         FaultCase{"SplitAndLatency", {"--split", "--latency=10"}}),
                         [](const auto& info) { return info.param.name; });

class SimStopTest : public testing::TestWithParam<int> {};

TEST_P(SimStopTest, StopSignalExitsCleanlyAndRemovesTheLink) {
    TempDir dir;
    const std::string link = dir / "projector-com1";
    SimProcess sim({"--link", link});
    const std::string device = sim.device();
    ASSERT_FALSE(device.empty());
    EXPECT_EQ(linkTarget(link), device);
    {
        Client client(link);
        ASSERT_TRUE(client.isOpen());
        EXPECT_EQ(client.ask("CR4\r", 3), "11\r");
    }
    sim.signal(GetParam());
    EXPECT_EQ(sim.exitStatus(), 0);
    EXPECT_FALSE(exists(link));
}

INSTANTIATE_TEST_SUITE_P(Signals, SimStopTest, testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

TEST(SimProcess, HangupAfterClosesTheDeviceUnderTheClientAndExits) {
    TempDir dir;
    const std::string link = dir / "projector-com1";
    SimProcess sim({"--link", link, "--hangup-after", "1"});
    const std::string device = sim.device();
    ASSERT_FALSE(device.empty());
    Client client(device);
    // On a very slow machine the device may be gone before it is opened: that is a hang-up too.
    if (client.isOpen()) {
        EXPECT_TRUE(client.waitForHangup());
    }
    EXPECT_EQ(sim.exitStatus(), 0);
    EXPECT_FALSE(exists(link));
    EXPECT_FALSE(Client(device).isOpen());
}

TEST(SimProcess, LogHasOneStampedLinePerFrameAsSoonAsItArrives) {
    TempDir dir;
    const std::string log = dir / "frames.log";
    SimProcess sim({"--log", log});
    Client client(sim.device());
    ASSERT_TRUE(client.isOpen());

    const std::int64_t t0 = panel::MonotonicMicros();
    ASSERT_EQ(client.ask("CR0\r", 3), "80\r");
    const std::int64_t t1 = panel::MonotonicMicros();
    ASSERT_EQ(client.ask("CR PRESSURE\rC\\\x01\r", 5).size(), 5u);  // the pressure and ACK-less "?"
    EXPECT_EQ(client.read(1), "\r");
    const std::int64_t t2 = panel::MonotonicMicros();

    // The answers came after the lines were written, so the lines are there now.
    std::ifstream in(log);
    std::vector<std::pair<std::int64_t, std::string>> lines;
    for (std::string line; std::getline(in, line);) {
        const auto space = line.find(' ');
        ASSERT_NE(space, std::string::npos) << line;
        lines.emplace_back(std::stoll(line.substr(0, space)), line.substr(space + 1));
    }
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].second, "CR0");
    EXPECT_EQ(lines[1].second, "CR PRESSURE");
    EXPECT_EQ(lines[2].second, "C\\\\\\x01");
    EXPECT_GE(lines[0].first, t0);
    EXPECT_LE(lines[0].first, t1);
    EXPECT_GE(lines[1].first, t1);
    EXPECT_LE(lines[2].first, t2);
    EXPECT_LE(lines[1].first, lines[2].first);
}

TEST(SimProcess, LogSpeedStampsEachFrameWithTheSpeedTheClientSet) {
    TempDir dir;
    const std::string log = dir / "frames.log";
    SimProcess sim({"--log", log, "--log-speed"});
    Client client(sim.device());
    ASSERT_TRUE(client.isOpen());
    std::vector<std::string> expected;
    for (const auto& [code, baud] : {std::pair{B19200, "19200"}, std::pair{B9600, "9600"}}) {
        client.setSpeed(code);
        ASSERT_EQ(client.ask("CR0\r", 3), "80\r");
        expected.push_back(std::string(baud) + " CR0");
    }
    std::ifstream in(log);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line.substr(line.find(' ') + 1));
    EXPECT_EQ(lines, expected);
}

TEST(SimProcess, FloodArrivesUnasked) {
    SimProcess sim({"--flood", "4000"});
    Client client(sim.device());
    ASSERT_TRUE(client.isOpen());
    const std::string stream = client.read(300);
    ASSERT_EQ(stream.size(), 300u);
    for (const char c : stream)
        EXPECT_NE(FloodSource::kPattern.find(c), std::string_view::npos) << int(c);
}

TEST(SimProcess, LinkReplacesAStaleLinkButNotAFile) {
    TempDir dir;
    const std::string stale = dir / "stale";
    ASSERT_EQ(symlink("/dev/pts/nonexistent", stale.c_str()), 0);
    SimProcess replacing({"--link", stale});
    EXPECT_EQ(linkTarget(stale), replacing.device());

    const std::string file = dir / "file";
    std::ofstream(file) << "keep me";
    SimProcess refusing({"--link", file});
    EXPECT_EQ(refusing.exitStatus(), 1);
    std::ifstream in(file);
    std::string contents;
    std::getline(in, contents);
    EXPECT_EQ(contents, "keep me");
}

struct CommandLineCase {
    const char* name;
    std::vector<std::string> args;
    int status;
    std::string outputMentions;
    friend void PrintTo(const CommandLineCase& c, std::ostream* os) { *os << c.name; }
};

class SimCommandLineTest : public testing::TestWithParam<CommandLineCase> {};

TEST_P(SimCommandLineTest, ExitsWithItsStatus) {
    SimProcess sim(GetParam().args);
    const std::string output = sim.output();
    EXPECT_EQ(sim.exitStatus(), GetParam().status);
    EXPECT_NE(output.find(GetParam().outputMentions), std::string::npos) << output;
}

INSTANTIATE_TEST_SUITE_P(
    Exits, SimCommandLineTest,
    testing::Values(CommandLineCase{"HelpPrintsUsage", {"--help"}, 0, "--hangup-after SECONDS"},
                    CommandLineCase{"UnknownOptionIsAUsageError", {"--bogus"}, 2, ""},
                    CommandLineCase{"BadValueIsAUsageError", {"--noise", "2"}, 2, ""},
                    CommandLineCase{
                        "UnwritableLogFails", {"--log", "/nonexistent/dir/x.log"}, 1, ""}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace sim
