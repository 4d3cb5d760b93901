#include <QApplication>
#include <memory>
#include <string_view>

#include "serial/command_line.h"
#include "serial/network_port.h"
#include "serial/port_url.h"
#include "serial/qt_serial_port.h"
#include "serial/routed_serial_port.h"
#include "ui/form1.h"
#include "ui/screenshot_tour.h"
#include "ui/shown_report.h"
#include "ui/stderr_prompter.h"

namespace {

void nameApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("projector-panel"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.40"));
}

bool isMalformedUrl(const char* value) {
    const QString device = QString::fromLocal8Bit(value);
    return panel::isPortUrl(device) && !panel::parsePortUrl(device).url;
}

// Help, version, the port list, a mistyped long option and a malformed port URL are answered on
// the terminal alone, which must work where no display can be opened. Single-dash options are
// Qt's own (-platform).
bool answeredWithoutWindow(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h") return true;
        if (!arg.starts_with("--")) continue;
        const std::size_t equals = arg.find('=');
        const std::string_view name = arg.substr(0, equals);
        if (name != "--com1" && name != "--com2") return true;
        const char* value = equals != std::string_view::npos ? argv[i] + equals + 1
                            : i + 1 < argc                   ? argv[++i]
                                                             : "";
        if (isMalformedUrl(value)) return true;
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

    const panel::CommandLine commandLine = panel::parseCommandLine(QApplication::arguments());
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
