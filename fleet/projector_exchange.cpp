#include "fleet/projector_exchange.h"

#include "serial/line_session.h"
#include "serial/ser2net_quirks.h"

namespace panel {

// The fleet's way of showing a session: the answers and the end kept in a result, and a device
// server's refusal told apart from other failures.
class ProjectorExchange::Session final {
public:
    Session(const ExchangeRequest& request, Done done)
        : done_(std::move(done)),
          device_(request.device.toStdString()),
          session_(
              LineConfig{.devices = PortDevices{request.device, request.device},
                         .refusalWindow = request.quiet.value_or(NetworkPort::kRefusalWindow)},
              SessionRequest{request.codes, request.waitMs, request.speed,
                             request.completeWhenEnded, request.quiet},
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
        // A refusal that came after a short wait for it, behind the first code: its words are no
        // answer, whatever the session made of them.
        if (inUse && end != SessionEnd::PortFailed) {
            end = SessionEnd::PortFailed;
            result_.answers.clear();
        }
        switch (end) {
            case SessionEnd::AllAnswered:
                result_.end = ExchangeEnd::AllAnswered;
                break;
            case SessionEnd::SomeUnanswered:
                result_.end = ExchangeEnd::SomeUnanswered;
                break;
            case SessionEnd::PortFailed:
                result_.end = inUse ? ExchangeEnd::InUse : ExchangeEnd::PortFailed;
                result_.problem = QString::fromStdString(
                    problem.empty()
                        ? device_ + ": " + Ser2netQuirks::closedByServer({}, kServerInUse)
                        : problem);
                break;
        }
        done_(result_);  // may destroy this
    }

    Done done_;
    std::string device_;
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
