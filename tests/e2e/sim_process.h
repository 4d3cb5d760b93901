// A running projector-sim: started with options, its device read from its first line of output.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace panel::e2e {

class SimProcess {
public:
    // Starts the simulator built with this suite, with `args`. device() is empty when it did not
    // come up.
    explicit SimProcess(std::vector<std::string> args);
    // Stops it as an operator would (SIGTERM), so its --link goes too.
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    const std::string& device() const { return device_; }
    pid_t pid() const { return pid_; }

    // Whether it has ended on its own (after --hangup-after); does not wait.
    bool exited();
    // Its exit status once exited() has said so.
    std::optional<int> exitStatus() const { return status_; }

private:
    void stop();

    pid_t pid_ = -1;
    std::string device_;
    bool reaped_ = false;
    std::optional<int> status_;
};

// The longest the suite waits for anything: it only bounds how long a broken build can hang a
// test, and says nothing about how fast a working one is.
inline constexpr std::chrono::milliseconds kPatience{20000};

}  // namespace panel::e2e
