// panel-screenshot: pictures of the panel's window for checking the layout by eye, and of the
// fleet window after its first poll (scripts/screenshot runs it):
//   panel-screenshot DIR [--com1 DEVICE] [--com2 DEVICE]   one PNG a state of the data panel
//   panel-screenshot --fleet PROJECTORS PICTURE            the fleet window after its first poll
#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <optional>

#include "tools/aids/aid_window.h"
#include "tools/aids/screenshot_tour.h"
#include "ui/fleet_window.h"

namespace {

int fleetPicture(const QString& projectors, const QString& picture) {
    panel::FleetWindow fleet(projectors, std::nullopt);
    fleet.show();
    QObject::connect(&fleet, &panel::FleetWindow::cycleFinished, &fleet, [&] {
        fleet.grab().save(picture);
        QCoreApplication::quit();
    });
    fleet.start();
    return QApplication::exec();
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const panel::PortDevices defaults = panel::defaultPortDevices();
    const QCommandLineOption com1(QStringLiteral("com1"), QStringLiteral("COM1's device."),
                                  QStringLiteral("DEVICE"), defaults.com1);
    const QCommandLineOption com2(QStringLiteral("com2"), QStringLiteral("COM2's device."),
                                  QStringLiteral("DEVICE"), defaults.com2);
    const QCommandLineOption fleet(QStringLiteral("fleet"),
                                   QStringLiteral("The fleet window over this projectors file."),
                                   QStringLiteral("PROJECTORS"));
    parser.addOptions({com1, com2, fleet});
    parser.addPositionalArgument(QStringLiteral("DIR"),
                                 QStringLiteral("Where the pictures go (with --fleet: the file)."));
    parser.process(app);
    if (parser.positionalArguments().size() != 1) parser.showHelp(2);
    const QString target = parser.positionalArguments().front();
    if (parser.isSet(fleet)) return fleetPicture(parser.value(fleet), target);

    panel::AidWindow window({parser.value(com1), parser.value(com2)});
    window.show();
    return panel::ScreenshotTour::run(window.form(), target);
}
