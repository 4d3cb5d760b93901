#include "app/command_line.h"

#include <QCommandLineParser>
#include <QSerialPortInfo>
#include <algorithm>
#include <array>
#include <string_view>

#include "app/version.h"
#include "serial/port_help.h"
#include "serial/port_url.h"

namespace panel {

namespace {

// Every option the program takes, written once: the parser and the front-door check both read
// this table.
enum class Option { Help, Version, ListPorts, Com1, Com2 };

struct OptionSpec {
    Option option;
    std::string_view longName;
    std::string_view shortName;  // empty when there is none
    std::string_view valueName;  // empty for a switch
    FrontDoor answeredAt;
};

constexpr std::array kOptions{
    OptionSpec{Option::Help, "help", "h", "", FrontDoor::Terminal},
    OptionSpec{Option::Version, "version", "v", "", FrontDoor::Terminal},
    OptionSpec{Option::ListPorts, "list-ports", "", "", FrontDoor::Terminal},
    OptionSpec{Option::Com1, "com1", "", "DEVICE", FrontDoor::Window},
    OptionSpec{Option::Com2, "com2", "", "DEVICE", FrontDoor::Window},
};

QString qs(std::string_view text) {
    return QString::fromLatin1(text.data(), text.size());
}

QString describe(Option option, const PortDevices& defaults) {
    switch (option) {
        case Option::Help:
            return QStringLiteral("Show this help, then exit.");
        case Option::Version:
            return QStringLiteral("Show the version, then exit.");
        case Option::ListPorts:
            return QStringLiteral("List the serial ports found, then exit.");
        case Option::Com1:
            return QStringLiteral(
                       "Use DEVICE as COM1 (default %1). DEVICE may be rfc2217://HOST:PORT "
                       "(a device server; the panel sets its line speed) or socket://HOST:PORT "
                       "(raw TCP; the line settings are left to the server).")
                .arg(defaults.com1);
        case Option::Com2:
            return QStringLiteral("Use DEVICE as COM2 (default %1), or a URL as for --com1.")
                .arg(defaults.com2);
    }
    return {};
}

QCommandLineOption makeOption(const OptionSpec& spec, const PortDevices& defaults) {
    QStringList names;
    if (!spec.shortName.empty()) names << qs(spec.shortName);
    names << qs(spec.longName);
    return QCommandLineOption(names, describe(spec.option, defaults), qs(spec.valueName));
}

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

void printHelp(const QCommandLineParser& parser, QTextStream& out) {
    // Qt names the program by the path it was started with, or not at all without an app.
    QString text = parser.helpText();
    text.replace(0, text.indexOf(QLatin1Char('\n')),
                 QStringLiteral("Usage: %1 [options]").arg(QLatin1String(kProgramName)));
    out << text;
}

// Parsed options, by the table's order.
class Parsed {
public:
    explicit Parsed(const PortDevices& defaults) {
        parser_.setApplicationDescription(
            QStringLiteral("Control panel for a video projector on a serial port."));
        // Our own help option: Qt's would add --help-all, whose answer exits the process.
        for (const OptionSpec& spec : kOptions) {
            options_.push_back(makeOption(spec, defaults));
            parser_.addOption(options_.back());
        }
    }
    QCommandLineParser& parser() { return parser_; }
    const QCommandLineOption& option(Option which) const {
        return options_[static_cast<std::size_t>(which)];
    }
    bool isSet(Option which) const { return parser_.isSet(option(which)); }
    QString value(Option which) const { return parser_.value(option(which)); }

private:
    QCommandLineParser parser_;
    std::vector<QCommandLineOption> options_;
};

}  // namespace

FrontDoor frontDoorFor(int argc, const char* const argv[]) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool isLong = arg.starts_with("--");
        if (!isLong && arg != "-h" && arg != "-v") continue;
        const std::size_t equals = arg.find('=');
        const std::string_view name = isLong ? arg.substr(2, equals - 2) : arg.substr(1);
        const auto spec = std::find_if(kOptions.begin(), kOptions.end(), [&](const OptionSpec& s) {
            return s.longName == name || (!s.shortName.empty() && s.shortName == name);
        });
        // A mistyped long option is refused on the terminal.
        if (spec == kOptions.end() || spec->answeredAt == FrontDoor::Terminal)
            return FrontDoor::Terminal;
        // So is a malformed device-server URL.
        if (spec->valueName.empty()) continue;
        const char* value = equals != std::string_view::npos ? argv[i] + equals + 1
                            : i + 1 < argc                   ? argv[++i]
                                                             : "";
        const QString device = QString::fromLocal8Bit(value);
        if (isPortUrl(device) && !parsePortUrl(device).url) return FrontDoor::Terminal;
    }
    return FrontDoor::Window;
}

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
    Parsed parsed(result.devices);

    const auto finish = [&](int exitCode) {
        out.flush();
        err.flush();
        result.exitNow = true;
        result.exitCode = exitCode;
        return result;
    };
    const auto refuse = [&](const QString& message) {
        err << kProgramName << ": " << message << '\n'
            << "Try '" << kProgramName << " --help' for the options.\n";
        return finish(kCommandLineUsageError);
    };

    if (!parsed.parser().parse(arguments)) return refuse(parsed.parser().errorText());
    if (!parsed.parser().positionalArguments().isEmpty())
        return refuse(QStringLiteral("Unexpected argument '%1'.")
                          .arg(parsed.parser().positionalArguments().constFirst()));

    if (parsed.isSet(Option::Help)) {
        printHelp(parsed.parser(), out);
        return finish(0);
    }
    if (parsed.isSet(Option::Version)) {
        out << kProgramName << ' ' << kProgramVersion << '\n';
        return finish(0);
    }

    for (const auto& [option, device] : {std::pair{Option::Com1, &result.devices.com1},
                                         std::pair{Option::Com2, &result.devices.com2}}) {
        if (!parsed.isSet(option)) continue;
        const QString value = parsed.value(option);
        if (value.trimmed().isEmpty())
            return refuse(QStringLiteral("--%1 needs a device name.")
                              .arg(parsed.option(option).names().constLast()));
        if (isPortUrl(value)) {
            const ParsedPortUrl url = parsePortUrl(value);
            if (!url.url)
                return refuse(
                    QStringLiteral("--%1 %2: %3.")
                        .arg(parsed.option(option).names().constLast(), value, url.error));
        }
        *device = value;
    }

    if (parsed.isSet(Option::ListPorts)) {
        const QList<PortListing> found = ports();
        listPorts(out, found);
        for (const PortListing& port : found) err << portProblem(port.device);
        return finish(0);
    }
    return result;
}

}  // namespace panel
