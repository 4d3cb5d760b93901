#include <QApplication>
#include <memory>
#include <string_view>

#include "desktop/desktop_identity.h"
#include "serial/command_line.h"
#include "serial/qt_serial_port.h"
#include "ui/form1.h"
#include "ui/screenshot_tour.h"
#include "ui/shown_report.h"
#include "ui/stderr_prompter.h"

namespace {

void nameApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("projector-panel"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.40"));
}

// Help, version, the port list and a mistyped long option are answered on the terminal alone,
// which must work where no display can be opened. Single-dash options are Qt's own (-platform).
bool answeredWithoutWindow(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h") return true;
        if (!arg.starts_with("--")) continue;
        const std::string_view name = arg.substr(0, arg.find('='));
        if (name != "--com1" && name != "--com2") return true;
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (answeredWithoutWindow(argc, argv)) {
        QCoreApplication terminal(argc, argv);
        nameApplication();
        return panel::parseCommandLine(QCoreApplication::arguments()).exitCode;
    }

    QApplication app(argc, argv);
    nameApplication();
    panel::applyDesktopIdentity();

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
    // A development aid: start-up timing of this binary (scripts/measure).
    std::unique_ptr<panel::ShownReport> shownReport;
    if (!qEnvironmentVariableIsEmpty("PANEL_REPORT_SHOWN")) {
        shownReport = std::make_unique<panel::ShownReport>(form);
        app.installEventFilter(shownReport.get());
    }
    form.load();
    form.show();
    if (!screenshotDir.isEmpty()) return panel::ScreenshotTour::run(form, screenshotDir);
    return app.exec();
}
