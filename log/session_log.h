// The session log writer: stamps each event the controller reports and appends it to a file, a
// whole line at a time, so that a crash loses at most the line being written.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "core/session_observer.h"
#include "log/session_line.h"

namespace panel {

class SessionLog final : public SessionObserver {
public:
    // `program` heads every log ("projector-panel 1.40"); `ports` name the controller's port 1
    // and port 2.
    SessionLog(std::string program, std::array<LoggedPort, 2> ports);
    ~SessionLog() override;
    SessionLog(const SessionLog&) = delete;
    SessionLog& operator=(const SessionLog&) = delete;

    // Opens `path` for appending (creating it) and writes the header with the line settings in
    // use. The reason when it cannot be opened; a log already being written is stopped first.
    std::optional<std::string> start(const std::string& path, std::string_view settings);
    void stop();
    bool active() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }

    // The device behind the controller's port 1 or 2 changed: later lines name the new one.
    void setDevice(int port, std::string device) { ports_[port == 2 ? 1 : 0].device = device; }

    // Told once when a write fails; logging has stopped by then.
    void setFailureHandler(std::function<void(const std::string&)> handler);

    void record(const SessionEvent& event) override;

private:
    void write();

    std::string program_;
    std::array<LoggedPort, 2> ports_;
    std::function<void(const std::string&)> failed_;
    std::string path_;
    int fd_ = -1;
    LocalStamp stamp_;
    std::string line_;  // reused by every event
};

}  // namespace panel
