// One projector's turn on its line: open the port, send each code through its own controller as
// a click would, wait for each reply window, close the port and tell what came back.
#pragma once

#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/code_sequence.h"
#include "core/session_observer.h"

namespace panel {

struct ExchangeRequest {
    QString device;  // a device path or URL
    int speed = 19200;
    std::vector<std::string> codes;
    std::optional<int> waitMs;            // replaces every code's reply window
    SessionObserver* observer = nullptr;  // hears the session's events; not owned, outlives it
    bool completeWhenEnded = false;       // an answer is complete once it has ended
    // How long the first code waits from the start for what the line held, and a socket:// open
    // for a device server's refusal: both listen to the same fresh connection, at once.
    std::optional<std::chrono::milliseconds> quiet = std::nullopt;
};

enum class ExchangeEnd {
    AllAnswered,
    SomeUnanswered,
    PortFailed,  // problem says why; the answers so far are kept
    InUse,       // the device server serves another client (ser2net's refusal)
};

struct ExchangeResult {
    ExchangeEnd end = ExchangeEnd::AllAnswered;
    std::vector<CodeAnswer> answers;
    QString problem;  // the device and the reason, for PortFailed and InUse
};

class ProjectorExchange final {
public:
    using Done = std::function<void(const ExchangeResult&)>;

    // `done` is called once, from the event loop, never from inside start(); the exchange may be
    // destroyed from within it. Destroying it earlier cancels it, closing the port.
    ProjectorExchange(ExchangeRequest request, Done done);
    ~ProjectorExchange();
    ProjectorExchange(const ProjectorExchange&) = delete;
    ProjectorExchange& operator=(const ProjectorExchange&) = delete;

    void start();

private:
    class Session;
    std::unique_ptr<Session> session_;
};

}  // namespace panel
