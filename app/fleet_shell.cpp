#include "app/fleet_shell.h"

#include <QEventLoop>
#include <QFile>
#include <QJsonObject>
#include <memory>

#include "app/shell_mode.h"
#include "app/version.h"
#include "fleet/projector_exchange.h"
#include "log/named_line_log.h"
#include "log/session_log.h"

namespace panel {
namespace {

QString projectorLine(const QString& name, const CodeAnswer& answer, bool json) {
    if (!json) return name + QLatin1Char('\t') + tabLine(answer);
    QJsonObject object = jsonObject(answer);
    object.insert(QStringLiteral("projector"), name);
    return jsonLine(object);
}

// The chosen projectors in the file's order, or the first name the file does not hold.
std::vector<Projector> choose(const ShellRequest& request, const ProjectorList& list,
                              QString& unknown) {
    for (const QString& name : request.projectors) {
        const bool known = std::any_of(list.projectors.begin(), list.projectors.end(),
                                       [&](const Projector& p) { return p.name == name; });
        if (!known) {
            unknown = name;
            return {};
        }
    }
    std::vector<Projector> chosen;
    for (const Projector& p : list.projectors)
        if (request.allProjectors || request.projectors.contains(p.name)) chosen.push_back(p);
    return chosen;
}

// Opens the run's log, its header naming the chosen projectors, with an observer for each. False
// when the file cannot be opened: then nothing is to be sent.
bool startLog(const QString& file, SessionLog& log, const std::vector<Projector>& chosen,
              std::vector<std::unique_ptr<NamedLineLog>>& named, QTextStream& err) {
    log.setFailureHandler([&err](const std::string& text) {
        err << kProgramName << ": " << QString::fromStdString(text) << '\n';
        err.flush();
    });
    std::vector<LoggedPort> lines;
    for (const Projector& p : chosen) lines.push_back({p.name.toStdString(), p.port.toStdString()});
    const auto refused = log.start(QFile::encodeName(file).toStdString(), lines);
    if (!refused) {
        for (const LoggedPort& line : lines)
            named.push_back(std::make_unique<NamedLineLog>(log, line));
        return true;
    }
    return tellLogRefused(file, *refused, err);
}

}  // namespace

int runFleetShell(const ShellRequest& request, const ProjectorList& list, const QString& path,
                  QTextStream& out, QTextStream& err) {
    for (const QString& problem : list.problems) err << kProgramName << ": " << problem << '\n';
    QString unknown;
    const std::vector<Projector> chosen = choose(request, list, unknown);
    if (!unknown.isEmpty()) {
        err << kProgramName << ": no projector named '" << unknown << "' in " << path << '\n';
        err.flush();
        return kFleetUnknownName;
    }
    // A file missing, unreadable or holding no usable section: there is no one to send to.
    if (chosen.empty()) {
        err << kProgramName << ": no projector to send to in " << path << '\n';
        err.flush();
        return kFleetUnknownName;
    }
    SessionLog log(std::string(kProgramName) + ' ' + kProgramVersion, {});
    std::vector<std::unique_ptr<NamedLineLog>> named;  // one a chosen projector, while logging
    if (!request.logFile.isEmpty() && !startLog(request.logFile, log, chosen, named, err))
        return kCommandLineUsageError;
    std::vector<std::unique_ptr<ProjectorExchange>> exchanges;
    std::vector<ExchangeResult> results(chosen.size());
    std::size_t left = chosen.size();
    QEventLoop loop;
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        ExchangeRequest what{chosen[i].port, chosen[i].speed, request.codes, request.waitMs,
                             named.empty() ? nullptr : named[i].get()};
        exchanges.push_back(std::make_unique<ProjectorExchange>(
            std::move(what), [&, i](const ExchangeResult& result) {
                results[i] = result;
                if (--left == 0) loop.quit();
            }));
    }
    for (const auto& exchange : exchanges) exchange->start();
    if (left > 0) loop.exec();

    int status = kShellAllAnswered;
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        for (const CodeAnswer& answer : results[i].answers)
            out << projectorLine(chosen[i].name, answer, request.json) << '\n';
        if (results[i].end == ExchangeEnd::PortFailed || results[i].end == ExchangeEnd::InUse) {
            err << kProgramName << ": " << chosen[i].name << ": " << results[i].problem << '\n';
            status = kShellPortFailed;
        } else if (results[i].end == ExchangeEnd::SomeUnanswered && status == kShellAllAnswered) {
            status = kShellSomeUnanswered;
        }
    }
    out.flush();
    err.flush();
    return withLog(status, log);
}

}  // namespace panel
