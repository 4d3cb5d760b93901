// What happened on the line during a session, as the controller reports it to whoever keeps a
// record of it (the session log); by default nobody does.
#pragma once

#include <string_view>

namespace panel {

enum class SessionEventKind {
    Open,
    Sent,
    Received,
    Answer,
    Speed,
    Lost,
    Reopened,
    Closed,
    Note,
    Late
};

struct SessionEvent {
    SessionEventKind kind;
    int port;  // the controller's port number: 1 is COM1, 2 is COM2
    // Sent, Received and Late (bytes after an answer that had ended, which belong to no code): the
    // bytes exactly. Open, Speed and Reopened: the line settings
    // ("19200,N,8,1"). Answer: the decoded answer, " X X X X" when nothing came. Lost: the
    // reason. Closed: empty. Note: what a program did beside the line (a scheduled run).
    std::string_view data;
};

class SessionObserver {
public:
    virtual ~SessionObserver() = default;
    // Called on the receive path for every block: must be cheap, and must not call back into
    // the controller.
    virtual void record(const SessionEvent& event) { (void)event; }
};

}  // namespace panel
