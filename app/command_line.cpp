#include "app/command_line.h"

#include <QCommandLineParser>
#include <QSerialPortInfo>
#include <algorithm>
#include <array>
#include <string_view>

#include "app/command_list.h"
#include "app/version.h"
#include "core/catalogue.h"
#include "fleet/projectors_file.h"
#include "serial/device_name.h"
#include "serial/port_help.h"
#include "serial/port_url.h"

namespace panel {

namespace {

// Every option the program takes, written once: the parser and the front-door check both read
// this table.
enum class Option {
    Help,
    Version,
    ListPorts,
    ListCommands,
    Com1,
    Com2,
    Send,
    Port,
    Speed,
    Wait,
    Json,
    Projectors,
    Projector,
    All,
    Fleet,
    Poll,
    Log,
};

// What an option asks of the program, which decides the front door.
enum class Role {
    Answer,    // answered on the terminal, nothing opened
    Device,    // names a device, for the window and the shell alike
    Session,   // for the window and the shell alike, names no device
    Shell,     // runs the shell mode
    Modifier,  // qualifies --send (or --list-commands), refused alone
    Window,    // the fleet window and what qualifies it
};

struct OptionSpec {
    Option option;
    std::string_view longName;
    std::string_view shortName;  // empty when there is none
    std::string_view valueName;  // empty for a switch
    Role role;
    std::string_view help;
    // The device whose default the help names as %1, if any.
    QString PortDevices::*shownDefault = nullptr;
};

constexpr std::array kOptions{
    OptionSpec{Option::Help, "help", "h", "", Role::Answer, "Show this help, then exit."},
    OptionSpec{Option::Version, "version", "v", "", Role::Answer, "Show the version, then exit."},
    OptionSpec{Option::ListPorts, "list-ports", "", "", Role::Answer,
               "List the serial ports found, then exit."},
    OptionSpec{Option::ListCommands, "list-commands", "", "", Role::Answer,
               "List the command buttons (group, caption, code, kind), then exit."},
    OptionSpec{Option::Com1, "com1", "", "DEVICE", Role::Device,
               "Use DEVICE as COM1 (default %1). DEVICE may be rfc2217://HOST:PORT (a device "
               "server; the panel sets its line speed) or socket://HOST:PORT (raw TCP; the line "
               "settings are left to the server).",
               &PortDevices::com1},
    OptionSpec{Option::Com2, "com2", "", "DEVICE", Role::Device,
               "Use DEVICE as COM2 (default %1), or a URL as for --com1.", &PortDevices::com2},
    OptionSpec{Option::Send, "send", "", "CODE", Role::Shell,
               "Send CODE with no window, print the answer, then exit. Repeat it to send several "
               "in order."},
    OptionSpec{Option::Port, "port", "", "1|2", Role::Modifier,
               "With --send: the port, COM1 or COM2 (default 1)."},
    OptionSpec{Option::Speed, "speed", "", "19200|9600", Role::Modifier,
               "With --send: the speed in baud (default 19200)."},
    OptionSpec{Option::Wait, "wait", "", "MS", Role::Modifier,
               "With --send: wait MS milliseconds for every answer instead of the command's own "
               "reply window."},
    OptionSpec{Option::Json, "json", "", "", Role::Modifier,
               "With --send or --list-commands: print JSON Lines."},
    OptionSpec{Option::Projectors, "projectors", "", "FILE", Role::Device,
               "Read the named projectors from FILE (default %1)."},
    OptionSpec{Option::Projector, "projector", "", "NAME", Role::Modifier,
               "With --send: send to the projector NAME of the projectors file instead of a "
               "port. Repeat it for several; they are driven at the same time."},
    OptionSpec{Option::All, "all", "", "", Role::Modifier,
               "With --send: send to every projector of the projectors file."},
    OptionSpec{Option::Fleet, "fleet", "", "", Role::Window,
               "Open the window over every projector of the projectors file."},
    OptionSpec{Option::Poll, "poll", "", "SECONDS", Role::Window,
               "With --fleet: poll every SECONDS seconds (default 60)."},
    OptionSpec{Option::Log, "log", "", "FILE", Role::Session,
               "Append a record of the session to FILE: one line an event, tab-separated."},
};

// The parser keeps its options in the table's order and finds them by Option.
constexpr bool inOptionOrder() {
    for (std::size_t i = 0; i < kOptions.size(); ++i)
        if (static_cast<std::size_t>(kOptions[i].option) != i) return false;
    return true;
}
static_assert(inOptionOrder(), "kOptions must list the options in the order of enum Option");

constexpr int kLongestPoll = 86'400;  // a day, in seconds

constexpr int kLongestWait = 3'600'000;  // an hour, in milliseconds

QString qs(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

const OptionSpec* findOption(std::string_view name) {
    const auto row = std::find_if(kOptions.begin(), kOptions.end(), [&](const OptionSpec& s) {
        return s.longName == name || (!s.shortName.empty() && s.shortName == name);
    });
    return row == kOptions.end() ? nullptr : &*row;
}

QCommandLineOption makeOption(const OptionSpec& row, const PortDevices& defaults) {
    QStringList names;
    if (!row.shortName.empty()) names << qs(row.shortName);
    names << qs(row.longName);
    QString help = qs(row.help);
    if (row.shownDefault) help = help.arg(defaults.*row.shownDefault);
    if (row.option == Option::Projectors) help = help.arg(defaultProjectorsPath());
    return QCommandLineOption(names, help, qs(row.valueName));
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
                 QStringLiteral("Usage: %1 [options]\n  or:  %1 [options] --send CODE...\n"
                                "  or:  %1 --all|--projector NAME... --send CODE...\n"
                                "  or:  %1 --fleet [--poll SECONDS]")
                     .arg(QLatin1String(kProgramName)));
    out << text
        << "\nWith --send, one line a code: the code, the received trace and the decoded answer, "
           "tab-separated.\nExit status: 0 every code answered, 1 one or more not, 2 a bad "
           "command line,\n3 the port could not be opened or failed, 4 the log missed some of "
           "the session.\n";
}

// Parsed options, by the table's order.
class Parsed {
public:
    explicit Parsed(const PortDevices& defaults) {
        parser_.setApplicationDescription(
            QStringLiteral("Control panel for a video projector on a serial port."));
        // Our own help option: Qt's would add --help-all, whose answer exits the process.
        for (const OptionSpec& row : kOptions) {
            options_.push_back(makeOption(row, defaults));
            parser_.addOption(options_.back());
        }
    }
    QCommandLineParser& parser() { return parser_; }
    const QCommandLineOption& option(Option which) const {
        return options_[static_cast<std::size_t>(which)];
    }
    QString name(Option which) const {
        return QStringLiteral("--") + option(which).names().constLast();
    }
    bool isSet(Option which) const { return parser_.isSet(option(which)); }
    QString value(Option which) const { return parser_.value(option(which)); }
    QStringList values(Option which) const { return parser_.values(option(which)); }

private:
    QCommandLineParser parser_;
    std::vector<QCommandLineOption> options_;
};

// Why a command line is refused, or nothing.
using Refusal = std::optional<QString>;

// Ends the parse: either the answer is given, or the refusal is told.
class Outcome {
public:
    Outcome(CommandLine& result, QTextStream& out, QTextStream& err)
        : result_(result), out_(out), err_(err) {}

    CommandLine finish(int exitCode) {
        out_.flush();
        err_.flush();
        result_.exitNow = true;
        result_.exitCode = exitCode;
        return result_;
    }
    CommandLine refuse(const QString& message) {
        err_ << kProgramName << ": " << message << '\n'
             << "Try '" << kProgramName << " --help' for the options.\n";
        return finish(kCommandLineUsageError);
    }

private:
    CommandLine& result_;
    QTextStream& out_;
    QTextStream& err_;
};

Refusal readDevices(const Parsed& parsed, PortDevices& devices) {
    for (const auto& [option, device] :
         {std::pair{Option::Com1, &devices.com1}, std::pair{Option::Com2, &devices.com2}}) {
        if (!parsed.isSet(option)) continue;
        const QString value = parsed.value(option);
        if (value.trimmed().isEmpty())
            return QStringLiteral("%1 needs a device name.").arg(parsed.name(option));
        const CheckedDevice checked = checkDevice(value);
        if (!checked.problem.isEmpty())
            return QStringLiteral("%1 %2: %3.").arg(parsed.name(option), value, checked.problem);
        *device = checked.device;
    }
    return std::nullopt;
}

// A code leaves one byte per character, as one frame ended by its own CR.
Refusal checkCode(const QString& code) {
    if (static_cast<std::size_t>(code.size()) > kLongestCode)
        return QStringLiteral(
                   "--send: a code of %1 characters is longer than any the projector "
                   "takes (at most %2); nothing was sent.")
            .arg(code.size())
            .arg(kLongestCode);
    QString shown = code;
    shown.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    shown.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    for (const QChar c : code) {
        if (c.unicode() > 0xFF)
            return QStringLiteral("--send %1: '%2' is not a Latin-1 character.").arg(shown, c);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            return QStringLiteral("--send %1: a code cannot hold a CR or LF.").arg(shown);
    }
    return std::nullopt;
}

// `value` as one of `allowed`, or a refusal naming them.
Refusal readChoice(const Parsed& parsed, Option option, std::initializer_list<int> allowed,
                   int& into) {
    if (!parsed.isSet(option)) return std::nullopt;
    const QString value = parsed.value(option);
    for (int choice : allowed) {
        if (value == QString::number(choice)) {
            into = choice;
            return std::nullopt;
        }
    }
    QStringList names;
    for (int choice : allowed) names << QString::number(choice);
    return QStringLiteral("%1 takes %2, not '%3'.")
        .arg(parsed.name(option), names.join(QStringLiteral(" or ")), value);
}

Refusal readWait(const Parsed& parsed, std::optional<int>& waitMs) {
    if (!parsed.isSet(Option::Wait)) return std::nullopt;
    const QString value = parsed.value(Option::Wait);
    bool ok = false;
    const int ms = value.toInt(&ok);
    // Digits only: toInt would also take a sign and surrounding blanks.
    const bool digits =
        std::all_of(value.begin(), value.end(), [](QChar c) { return c.isDigit(); });
    if (!ok || !digits || ms > kLongestWait)
        return QStringLiteral("--wait takes whole milliseconds from 0 to %1, not '%2'.")
            .arg(kLongestWait)
            .arg(value);
    waitMs = ms;
    return std::nullopt;
}

// The options that only qualify --send, given without it.
Refusal strayModifiers(const Parsed& parsed) {
    for (const OptionSpec& row : kOptions) {
        if (row.role != Role::Modifier || !parsed.isSet(row.option)) continue;
        if (row.option == Option::Json && parsed.isSet(Option::ListCommands)) continue;
        return QStringLiteral("%1 goes with --send.").arg(parsed.name(row.option));
    }
    return std::nullopt;
}

Refusal readShellRequest(const Parsed& parsed, std::optional<ShellRequest>& shell) {
    if (!parsed.isSet(Option::Send)) return strayModifiers(parsed);
    ShellRequest request;
    for (const QString& code : parsed.values(Option::Send)) {
        if (Refusal refused = checkCode(code)) return refused;
        const QByteArray bytes = code.toLatin1();
        request.codes.emplace_back(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    if (Refusal refused = readChoice(parsed, Option::Port, {1, 2}, request.port)) return refused;
    if (Refusal refused = readChoice(parsed, Option::Speed, {19200, 9600}, request.speed))
        return refused;
    if (Refusal refused = readWait(parsed, request.waitMs)) return refused;
    request.json = parsed.isSet(Option::Json);
    request.projectors = parsed.values(Option::Projector);
    request.allProjectors = parsed.isSet(Option::All);
    if (request.allProjectors && !request.projectors.isEmpty())
        return QStringLiteral("--all and --projector do not go together.");
    if (request.overProjectors()) {
        for (Option port : {Option::Com1, Option::Com2, Option::Port})
            if (parsed.isSet(port))
                return QStringLiteral("%1 does not go with --projector or --all.")
                    .arg(parsed.name(port));
    }
    request.logFile = parsed.value(Option::Log);
    shell = std::move(request);
    return std::nullopt;
}

Refusal readFleetRequest(const Parsed& parsed, std::optional<FleetRequest>& fleet) {
    if (!parsed.isSet(Option::Fleet)) {
        if (parsed.isSet(Option::Poll)) return QStringLiteral("--poll goes with --fleet.");
        return std::nullopt;
    }
    if (parsed.isSet(Option::Send)) return QStringLiteral("--fleet and --send do not go together.");
    FleetRequest request;
    if (parsed.isSet(Option::Poll)) {
        const QString value = parsed.value(Option::Poll);
        bool ok = false;
        const int seconds = value.toInt(&ok);
        const bool digits =
            std::all_of(value.begin(), value.end(), [](QChar c) { return c.isDigit(); });
        if (!ok || !digits || seconds < 1 || seconds > kLongestPoll)
            return QStringLiteral("--poll takes whole seconds from 1 to %1, not '%2'.")
                .arg(kLongestPoll)
                .arg(value);
        request.pollSeconds = seconds;
    }
    fleet = request;
    return std::nullopt;
}

Refusal checkArguments(Parsed& parsed, const QStringList& arguments) {
    QCommandLineParser& parser = parsed.parser();
    if (!parser.parse(arguments)) return parser.errorText();
    if (!parser.positionalArguments().isEmpty())
        return QStringLiteral("Unexpected argument '%1'.")
            .arg(parser.positionalArguments().constFirst());
    if (parsed.isSet(Option::Send) && parsed.isSet(Option::ListCommands))
        return QStringLiteral("--send and --list-commands do not go together.");
    return std::nullopt;
}

}  // namespace

FrontDoor frontDoorFor(int argc, const char* const argv[]) {
    bool shell = false;
    bool modifier = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (!arg.starts_with("--")) {
            // Qt reads "-hv" as -h -v; any other single-dash option is Qt's own (-platform).
            if (arg.size() > 1 && arg.find_first_not_of("hv", 1) == std::string_view::npos)
                return FrontDoor::Terminal;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string_view name = arg.substr(2, equals - 2);
        const OptionSpec* row = findOption(name);
        // A mistyped long option is refused on the terminal.
        if (!row || row->role == Role::Answer) return FrontDoor::Terminal;
        shell = shell || row->role == Role::Shell;
        modifier = modifier || row->role == Role::Modifier;
        if (row->valueName.empty()) continue;
        // The parser takes the next argument as the value whatever it looks like ("--send -h").
        const char* value = equals != std::string_view::npos ? argv[i] + equals + 1
                            : i + 1 < argc                   ? argv[++i]
                                                             : "";
        // A device refused, or a malformed device-server URL, is refused on the terminal too.
        const QString device = QString::fromLocal8Bit(value);
        const bool port = row->option == Option::Com1 || row->option == Option::Com2;
        if (port && !checkDevice(device).problem.isEmpty()) return FrontDoor::Terminal;
        if (row->role == Role::Device && isPortUrl(device) && !parsePortUrl(device).url)
            return FrontDoor::Terminal;
    }
    if (shell) return FrontDoor::Shell;
    // A qualifier of --send alone is refused, and that needs no window either.
    return modifier ? FrontDoor::Terminal : FrontDoor::Window;
}

FrontDoor doorNeeded(const CommandLine& line) {
    if (line.exitNow) return FrontDoor::Terminal;
    return line.shell ? FrontDoor::Shell : FrontDoor::Window;
}

QList<PortListing> availablePorts() {
    QList<PortListing> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports.append({info.systemLocation(), info.description(), info.manufacturer()});
    return ports;
}

CommandLine parseCommandLine(const QStringList& arguments, const PortDevices& defaults) {
    QTextStream out(stdout);
    QTextStream err(stderr);
    return parseCommandLine(arguments, out, err, availablePorts, defaults);
}

CommandLine parseCommandLine(const QStringList& arguments, QTextStream& out, QTextStream& err,
                             const PortEnumerator& ports, const PortDevices& defaults) {
    CommandLine result;
    result.devices = defaults;
    Parsed parsed(result.devices);
    Outcome outcome(result, out, err);

    if (Refusal refused = checkArguments(parsed, arguments)) return outcome.refuse(*refused);
    if (parsed.isSet(Option::Help)) {
        printHelp(parsed.parser(), out);
        return outcome.finish(0);
    }
    if (parsed.isSet(Option::Version)) {
        out << kProgramName << ' ' << kProgramVersion << '\n';
        return outcome.finish(0);
    }
    if (Refusal refused = readDevices(parsed, result.devices)) return outcome.refuse(*refused);
    if (parsed.isSet(Option::Log) && parsed.value(Option::Log).isEmpty())
        return outcome.refuse(QStringLiteral("--log needs a file name."));
    result.logFile = parsed.value(Option::Log);
    if (Refusal refused = readShellRequest(parsed, result.shell)) return outcome.refuse(*refused);
    if (Refusal refused = readFleetRequest(parsed, result.fleet)) return outcome.refuse(*refused);
    result.projectorsFile = parsed.isSet(Option::Projectors) ? parsed.value(Option::Projectors)
                                                             : defaultProjectorsPath();
    if (parsed.isSet(Option::ListPorts)) {
        const QList<PortListing> found = ports();
        listPorts(out, found);
        for (const PortListing& port : found) err << portProblem(port.device);
        return outcome.finish(0);
    }
    if (parsed.isSet(Option::ListCommands)) {
        listCommands(out, parsed.isSet(Option::Json));
        return outcome.finish(0);
    }
    return result;
}

std::vector<std::string> optionNames() {
    std::vector<std::string> names;
    for (const OptionSpec& row : kOptions) names.push_back("--" + std::string(row.longName));
    return names;
}

}  // namespace panel
