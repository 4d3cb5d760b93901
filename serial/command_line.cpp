#include "serial/command_line.h"

#include <QCommandLineParser>
#include <QSerialPortInfo>
#include <algorithm>
#include <cstdio>

#include "serial/port_help.h"

namespace panel {

namespace {

constexpr auto kProgram = "projector-panel";

void listPorts(QTextStream& out, const QList<PortListing>& ports) {
    if (ports.isEmpty()) {
        out << "No serial ports found.\n";
        return;
    }
    const QString device = QStringLiteral("Device");
    const QString description = QStringLiteral("Description");
    qsizetype deviceWidth = device.size();
    qsizetype descriptionWidth = description.size();
    for (const PortListing& port : ports) {
        deviceWidth = std::max(deviceWidth, port.device.size());
        descriptionWidth = std::max(descriptionWidth, port.description.size());
    }
    const auto row = [&](const QString& a, const QString& b, const QString& c) {
        out << a.leftJustified(deviceWidth + 2) << b.leftJustified(descriptionWidth + 2) << c;
        out << '\n';
    };
    row(device, description, QStringLiteral("Maker"));
    for (const PortListing& port : ports) row(port.device, port.description, port.maker);
}

}  // namespace

QList<PortListing> availablePorts() {
    QList<PortListing> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports.append({info.systemLocation(), info.description(), info.manufacturer()});
    return ports;
}

CommandLine parseCommandLine(const QStringList& arguments) {
    QTextStream out(stdout);
    QTextStream err(stderr);
    return parseCommandLine(arguments, out, err);
}

CommandLine parseCommandLine(const QStringList& arguments, QTextStream& out, QTextStream& err,
                             const PortEnumerator& ports) {
    CommandLine result;
    result.devices = defaultPortDevices();

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Control panel for a video projector on a serial port."));
    // Our own help option: Qt's would add --help-all, whose answer exits the process.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help, then exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version, then exit."));
    parser.addOption(help);
    parser.addOption(version);
    const QCommandLineOption list(QStringLiteral("list-ports"),
                                  QStringLiteral("List the serial ports found, then exit."));
    const QCommandLineOption com1(
        QStringLiteral("com1"),
        QStringLiteral("Use DEVICE as COM1 (default %1).").arg(result.devices.com1),
        QStringLiteral("DEVICE"));
    const QCommandLineOption com2(
        QStringLiteral("com2"),
        QStringLiteral("Use DEVICE as COM2 (default %1).").arg(result.devices.com2),
        QStringLiteral("DEVICE"));
    parser.addOption(list);
    parser.addOption(com1);
    parser.addOption(com2);

    const auto refuse = [&](const QString& message) {
        err << kProgram << ": " << message << '\n'
            << "Try '" << kProgram << " --help' for the options.\n";
        err.flush();
        result.exitNow = true;
        result.exitCode = kCommandLineUsageError;
        return result;
    };

    if (!parser.parse(arguments)) return refuse(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return refuse(QStringLiteral("Unexpected argument '%1'.")
                          .arg(parser.positionalArguments().constFirst()));

    if (parser.isSet(help)) {
        // Qt names the program by the path it was started with, or not at all without an app.
        QString text = parser.helpText();
        text.replace(0, text.indexOf(QLatin1Char('\n')),
                     QStringLiteral("Usage: %1 [options]").arg(QLatin1String(kProgram)));
        out << text;
        out.flush();
        result.exitNow = true;
        return result;
    }
    if (parser.isSet(version)) {
        out << kProgram << ' ' << PANEL_VERSION << '\n';
        out.flush();
        result.exitNow = true;
        return result;
    }

    for (const auto& [option, device] :
         {std::pair{&com1, &result.devices.com1}, std::pair{&com2, &result.devices.com2}}) {
        if (!parser.isSet(*option)) continue;
        const QString value = parser.value(*option);
        if (value.trimmed().isEmpty())
            return refuse(QStringLiteral("--%1 needs a device name.").arg(option->names().first()));
        *device = value;
    }

    if (parser.isSet(list)) {
        const QList<PortListing> found = ports();
        listPorts(out, found);
        for (const PortListing& port : found) err << portProblem(port.device);
        out.flush();
        err.flush();
        result.exitNow = true;
    }
    return result;
}

}  // namespace panel
