#include "app/shell_mode.h"

#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <array>
#include <functional>
#include <utility>

#include "app/version.h"
#include "core/controller.h"
#include "core/forwarding_port.h"
#include "log/session_log.h"
#include "serial/network_port.h"
#include "serial/qt_serial_port.h"
#include "serial/qt_timer.h"
#include "serial/reply_window_timer.h"
#include "serial/routed_serial_port.h"

namespace panel {
namespace {

QString latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// The line as the controller sees it, with the time from each write to the first character
// received after it, and word of an open that finished later.
class ShellPort final : public TimedPort {
public:
    using TimedPort::TimedPort;

    void whenOpened(std::function<void()> opened) { opened_ = std::move(opened); }

private:
    void onPortOpened() override {
        TimedPort::onPortOpened();
        if (opened_) std::exchange(opened_, {})();
    }

    std::function<void()> opened_;
};

PortDevices chosenFirst(const ShellRequest& request, const PortDevices& devices) {
    // The controller's start-up opens port 1: the chosen device stands there, so that the other
    // one is never opened.
    if (request.port == 2) return {devices.com2, devices.com1};
    return devices;
}

// The log names each line by the COM the operator chose, whatever the controller's number.
std::array<LoggedPort, 2> loggedPorts(const ShellRequest& request, const PortDevices& devices) {
    LoggedPort com1{"COM1", devices.com1.toStdString()};
    LoggedPort com2{"COM2", devices.com2.toStdString()};
    if (request.port == 2) return {com2, com1};
    return {com1, com2};
}

std::string programLine() {
    return std::string(kProgramName) + ' ' + kProgramVersion;
}

class ShellSession final : private View {
public:
    ShellSession(const ShellRequest& request, const PortDevices& devices, QTextStream& out,
                 QTextStream& err)
        : request_(request),
          out_(out),
          err_(err),
          serial_(chosenFirst(request, devices)),
          network_(chosenFirst(request, devices)),
          routed_(chosenFirst(request, devices), serial_, network_),
          port_(routed_),
          replyWindow_([this] { replyWindowClosed(); }),
          log_(programLine(), loggedPorts(request, devices)),
          controller_(port_, Timers{repeat_, replyWindow_, selectorHide_, clearing_}, *this),
          codes_(request_.codes, request_.waitMs, controller_) {}

    int run() {
        if (!request_.logFile.isEmpty() && !startLog()) return kCommandLineUsageError;
        controller_.load();
        // Through the window's own option: a refused speed is told as the window tells it.
        if (!failed_ && request_.speed == 9600 && controller_.click("Option10") != Handled::Yes)
            fail("the speed selector is missing");
        if (failed_) return kShellPortFailed;
        // A network line still connecting: the first command waits for it, a failure ends the
        // run through the selection's message.
        if (port_.isOpening())
            port_.whenOpened([this] { sendNext(); });
        else
            QMetaObject::invokeMethod(
                &loop_, [this] { sendNext(); }, Qt::QueuedConnection);
        const int status = loop_.exec();
        controller_.closePort();
        return withLog(status, log_);
    }

private:
    bool startLog() {
        // A log that fails later (from its header on) is told once; the commands go on.
        log_.setFailureHandler([this](const std::string& text) {
            err_ << kProgramName << ": " << QString::fromStdString(text) << '\n';
            err_.flush();
        });
        const auto refused =
            log_.start(QFile::encodeName(request_.logFile).toStdString(), kSettings19200);
        if (!refused) {
            controller_.setSessionObserver(&log_);
            return true;
        }
        return tellLogRefused(request_.logFile, *refused, err_);
    }

    void captionChanged(LabelId label, const std::string& caption) override {
        codes_.captionChanged(label, caption);
    }
    void setPortSelectorVisible(bool) override {}
    void selectOption1() override {}
    void showPortSelectionFailure(const std::string& description) override {
        // A network port names its URL itself.
        const std::string device = port_.deviceName() + ": ";
        fail(description.starts_with(device) ? description : device + description);
    }
    void notifyPortProblem(const std::string& text) override { fail(text); }
    void endProgram() override {}

    void sendNext() {
        if (failed_ || codes_.sendNext()) return;
        loop_.exit(codes_.anyUnanswered() ? kShellSomeUnanswered : kShellAllAnswered);
    }

    void replyWindowClosed() {
        if (failed_) return;
        const std::optional<CodeAnswer> answer = codes_.windowClosed(port_.firstByte());
        if (!answer) return;
        out_ << (request_.json ? jsonLine(*answer) : tabLine(*answer)) << '\n';
        out_.flush();
        sendNext();
    }

    void fail(const std::string& text) {
        if (failed_) return;
        failed_ = true;
        err_ << kProgramName << ": " << QString::fromStdString(text) << '\n';
        err_.flush();
        loop_.exit(kShellPortFailed);  // nothing more is sent
    }

    const ShellRequest& request_;
    QTextStream& out_;
    QTextStream& err_;
    QtSerialPort serial_;
    NetworkPort network_;
    RoutedSerialPort routed_;
    ShellPort port_;
    QtTimer repeat_;
    ReplyWindowTimer replyWindow_;
    QtTimer selectorHide_;
    QtTimer clearing_;
    SessionLog log_;  // outlives the controller that reports to it
    Controller controller_;
    CodeSequence codes_;
    QEventLoop loop_;

    bool failed_ = false;
};

}  // namespace

bool tellLogRefused(const QString& file, const LogRefusal& refusal, QTextStream& err) {
    // A file that opens but takes nothing (a full disk) must not keep the commands from going
    // out: the exit status tells that the record is missing.
    const bool sendAnyway = refusal.stage == LogRefusal::Stage::Header;
    err << kProgramName << ": --log " << file << ": " << QString::fromStdString(refusal.reason)
        << (sendAnyway ? "; the commands go out unrecorded.\n" : "; nothing was sent.\n");
    err.flush();
    return sendAnyway;
}

int withLog(int status, const SessionLog& log) {
    const bool ran = status == kShellAllAnswered || status == kShellSomeUnanswered;
    return ran && log.writeFailed() ? kShellLogIncomplete : status;
}

QString tabLine(const CodeAnswer& answer) {
    return latin1(answer.command) + QLatin1Char('\t') + latin1(answer.received) +
           QLatin1Char('\t') + latin1(answer.decoded.value_or(std::string()));
}

QJsonObject jsonObject(const CodeAnswer& answer) {
    QJsonObject object{{"command", latin1(answer.command)},
                       {"sent", latin1(answer.sent)},
                       {"received", latin1(answer.received)},
                       {"replied", answer.replied}};
    object.insert("decoded", answer.decoded ? QJsonValue(latin1(*answer.decoded)) : QJsonValue());
    object.insert("first_byte_ms",
                  answer.firstByteMs ? QJsonValue(*answer.firstByteMs) : QJsonValue());
    return object;
}

QString jsonLine(const QJsonObject& object) {
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QString jsonLine(const CodeAnswer& answer) {
    return jsonLine(jsonObject(answer));
}

int runShell(const ShellRequest& request, const PortDevices& devices, QTextStream& out,
             QTextStream& err) {
    ShellSession session(request, devices, out, err);
    return session.run();
}

int runShell(const ShellRequest& request, const PortDevices& devices) {
    QTextStream out(stdout);
    QTextStream err(stderr);
    return runShell(request, devices, out, err);
}

}  // namespace panel
