#include <QApplication>
#include <memory>

#include "serial/command_line.h"
#include "serial/qt_serial_port.h"
#include "ui/form1.h"
#include "ui/screenshot_tour.h"
#include "ui/stderr_prompter.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("projector-panel"));
    QApplication::setApplicationVersion(QStringLiteral("1.40"));

    const panel::CommandLine commandLine = panel::parseCommandLine(QApplication::arguments());
    if (commandLine.exitNow) return commandLine.exitCode;

    // A development aid: pictures of the window at each of its heights, with no one to click OK.
    const QString screenshotDir = qEnvironmentVariable("PANEL_SCREENSHOT_DIR");
    std::unique_ptr<panel::Prompter> quiet;
    if (!screenshotDir.isEmpty()) quiet = std::make_unique<panel::StderrPrompter>();

    panel::QtSerialPort port(commandLine.devices);
    panel::Form1 form(port, quiet.get());
    QObject::connect(&form, &panel::Form1::programEnded, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    form.load();
    form.show();
    if (!screenshotDir.isEmpty()) return panel::ScreenshotTour::run(form, screenshotDir);
    return app.exec();
}
