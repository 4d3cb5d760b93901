#include "fleet/projector_exchange.h"

#include "serial/line_session.h"

namespace panel {

// The fleet's way of showing a session: the answers and the end kept in a result, and a device
// server's refusal told apart from other failures.
class ProjectorExchange::Session final {
public:
    Session(const ExchangeRequest& request, Done done)
        : done_(std::move(done)),
          session_(
              PortDevices{request.device, request.device},
              SessionRequest{request.codes, request.waitMs, request.speed,
                             request.completeWhenEnded},
              SessionEvents{
                  [this](const CodeAnswer& answer) { result_.answers.push_back(answer); },
                  [this](SessionEnd end, const std::string& problem) { finish(end, problem); }}) {
        session_.setSessionObserver(request.observer);
    }

    void start() { session_.start(); }

private:
    void finish(SessionEnd end, const std::string& problem) {
        const bool inUse = session_.received().find(kServerInUse) != std::string::npos ||
                           problem.find(kServerInUse) != std::string::npos;
        switch (end) {
            case SessionEnd::AllAnswered:
                result_.end = ExchangeEnd::AllAnswered;
                break;
            case SessionEnd::SomeUnanswered:
                result_.end = ExchangeEnd::SomeUnanswered;
                break;
            case SessionEnd::PortFailed:
                result_.end = inUse ? ExchangeEnd::InUse : ExchangeEnd::PortFailed;
                result_.problem = QString::fromStdString(problem);
                break;
        }
        done_(result_);  // may destroy this
    }

    Done done_;
    ExchangeResult result_;
    LineSession session_;
};

ProjectorExchange::ProjectorExchange(ExchangeRequest request, Done done)
    : session_(std::make_unique<Session>(request, std::move(done))) {}

ProjectorExchange::~ProjectorExchange() = default;

void ProjectorExchange::start() {
    session_->start();
}

}  // namespace panel
