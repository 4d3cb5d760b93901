#include "fleet/projector_exchange.h"

#include <QObject>
#include <QTimer>

#include "core/controller.h"
#include "core/forwarding_port.h"
#include "serial/network_port.h"
#include "serial/qt_serial_port.h"
#include "serial/qt_timer.h"
#include "serial/reply_window_timer.h"
#include "serial/routed_serial_port.h"

namespace panel {
namespace {

// The line between the controller and the port: it times each write's first answer, keeps the
// bytes, and hands the end of an open that finishes later to the session.
class ExchangePort final : public TimedPort {
public:
    ExchangePort(SerialPort& inner, std::function<void(std::optional<PortError>)> opened)
        : TimedPort(inner), opened_(std::move(opened)) {}

    PortResult output(std::string_view bytes) override {
        bytes_.clear();
        return TimedPort::output(bytes);
    }
    PortResult input(std::string& bytes) override {
        PortResult result = TimedPort::input(bytes);
        if (!result) {
            bytes_ += bytes;
            everything_ += bytes;
        }
        return result;
    }

    const std::string& bytes() const { return bytes_; }
    bool refusedInUse() const { return everything_.find(kServerInUse) != std::string::npos; }

private:
    // The end of an open goes to the session, not the controller.
    void onPortOpened() override { opened_(std::nullopt); }
    void onOpenFailed(const PortError& error) override { opened_(error); }

    std::function<void(std::optional<PortError>)> opened_;
    std::string bytes_;
    std::string everything_;
};

}  // namespace

class ProjectorExchange::Session final : private View {
public:
    Session(ExchangeRequest request, Done done)
        : request_(std::move(request)),
          done_(std::move(done)),
          devices_{request_.device, request_.device},
          serial_(devices_),
          network_(devices_),
          routed_(devices_, serial_, network_),
          port_(routed_, [this](std::optional<PortError> error) { openEnded(error); }),
          replyWindow_([this] { replyWindowClosed(); }),
          controller_(port_, Timers{repeat_, replyWindow_, selectorHide_, clearing_}, *this),
          codes_(request_.codes, request_.waitMs, controller_) {
        controller_.setSessionObserver(request_.observer);
    }

    ~Session() override {
        if (port_.isOpen() || port_.isOpening()) (void)port_.setOpen(false);
    }

    void start() {
        (void)port_.setCommPort(1);
        (void)port_.setSettings(settings());
        if (PortResult failed = port_.setOpen(true)) {
            fail(failed->description);
        } else if (port_.isOpen()) {
            record(SessionEventKind::Open, settings());
            QTimer::singleShot(0, &context_, [this] { sendNext(); });
        }
    }

private:
    void captionChanged(LabelId label, const std::string& caption) override {
        codes_.captionChanged(label, caption);
    }
    void setPortSelectorVisible(bool) override {}
    void selectOption1() override {}
    void showPortSelectionFailure(const std::string& description) override { fail(description); }
    void notifyPortProblem(const std::string& text) override { fail(text); }
    void endProgram() override {}

    void openEnded(const std::optional<PortError>& error) {
        if (error) return fail(error->description);
        record(SessionEventKind::Open, settings());
        sendNext();
    }

    std::string_view settings() const {
        return request_.speed == 9600 ? kSettings9600 : kSettings19200;
    }
    // The line's own open and close: the session opens it itself, not through the controller's
    // start-up, so the controller never sees them to tell.
    void record(SessionEventKind kind, std::string_view data = {}) {
        if (request_.observer) request_.observer->record({kind, 1, data});
    }

    void sendNext() {
        if (finished_ || codes_.sendNext()) return;
        finish(codes_.anyUnanswered() ? ExchangeEnd::SomeUnanswered : ExchangeEnd::AllAnswered, {});
    }

    void replyWindowClosed() {
        if (finished_) return;
        std::optional<CodeAnswer> answer = codes_.windowClosed(port_.firstByte(), port_.bytes());
        if (!answer) return;
        result_.answers.push_back(std::move(*answer));
        sendNext();
    }

    void fail(const std::string& text) {
        // A network port names its URL itself.
        const QString device = request_.device + QStringLiteral(": ");
        const QString why = QString::fromStdString(text);
        const bool inUse = port_.refusedInUse() || text.find(kServerInUse) != std::string::npos;
        finish(inUse ? ExchangeEnd::InUse : ExchangeEnd::PortFailed,
               why.startsWith(device) ? why : device + why);
    }

    void finish(ExchangeEnd end, const QString& problem) {
        if (finished_) return;
        finished_ = true;
        replyWindow_.setEnabled(false);
        if (port_.isOpen()) record(SessionEventKind::Closed);
        if (port_.isOpen() || port_.isOpening()) (void)port_.setOpen(false);
        result_.end = end;
        result_.problem = problem;
        // The owner may destroy the exchange in `done`: never call it from inside a port's or a
        // timer's own handler.
        QTimer::singleShot(0, &context_, [this] { done_(result_); });
    }

    ExchangeRequest request_;
    Done done_;
    PortDevices devices_;
    QtSerialPort serial_;
    NetworkPort network_;
    RoutedSerialPort routed_;
    ExchangePort port_;
    QtTimer repeat_;
    ReplyWindowTimer replyWindow_;
    QtTimer selectorHide_;
    QtTimer clearing_;
    Controller controller_;
    CodeSequence codes_;
    QObject context_;  // queued calls die with the session

    bool finished_ = false;
    ExchangeResult result_;
};

ProjectorExchange::ProjectorExchange(ExchangeRequest request, Done done)
    : session_(std::make_unique<Session>(std::move(request), std::move(done))) {}

ProjectorExchange::~ProjectorExchange() = default;

void ProjectorExchange::start() {
    session_->start();
}

}  // namespace panel
