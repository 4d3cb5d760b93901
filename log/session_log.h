// The session log writer: stamps each event the controller reports and appends it to a file, a
// whole line at a time, so that a crash loses at most the line being written.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/session_observer.h"
#include "log/session_line.h"

namespace panel {

// Why a log did not start.
struct LogRefusal {
    // Open: the file would not open and nothing was written. Header: it opened but took no
    // header (a full disk), so the session would go unrecorded.
    enum class Stage { Open, Header };
    Stage stage;
    std::string reason;
};

class SessionLog final : public SessionObserver {
public:
    // `program` heads every log ("projector-panel 1.40"); `ports` name the controller's port 1
    // and port 2.
    SessionLog(std::string program, std::array<LoggedPort, 2> ports);
    ~SessionLog() override;
    SessionLog(const SessionLog&) = delete;
    SessionLog& operator=(const SessionLog&) = delete;

    // Opens `path` for appending (creating it) and writes the header with the line settings in
    // use. The refusal when it cannot be opened or its header cannot be written, and then no log
    // is active; a log already being written is stopped first.
    std::optional<LogRefusal> start(const std::string& path, std::string_view settings);
    // The same for a log of several named lines (a fleet): the header names each one, and their
    // events come through record(port, event).
    std::optional<LogRefusal> start(const std::string& path, const std::vector<LoggedPort>& lines);
    void stop();
    bool active() const { return fd_ >= 0; }
    // A write failed since the last start, the header's included: the record is incomplete.
    bool writeFailed() const { return writeFailed_; }
    const std::string& path() const { return path_; }

    // The device behind the controller's port 1 or 2 changed: later lines name the new one.
    void setDevice(int port, std::string device) { ports_[port == 2 ? 1 : 0].device = device; }

    // Told once when a write fails; logging has stopped by then.
    void setFailureHandler(std::function<void(const std::string&)> handler);

    void record(const SessionEvent& event) override;
    // One event of the line `port` names, whatever the event's port number.
    void record(const LoggedPort& port, const SessionEvent& event);

private:
    std::optional<LogRefusal> open(const std::string& path, const std::string& lines);
    // The reason when the line could not be written whole; logging has stopped then.
    std::optional<std::string> write();

    std::string program_;
    std::array<LoggedPort, 2> ports_;
    std::function<void(const std::string&)> failed_;
    std::string path_;
    int fd_ = -1;
    bool writeFailed_ = false;
    LocalStamp stamp_;
    std::string line_;  // reused by every event
};

}  // namespace panel
