#include <QApplication>
#include <QFile>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <utility>

#include "app/command_line.h"
#include "app/fleet_shell.h"
#include "app/shell_mode.h"
#include "app/version.h"
#include "desktop/desktop_identity.h"
#include "log/named_line_log.h"
#include "log/session_log.h"
#include "serial/line_stack.h"
#include "settings/panel_settings.h"
#include "ui/fleet_window.h"
#include "ui/form1.h"

namespace {

void nameApplication() {
    QCoreApplication::setApplicationName(QString::fromLatin1(panel::kProgramName));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(panel::kProgramVersion));
}

// The door taken from the raw arguments cannot serve what the parser read from them.
int wrongDoor(const char* needs) {
    std::fprintf(stderr,
                 "%s: this command line needs %s, which the program did not prepare for it; "
                 "please report it as a fault\n",
                 panel::kProgramName, needs);
    return panel::kFrontDoorMismatch;
}

int runFleetShell(const panel::CommandLine& commandLine) {
    QTextStream out(stdout);
    QTextStream err(stderr);
    return panel::runFleetShell(*commandLine.shell,
                                panel::readProjectors(commandLine.projectorsFile),
                                commandLine.projectorsFile, out, err);
}

// The terminal and shell doors: no QApplication, so that they work over ssh, from cron and
// with no display.
int answerWithoutWindow(int argc, char* argv[], panel::PanelSettings& settings,
                        const panel::PortDevices& remembered) {
    QCoreApplication terminal(argc, argv);
    nameApplication();
    const panel::CommandLine commandLine =
        panel::parseCommandLine(QCoreApplication::arguments(), remembered);
    if (commandLine.exitNow) return commandLine.exitCode;
    if (!commandLine.shell) return wrongDoor("the window");
    if (const QString problem = settings.takeProblem(); !problem.isEmpty())
        std::fprintf(stderr, "projector-panel: %s\n", qPrintable(problem));
    if (commandLine.shell->overProjectors()) return runFleetShell(commandLine);
    return panel::runShell(*commandLine.shell, commandLine.devices);
}

// The fleet window's log: one file, each line naming its projector. Projectors come and go with
// the file, so each one's observer is made when it is first driven and kept until the end.
class FleetLog {
public:
    FleetLog() : log_(std::string(panel::kProgramName) + ' ' + panel::kProgramVersion, {}) {
        log_.setFailureHandler([](const std::string& text) {
            std::fprintf(stderr, "%s: %s\n", panel::kProgramName, text.c_str());
        });
    }
    // The reason when the log cannot be started; its header names the projectors of the file.
    std::optional<std::string> start(const QString& file, const QString& projectorsFile) {
        std::vector<panel::LoggedPort> lines;
        for (const panel::Projector& p : panel::readProjectors(projectorsFile).projectors)
            lines.push_back({p.name.toStdString(), p.port.toStdString()});
        const auto refused = log_.start(QFile::encodeName(file).toStdString(), lines);
        if (!refused) return std::nullopt;
        return refused->reason;
    }
    panel::SessionObserver* observerFor(const panel::Projector& projector) {
        auto& named = named_[{projector.name, projector.port}];
        if (!named)
            named = std::make_unique<panel::NamedLineLog>(
                log_,
                panel::LoggedPort{projector.name.toStdString(), projector.port.toStdString()});
        return named.get();
    }

private:
    panel::SessionLog log_;
    std::map<std::pair<QString, QString>, std::unique_ptr<panel::NamedLineLog>> named_;
};

int runFleetWindow(const panel::CommandLine& commandLine) {
    FleetLog log;  // outlives the fleet's exchanges
    if (!commandLine.logFile.isEmpty()) {
        if (const auto refused = log.start(commandLine.logFile, commandLine.projectorsFile)) {
            std::fprintf(stderr, "%s: --log %s: %s; the fleet window does not open.\n",
                         panel::kProgramName, qPrintable(commandLine.logFile), refused->c_str());
            return panel::kCommandLineUsageError;
        }
    }
    panel::FleetWindow fleet(commandLine.projectorsFile, commandLine.fleet->pollSeconds);
    if (!commandLine.logFile.isEmpty())
        fleet.fleet().observerFor = [&log](const panel::Projector& p) {
            return log.observerFor(p);
        };
    fleet.show();
    fleet.start();
    return QApplication::exec();
}

// The panel's own window, on the devices the command line settled on.
int runPanelWindow(QApplication& app, const panel::CommandLine& commandLine,
                   panel::PanelSettings& settings) {
    panel::LineStack line(
        panel::LineConfig{.devices = commandLine.devices, .reopenLostLines = true});
    panel::RoutedSerialPort& port = line.port();
    panel::SessionLog log(std::string(panel::kProgramName) + ' ' + panel::kProgramVersion,
                          {panel::LoggedPort{"COM1", commandLine.devices.com1.toStdString()},
                           panel::LoggedPort{"COM2", commandLine.devices.com2.toStdString()}});
    panel::Form1 form(port);
    form.describePorts(commandLine.devices.com1, commandLine.devices.com2);
    QObject::connect(line.watcher(), &panel::LineWatcher::waitChanged, &form,
                     &panel::Form1::showLineWait);
    QObject::connect(line.watcher(), &panel::LineWatcher::heldChanged, &form,
                     &panel::Form1::showLineHeld);
    form.enablePortChooser(port, &settings);
    form.setSessionLog(log);
    // Before start-up, so that the log sees the port open.
    if (!commandLine.logFile.isEmpty()) form.startLog(commandLine.logFile);
    QObject::connect(&form, &panel::Form1::programEnded, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    form.load();
    form.show();
    form.reportSettingsProblem();
    return app.exec();
}

}  // namespace

int main(int argc, char* argv[]) {
    // The devices last chosen in the window; --com1 and --com2 stand in front for one run.
    panel::PanelSettings settings;
    const panel::PortDevices remembered = settings.devices(panel::defaultPortDevices());
    if (panel::frontDoorFor(argc, argv) != panel::FrontDoor::Window)
        return answerWithoutWindow(argc, argv, settings, remembered);

    QApplication app(argc, argv);
    nameApplication();
    panel::applyDesktopIdentity();

    const panel::CommandLine commandLine =
        panel::parseCommandLine(QApplication::arguments(), remembered);
    if (commandLine.exitNow) return commandLine.exitCode;
    if (commandLine.shell) return wrongDoor("the shell mode");
    if (commandLine.fleet) return runFleetWindow(commandLine);

    return runPanelWindow(app, commandLine, settings);
}
