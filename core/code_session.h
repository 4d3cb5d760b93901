// One turn of codes on a line, taken as the window takes it: start-up opens COM1 (at 9600 through
// the window's own speed option), each code goes out as a click of its button would send it, its
// answer is read when its reply window closes (or, if asked, as soon as it has ended), and the line
// is closed at the end. The shell, the fleet and any later front door drive a projector through
// it; they only show what it tells.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/after_tick_timer.h"
#include "core/code_sequence.h"
#include "core/controller.h"
#include "core/forwarding_port.h"

namespace panel {

enum class SessionEnd { AllAnswered, SomeUnanswered, PortFailed };

struct SessionRequest {
    std::vector<std::string> codes;
    std::optional<int> waitMs;  // replaces every code's reply window
    int speed = 19200;          // or 9600
    // A code's answer is complete once it has ended (see AnswerEnd), not when its reply window
    // closes; the window stays the limit for one that does not end. What comes after an answer
    // has ended belongs to no code: it is told to the session observer as late and kept from the
    // next code. The window and the shell leave it off, their traces and late decoding being
    // what the operator expects.
    bool completeWhenEnded = false;
    // Replaces how long the first code waits for what the line held (kQuietBeforeFirstCode).
    std::optional<std::chrono::milliseconds> quiet = std::nullopt;
};

// What a session tells, each from within its line's or its timers' handlers: the owner must not
// destroy the session inside them.
struct SessionEvents {
    // One code's answer, when its reply window closes or the answer has ended.
    std::function<void(const CodeAnswer& answer)> answered;
    // Once, last, with the line closed. For PortFailed, `problem` is what failed, after the
    // device's name.
    std::function<void(SessionEnd end, const std::string& problem)> ended;
};

class CodeSession final : private View {
public:
    // What a line held before it was opened (a late answer to an earlier client, kept while no one
    // had it open) comes soon after the open: ser2net holds what it reads from a device up to
    // 20 ms (its chardelay-max) before passing it on. The first code waits this long from the
    // start, and for the open, whichever is later; what comes before it is no answer. An open
    // that takes time (a connection, its settings) listens meanwhile: what comes then is held
    // and given as the open settles.
    static constexpr std::chrono::milliseconds kQuietBeforeFirstCode{50};
    // With completeWhenEnded, the next code waits this long after an answer has ended: what the
    // far end sends on behind the end (a LF after the CR) comes in that time and is no answer to
    // the next code.
    static constexpr std::chrono::milliseconds kQuietAfterEndedAnswer{5};

    // `quiet` times the wait before the first code, and the one after an ended answer.
    CodeSession(SerialPort& line, Timers timers, Timer& quiet, SessionRequest request,
                SessionEvents events);
    // Closes the line when the end has not.
    ~CodeSession() override;
    CodeSession(const CodeSession&) = delete;
    CodeSession& operator=(const CodeSession&) = delete;

    // Who hears of the line's events (the session log); before start(). Not owned.
    void setSessionObserver(SessionObserver* observer) {
        observer_ = observer;
        controller_.setSessionObserver(observer);
    }
    void start();
    // Everything the line brought since the start, as it came: a device server's refusal shows
    // here.
    const std::string& received() const { return port_.everything(); }

private:
    // The line as the controller sees it: it times each write's first answer, keeps what comes,
    // and tells the session when an open that finishes later has opened.
    class SessionPort final : public TimedPort {
    public:
        // `answerEnd` finds where the answer to the last write ends, when it is to be looked for;
        // `afterReceive` hears of an answer that has ended and of late bytes, once the controller
        // has taken what it was given.
        SessionPort(SerialPort& inner, std::function<void()> opened,
                    std::function<std::optional<std::size_t>(std::string_view)> answerEnd,
                    std::function<void(bool ended, const std::string& late)> afterReceive)
            : TimedPort(inner),
              opened_(std::move(opened)),
              answerEnd_(std::move(answerEnd)),
              afterReceive_(std::move(afterReceive)) {}

        PortResult output(std::string_view bytes) override;
        PortResult input(std::string& bytes) override;
        // What came since the last write.
        const std::string& sinceWrite() const { return sinceWrite_; }
        const std::string& everything() const { return everything_; }

    private:
        void onPortOpened() override;
        void onComm(int kind) override;

        std::function<void()> opened_;
        std::function<std::optional<std::size_t>(std::string_view)> answerEnd_;
        std::function<void(bool ended, const std::string& late)> afterReceive_;
        std::string sinceWrite_;
        std::string everything_;
        std::string late_;  // what came after the answer had ended, not yet told
        bool written_ = false;
        bool ended_ = false;  // the answer to the last write has ended
        bool justEnded_ = false;
    };

    void captionChanged(LabelId label, const std::string& caption) override {
        codes_.captionChanged(label, caption);
    }
    void setPortSelectorVisible(bool) override {}
    void selectOption1() override {}
    void showPortSelectionFailure(const std::string& description) override;
    void notifyPortProblem(const std::string& text) override {
        finish(SessionEnd::PortFailed, text);
    }
    void endProgram() override {}

    void openSettled();
    void quietEnded();
    void sendNext();
    void replyWindowClosed();
    void afterReceive(bool ended, const std::string& late);
    void finish(SessionEnd end, const std::string& problem);

    SessionRequest request_;
    SessionEvents events_;
    SessionPort port_;
    AfterTickTimer replyWindow_;
    Timer& quiet_;
    Controller controller_;
    CodeSequence codes_;
    SessionObserver* observer_ = nullptr;
    bool waitingForOpen_ = false;
    bool quietPassed_ = false;   // the quiet before the first code has passed
    bool closingEarly_ = false;  // an answer has ended: the quiet timer closes its window
    bool finished_ = false;
};

}  // namespace panel
