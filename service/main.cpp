// projector-paneld: the projectors watched all the time and answered over HTTP.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

#include "service/daemon.h"
#include "service/signal_pipe.h"
#include "service/token_store.h"

namespace {

constexpr int kUsage = 2;
constexpr int kFailed = 1;

int addToken(const QString& configFile, const QString& name, const QString& roleWord,
             QTextStream& out, QTextStream& err) {
    const std::optional<panel::Role> role = panel::roleNamed(roleWord);
    if (!role) {
        err << "projector-paneld: the role is viewer or operator, not '" << roleWord << "'\n";
        return kUsage;
    }
    const panel::ConfigRead config = panel::readServiceConfig(configFile);
    for (const QString& problem : config.problems) err << "projector-paneld: " << problem << '\n';
    if (!config.problems.empty()) return kUsage;
    QByteArray token;
    if (auto refused = panel::TokenStore::add(config.config.tokenFile, name, *role, token)) {
        err << "projector-paneld: " << *refused << '\n';
        return kFailed;
    }
    out << token << '\n';
    err << "projector-paneld: the token of '" << name << "' (" << roleWord
        << ") is above; it is shown this once. A running service takes it up on SIGHUP.\n";
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("projector-paneld"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PANEL_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Watches the projectors of a projectors file and answers for them over HTTP."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption projectors(QStringLiteral("projectors"),
                                        QStringLiteral("The projectors file."),
                                        QStringLiteral("FILE"), panel::kDefaultServiceProjectors);
    const QCommandLineOption config(QStringLiteral("config"),
                                    QStringLiteral("The service's configuration file."),
                                    QStringLiteral("FILE"), panel::kDefaultServiceConfig);
    const QCommandLineOption listen(
        QStringLiteral("listen"),
        QStringLiteral("Listen here instead of the configuration's address (default "
                       "127.0.0.1:%1).")
            .arg(panel::kDefaultServicePort),
        QStringLiteral("ADDRESS:PORT"));
    const QCommandLineOption add(
        QStringLiteral("add-token"),
        QStringLiteral("Print a new token for NAME with ROLE (viewer or operator), store its "
                       "SHA-256 in the token file, and exit."),
        QStringLiteral("NAME"));
    parser.addOptions({projectors, config, listen, add});
    parser.addPositionalArgument(QStringLiteral("ROLE"), QStringLiteral("With --add-token."),
                                 QStringLiteral("[ROLE]"));
    parser.process(app);

    if (parser.isSet(add)) {
        if (parser.positionalArguments().size() != 1) {
            err << "projector-paneld: --add-token NAME ROLE\n";
            return kUsage;
        }
        return addToken(parser.value(config), parser.value(add), parser.positionalArguments()[0],
                        out, err);
    }
    if (!parser.positionalArguments().isEmpty()) {
        err << "projector-paneld: a role goes only with --add-token\n";
        return kUsage;
    }

    panel::SignalPipe signalPipe;
    panel::DaemonOptions options{parser.value(projectors), parser.value(config), std::nullopt};
    if (parser.isSet(listen)) options.listen = parser.value(listen);
    panel::Daemon daemon(std::move(options), err);
    if (!daemon.start()) return kUsage;
    QObject::connect(&signalPipe, &panel::SignalPipe::reload, &daemon, &panel::Daemon::reload);
    QObject::connect(&signalPipe, &panel::SignalPipe::terminate, &daemon, &panel::Daemon::stop);
    QObject::connect(&daemon, &panel::Daemon::finished, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    const int status = QCoreApplication::exec();
    err << "projector-paneld: stopped\n";
    return daemon.failed() ? kFailed : status;
}
