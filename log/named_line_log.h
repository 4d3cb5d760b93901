// One named line's events into a session log that several lines share (a fleet's), each line of
// the log naming it.
#pragma once

#include "log/session_log.h"

namespace panel {

class NamedLineLog final : public SessionObserver {
public:
    // `log` outlives this observer; `line` is the name and device every event is logged under.
    NamedLineLog(SessionLog& log, LoggedPort line) : log_(log), line_(std::move(line)) {}

    // A projector's controller always drives its line as port 1: the number says nothing here.
    void record(const SessionEvent& event) override { log_.record(line_, event); }

private:
    SessionLog& log_;
    LoggedPort line_;
};

}  // namespace panel
