#include "core/code_session.h"

#include <utility>

#include "core/replies.h"

namespace panel {

PortResult CodeSession::SessionPort::output(std::string_view bytes) {
    sinceWrite_.clear();
    written_ = true;
    ended_ = false;
    return TimedPort::output(bytes);
}

PortResult CodeSession::SessionPort::input(std::string& bytes) {
    PortResult result = TimedPort::input(bytes);
    if (result) return result;
    everything_ += bytes;
    if (written_ && answerEnd_) {
        // Behind an ended answer, the controller is given nothing: it would trace and decode it
        // as the answer's.
        std::size_t keep = bytes.size();
        if (ended_) {
            keep = 0;
        } else if (const auto end = answerEnd_(sinceWrite_ + bytes)) {
            keep = *end - sinceWrite_.size();
            ended_ = justEnded_ = true;
        }
        late_.append(bytes, keep);
        bytes.resize(keep);
    }
    sinceWrite_ += bytes;
    return result;
}

void CodeSession::SessionPort::onPortOpened() {
    TimedPort::onPortOpened();
    if (opened_) opened_();
}

void CodeSession::SessionPort::onComm(int kind) {
    if (written_ || kind != kCommEventReceived) {
        TimedPort::onComm(kind);
        // Told last: the session may close the reply window and the line.
        const bool ended = std::exchange(justEnded_, false);
        if ((ended || !late_.empty()) && afterReceive_)
            afterReceive_(ended, std::exchange(late_, {}));
        return;
    }
    // Taken here, it never reaches the controller's received trace, where it would stand in front
    // of the first answer and its decoder, which reads from the start, would find nothing.
    std::string early;
    if (!TimedPort::input(early)) everything_ += early;
}

CodeSession::CodeSession(SerialPort& line, Timers timers, Timer& quiet, SessionRequest request,
                         SessionEvents events)
    : request_(std::move(request)),
      events_(std::move(events)),
      port_(
          line, [this] { openSettled(); },
          request_.completeWhenEnded ? std::function<std::optional<std::size_t>(std::string_view)>(
                                           [this](std::string_view received) {
                                               return AnswerEnd(controller_.state().SendData,
                                                                controller_.state().CmdPrefix,
                                                                received);
                                           })
                                     : nullptr,
          [this](bool ended, const std::string& late) { afterReceive(ended, late); }),
      replyWindow_(timers.replyWindow, [this] { replyWindowClosed(); }),
      quiet_(quiet),
      controller_(port_, Timers{timers.repeat, replyWindow_, timers.selectorHide, timers.clearing},
                  *this),
      codes_(request_.codes, request_.waitMs, controller_) {
    quiet_.setInterval(request_.quiet.value_or(kQuietBeforeFirstCode));
    quiet_.setTickHandler([this] { quietEnded(); });
}

CodeSession::~CodeSession() {
    quiet_.setEnabled(false);
    quiet_.setTickHandler({});
    controller_.closePort();
}

void CodeSession::start() {
    controller_.load();
    // Through the window's own option: a refused speed is told as the window tells it.
    if (!finished_ && request_.speed == 9600 && controller_.click("Option10") != Handled::Yes)
        finish(SessionEnd::PortFailed, "the speed selector is missing");
    if (finished_) return;
    // A line still connecting: the first code waits for it too, and a failure ends the session
    // through the selection's message.
    waitingForOpen_ = port_.isOpening();
    quiet_.setEnabled(true);
}

void CodeSession::openSettled() {
    // Only the start-up's open is waited for.
    if (!std::exchange(waitingForOpen_, false) || !quietPassed_) return;
    // Not from inside the open's handler: what the line held comes with the open, after it.
    quiet_.setInterval(std::chrono::milliseconds{0});
    quiet_.setEnabled(true);
}

void CodeSession::quietEnded() {
    quiet_.setEnabled(false);
    if (std::exchange(closingEarly_, false)) {
        // Closes the window as its tick would, then reads the answer and sends the next code.
        if (replyWindow_.isEnabled()) replyWindow_.tickNow();
        return;
    }
    quietPassed_ = true;
    if (!waitingForOpen_) sendNext();
}

void CodeSession::afterReceive(bool ended, const std::string& late) {
    if (!late.empty() && observer_)
        observer_->record(SessionEvent{SessionEventKind::Late, port_.commPort(), late});
    if (!ended || finished_ || !replyWindow_.isEnabled()) return;
    // Not closed here, inside the line's own receive handler. Behind the last answer, what else
    // comes is no code's either way, and the line is closed.
    closingEarly_ = true;
    quiet_.setInterval(codes_.atLast() ? std::chrono::milliseconds{0} : kQuietAfterEndedAnswer);
    quiet_.setEnabled(true);
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
    if (std::exchange(closingEarly_, false)) quiet_.setEnabled(false);
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
    quiet_.setEnabled(false);
    replyWindow_.setEnabled(false);
    controller_.closePort();
    if (events_.ended) events_.ended(end, problem);
}

}  // namespace panel
