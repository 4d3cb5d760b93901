// A private X desktop for window tests: an Xvfb on a free display with openbox managing it.
#pragma once

#include <sys/types.h>

#include <string>

namespace panel::test {

class DesktopSession {
public:
    // Starts the server and the window manager and waits until openbox manages the screen.
    DesktopSession(int width, int height);
    // Stops both and waits for them: nothing is left running.
    ~DesktopSession();
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    bool ok() const { return problem_.empty(); }
    // Why the session could not start.
    const std::string& problem() const { return problem_; }
    // ":N", for DISPLAY.
    const std::string& display() const { return display_; }

private:
    bool startServer(int width, int height);
    bool startWindowManager();

    pid_t server_ = -1;
    pid_t manager_ = -1;
    std::string display_;
    std::string scratch_;  // a private directory for openbox's start-up mark
    std::string problem_;
};

}  // namespace panel::test
