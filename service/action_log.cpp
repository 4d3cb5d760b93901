#include "service/action_log.h"

#include "log/named_line_log.h"

namespace panel {

ActionLog::ActionLog(std::string program)
    : log_(std::move(program), {LoggedPort{}, LoggedPort{}}) {}

std::optional<std::string> ActionLog::start(const std::string& path,
                                            const std::vector<LoggedPort>& projectors) {
    if (std::optional<LogRefusal> refused = log_.start(path, projectors)) return refused->reason;
    return std::nullopt;
}

std::shared_ptr<SessionObserver> ActionLog::observer(const std::string& actor,
                                                     const LoggedPort& projector) {
    return std::make_shared<NamedLineLog>(
        log_, LoggedPort{projector.com + " by " + actor, projector.device});
}

void ActionLog::note(const std::string& actor, const std::string& projector,
                     const std::string& text) {
    const std::string name = projector.empty() ? actor : projector + " by " + actor;
    log_.record(LoggedPort{name, std::string()}, SessionEvent{SessionEventKind::Note, 1, text});
}

}  // namespace panel
