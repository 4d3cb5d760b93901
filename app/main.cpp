#include <QApplication>
#include <cstdio>
#include <memory>

#include "app/command_line.h"
#include "app/shell_mode.h"
#include "app/version.h"
#include "desktop/desktop_identity.h"
#include "serial/network_port.h"
#include "serial/panel_settings.h"
#include "serial/qt_serial_port.h"
#include "serial/routed_serial_port.h"
#include "ui/form1.h"
#include "ui/screenshot_tour.h"
#include "ui/shown_report.h"
#include "ui/stderr_prompter.h"

namespace {

void nameApplication() {
    QCoreApplication::setApplicationName(QString::fromLatin1(panel::kProgramName));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(panel::kProgramVersion));
}

}  // namespace

int main(int argc, char* argv[]) {
    // The devices last chosen in the window; --com1 and --com2 stand in front for one run.
    panel::PanelSettings settings;
    const panel::PortDevices remembered = settings.devices(panel::defaultPortDevices());

    // No QApplication on these doors: they must work over ssh, from cron and with no display.
    if (panel::frontDoorFor(argc, argv) != panel::FrontDoor::Window) {
        QCoreApplication terminal(argc, argv);
        nameApplication();
        const panel::CommandLine commandLine =
            panel::parseCommandLine(QCoreApplication::arguments(), remembered);
        if (commandLine.exitNow || !commandLine.shell) return commandLine.exitCode;
        if (const QString problem = settings.takeProblem(); !problem.isEmpty())
            std::fprintf(stderr, "projector-panel: %s\n", qPrintable(problem));
        return panel::runShell(*commandLine.shell, commandLine.devices);
    }

    QApplication app(argc, argv);
    nameApplication();
    panel::applyDesktopIdentity();

    const panel::CommandLine commandLine =
        panel::parseCommandLine(QApplication::arguments(), remembered);
    if (commandLine.exitNow) return commandLine.exitCode;

    // A development aid: pictures of the window at each of its heights, with no one to click OK.
    const QString screenshotDir = qEnvironmentVariable("PANEL_SCREENSHOT_DIR");
    std::unique_ptr<panel::Prompter> quiet;
    if (!screenshotDir.isEmpty()) quiet = std::make_unique<panel::StderrPrompter>();

    panel::QtSerialPort localPort(commandLine.devices);
    panel::NetworkPort networkPort(commandLine.devices);
    panel::RoutedSerialPort port(commandLine.devices, localPort, networkPort);
    panel::Form1 form(port, quiet.get());
    form.describePorts(commandLine.devices.com1, commandLine.devices.com2);
    form.enablePortChooser(port, &settings);
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
