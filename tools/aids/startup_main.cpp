// panel-startup: the panel's window built and shown as the program does it, in a fresh process;
// prints "<CLOCK_MONOTONIC µs> <VmRSS KiB>" once it is first painted, then quits (panel-measure
// startup runs it):
//   panel-startup [--com1 DEVICE] [--com2 DEVICE]
#include <QApplication>
#include <QCommandLineParser>

#include "tools/aids/aid_window.h"
#include "tools/aids/shown_report.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const panel::PortDevices defaults = panel::defaultPortDevices();
    const QCommandLineOption com1(QStringLiteral("com1"), QStringLiteral("COM1's device."),
                                  QStringLiteral("DEVICE"), defaults.com1);
    const QCommandLineOption com2(QStringLiteral("com2"), QStringLiteral("COM2's device."),
                                  QStringLiteral("DEVICE"), defaults.com2);
    parser.addOptions({com1, com2});
    parser.process(app);

    panel::AidWindow window({parser.value(com1), parser.value(com2)});
    panel::ShownReport shown(window.form());
    app.installEventFilter(&shown);
    window.show();
    return app.exec();
}
