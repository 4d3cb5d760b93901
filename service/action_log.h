// The service's session log: what each command and power action did on its line, in the session
// log's own format, the projector's name and the token's name in the line's name field
// ("Hall A by desk-3": a token's name has no space, so the last " by " splits them) and its port
// in the device field. So it is known who switched a hall off.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/session_observer.h"
#include "log/session_log.h"

namespace panel {

class ActionLog {
public:
    explicit ActionLog(std::string program);

    // Opens `path` for appending (creating it) with a header naming `projectors`; the reason when
    // it cannot.
    std::optional<std::string> start(const std::string& path,
                                     const std::vector<LoggedPort>& projectors);
    // Every line is written whole when it happens, so closing is all that is left to do.
    void stop() { log_.stop(); }
    bool active() const { return log_.active(); }
    // Told once when a write fails; logging has stopped by then, the service goes on.
    void setFailureHandler(std::function<void(const std::string&)> handler) {
        log_.setFailureHandler(std::move(handler));
    }

    // What hears one action's line: `projector` names it and its port, `actor` is the token's
    // name. The log outlives what it returns.
    std::shared_ptr<SessionObserver> observer(const std::string& actor,
                                              const LoggedPort& projector);

    // A line of its own for what `actor` did beside the line ("runs Mon-Fri 07:45 ..."), under
    // the projector's name, or the actor's alone when `projector` is empty.
    void note(const std::string& actor, const std::string& projector, const std::string& text);

private:
    SessionLog log_;
};

}  // namespace panel
