#include "app/shell_mode.h"

#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <array>

#include "app/version.h"
#include "log/session_log.h"
#include "serial/line_session.h"

namespace panel {
namespace {

QString latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

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

int exitStatus(SessionEnd end) {
    switch (end) {
        case SessionEnd::AllAnswered:
            return kShellAllAnswered;
        case SessionEnd::SomeUnanswered:
            return kShellSomeUnanswered;
        case SessionEnd::PortFailed:
            break;
    }
    return kShellPortFailed;
}

// The shell's way of showing a session: a line a code on the output, a failure on the error
// stream, and the end as the exit status.
class ShellSession final {
public:
    ShellSession(const ShellRequest& request, const PortDevices& devices, QTextStream& out,
                 QTextStream& err)
        : request_(request),
          out_(out),
          err_(err),
          log_(programLine(), loggedPorts(request, devices)),
          session_(LineConfig{chosenFirst(request, devices)},
                   SessionRequest{request.codes, request.waitMs, request.speed},
                   SessionEvents{[this](const CodeAnswer& answer) { print(answer); },
                                 [this](SessionEnd end, const std::string& problem) {
                                     ended(end, problem);
                                 }}) {}

    int run() {
        if (!request_.logFile.isEmpty() && !startLog()) return kCommandLineUsageError;
        session_.start();
        const int status = loop_.exec();
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
            session_.setSessionObserver(&log_);
            return true;
        }
        return tellLogRefused(request_.logFile, *refused, err_);
    }

    void print(const CodeAnswer& answer) {
        out_ << (request_.json ? jsonLine(answer) : tabLine(answer)) << '\n';
        out_.flush();
    }

    void ended(SessionEnd end, const std::string& problem) {
        if (end == SessionEnd::PortFailed) {
            err_ << kProgramName << ": " << QString::fromStdString(problem) << '\n';
            err_.flush();
        }
        loop_.exit(exitStatus(end));
    }

    const ShellRequest& request_;
    QTextStream& out_;
    QTextStream& err_;
    SessionLog log_;  // outlives the session that reports to it
    LineSession session_;
    QEventLoop loop_;
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
