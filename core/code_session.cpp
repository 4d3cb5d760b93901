#include "core/code_session.h"

#include <utility>

namespace panel {

PortResult CodeSession::SessionPort::output(std::string_view bytes) {
    sinceWrite_.clear();
    return TimedPort::output(bytes);
}

PortResult CodeSession::SessionPort::input(std::string& bytes) {
    PortResult result = TimedPort::input(bytes);
    if (!result) {
        sinceWrite_ += bytes;
        everything_ += bytes;
    }
    return result;
}

void CodeSession::SessionPort::onPortOpened() {
    TimedPort::onPortOpened();
    if (opened_) opened_();
}

CodeSession::CodeSession(SerialPort& line, Timers timers, SessionRequest request,
                         SessionEvents events)
    : request_(std::move(request)),
      events_(std::move(events)),
      port_(line, [this] { openSettled(); }),
      replyWindow_(timers.replyWindow, [this] { replyWindowClosed(); }),
      controller_(port_, Timers{timers.repeat, replyWindow_, timers.selectorHide, timers.clearing},
                  *this),
      codes_(request_.codes, request_.waitMs, controller_) {}

CodeSession::~CodeSession() {
    controller_.closePort();
}

void CodeSession::start() {
    controller_.load();
    // Through the window's own option: a refused speed is told as the window tells it.
    if (!finished_ && request_.speed == 9600 && controller_.click("Option10") != Handled::Yes)
        finish(SessionEnd::PortFailed, "the speed selector is missing");
    if (finished_) return;
    // A line still connecting: the first code waits for it, and a failure ends the session
    // through the selection's message.
    if (port_.isOpening())
        waitingForOpen_ = true;
    else
        sendNext();
}

void CodeSession::openSettled() {
    // Only the start-up's open is waited for.
    if (!std::exchange(waitingForOpen_, false)) return;
    sendNext();
}

void CodeSession::showPortSelectionFailure(const std::string& description) {
    finish(SessionEnd::PortFailed, withDeviceName(port_.deviceName(), description));
}

void CodeSession::sendNext() {
    if (finished_ || codes_.sendNext()) return;
    finish(codes_.anyUnanswered() ? SessionEnd::SomeUnanswered : SessionEnd::AllAnswered, {});
}

void CodeSession::replyWindowClosed() {
    if (finished_) return;
    const std::optional<CodeAnswer> answer =
        codes_.windowClosed(port_.firstByte(), port_.sinceWrite());
    if (!answer) return;
    if (events_.answered) events_.answered(*answer);
    sendNext();
}

void CodeSession::finish(SessionEnd end, const std::string& problem) {
    if (finished_) return;
    finished_ = true;
    waitingForOpen_ = false;
    replyWindow_.setEnabled(false);
    controller_.closePort();
    if (events_.ended) events_.ended(end, problem);
}

}  // namespace panel
