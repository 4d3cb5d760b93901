// A session of codes on a line of its own, on the Qt event loop: the line built for the devices,
// the controller's timers and the session. Its end is told from the event loop, never from inside
// start() or a port's or timer's handler, so that the owner may destroy it there.
#pragma once

#include <QObject>
#include <string>

#include "core/code_session.h"
#include "serial/line_stack.h"
#include "serial/qt_timer.h"

namespace panel {

class LineSession final {
public:
    // Start-up opens COM1 of the line's devices, so the device to drive stands there.
    LineSession(const LineConfig& line, SessionRequest request, SessionEvents events);
    LineSession(const LineSession&) = delete;
    LineSession& operator=(const LineSession&) = delete;

    void setSessionObserver(SessionObserver* observer) { session_.setSessionObserver(observer); }
    void start() { session_.start(); }
    const std::string& received() const { return session_.received(); }

private:
    SessionEvents events_;
    LineStack line_;
    QtTimer repeat_;
    QtTimer replyWindow_;
    QtTimer selectorHide_;
    QtTimer clearing_;
    QtTimer quiet_;
    QObject context_;  // queued calls die with the session
    CodeSession session_;
};

}  // namespace panel
