#include <QApplication>
#include <cstdio>
#include <memory>

#include "app/command_line.h"
#include "app/fleet_shell.h"
#include "app/shell_mode.h"
#include "app/version.h"
#include "desktop/desktop_identity.h"
#include "log/session_log.h"
#include "serial/line_watcher.h"
#include "serial/network_port.h"
#include "serial/qt_serial_port.h"
#include "serial/routed_serial_port.h"
#include "settings/panel_settings.h"
#include "ui/fleet_window.h"
#include "ui/form1.h"
#include "ui/screenshot_tour.h"
#include "ui/shown_report.h"
#include "ui/stderr_prompter.h"

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

int runFleetWindow(const panel::CommandLine& commandLine) {
    panel::FleetWindow fleet(commandLine.projectorsFile, commandLine.fleet->pollSeconds);
    fleet.show();
    // A development aid: a picture of the window after its first poll, for the README.
    const QString picture = qEnvironmentVariable("PANEL_FLEET_SCREENSHOT");
    if (!picture.isEmpty()) {
        QObject::connect(&fleet, &panel::FleetWindow::cycleFinished, &fleet, [&] {
            fleet.grab().save(picture);
            QCoreApplication::quit();
        });
    }
    fleet.start();
    return QApplication::exec();
}

// The panel's own window, on the devices the command line settled on.
int runPanelWindow(QApplication& app, const panel::CommandLine& commandLine,
                   panel::PanelSettings& settings) {
    // A development aid: pictures of the window at each of its heights, with no one to click OK.
    const QString screenshotDir = qEnvironmentVariable("PANEL_SCREENSHOT_DIR");
    std::unique_ptr<panel::Prompter> quiet;
    if (!screenshotDir.isEmpty()) quiet = std::make_unique<panel::StderrPrompter>();

    panel::LineWatcher lineWatcher;  // outlives the port that uses it
    panel::QtSerialPort localPort(commandLine.devices);
    panel::NetworkPort networkPort(commandLine.devices);
    panel::RoutedSerialPort port(commandLine.devices, localPort, networkPort);
    port.reopenLostLines(lineWatcher);
    panel::SessionLog log(std::string(panel::kProgramName) + ' ' + panel::kProgramVersion,
                          {panel::LoggedPort{"COM1", commandLine.devices.com1.toStdString()},
                           panel::LoggedPort{"COM2", commandLine.devices.com2.toStdString()}});
    panel::Form1 form(port, quiet.get());
    form.describePorts(commandLine.devices.com1, commandLine.devices.com2);
    QObject::connect(&lineWatcher, &panel::LineWatcher::waitChanged, &form,
                     &panel::Form1::showLineWait);
    QObject::connect(&lineWatcher, &panel::LineWatcher::heldChanged, &form,
                     &panel::Form1::showLineHeld);
    form.enablePortChooser(port, &settings);
    form.setSessionLog(log);
    // Before start-up, so that the log sees the port open.
    if (!commandLine.logFile.isEmpty()) form.startLog(commandLine.logFile);
    QObject::connect(&form, &panel::Form1::programEnded, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    // A development aid: start-up timing of this binary (scripts/measure).
    std::unique_ptr<panel::ShownReport> shownReport;
    if (!qEnvironmentVariableIsEmpty("PANEL_REPORT_SHOWN")) {
        shownReport = std::make_unique<panel::ShownReport>(form);
        app.installEventFilter(shownReport.get());
    }
    form.load();
    form.show();
    form.reportSettingsProblem();
    if (!screenshotDir.isEmpty()) return panel::ScreenshotTour::run(form, screenshotDir);
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
