// The service's session log: what each command and power action did on its line, in the session
// log's own line format, with the token's name where the panel names its COM port and the
// projector where it names the device. So it is known who switched a hall off.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/session_observer.h"
#include "log/session_line.h"

namespace panel {

class ActionLog {
public:
    explicit ActionLog(std::string program) : program_(std::move(program)) {}
    ~ActionLog();
    ActionLog(const ActionLog&) = delete;
    ActionLog& operator=(const ActionLog&) = delete;

    // Opens `path` for appending (creating it, readable by the service alone) and writes the
    // header. The reason when it cannot.
    std::optional<std::string> start(const std::string& path);
    // Every line is written whole when it happens, so closing is all that is left to do.
    void stop();
    bool active() const { return fd_ >= 0; }

    // What sees one action's line: `actor` is the token's name, `projector` its name and port.
    std::shared_ptr<SessionObserver> observer(const std::string& actor,
                                              const std::string& projector);

    void record(const LoggedPort& who, const SessionEvent& event);
    // Told once when a write fails; logging has stopped by then, the service goes on.
    void setFailureHandler(std::function<void(const std::string&)> handler) {
        failed_ = std::move(handler);
    }

private:
    void write();

    std::string program_;
    std::function<void(const std::string&)> failed_;
    std::string path_;
    int fd_ = -1;
    LocalStamp stamp_;
    std::string line_;
};

}  // namespace panel
