// The command line: help, version, port list, device replacement, the shell mode's options,
// refusal of unknown options and bad values, and which front door each command line needs.
#include "app/command_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <QFile>
#include <QTemporaryFile>
#include <optional>
#include <vector>

#include "core/catalogue.h"
#include "testkit/pseudo_terminal.h"

namespace panel {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

struct Outcome {
    CommandLine result;
    std::string out;
    std::string err;
};

Outcome run(QStringList arguments, const QList<PortListing>& ports = {}) {
    arguments.prepend(QStringLiteral("./build/app/projector-panel"));
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    Outcome r;
    r.result = parseCommandLine(arguments, outStream, errStream, [&] { return ports; });
    outStream.flush();
    errStream.flush();
    r.out = out.toStdString();
    r.err = err.toStdString();
    return r;
}

struct DeviceCase {
    const char* name;
    friend void PrintTo(const DeviceCase& c, std::ostream* os) { *os << c.name; }
    QStringList arguments;
    const char* com1;
    const char* com2;
};

class DeviceOptionsTest : public ::testing::TestWithParam<DeviceCase> {};

TEST_P(DeviceOptionsTest, ReplaceTheDefaultDevicesAndStartThePanel) {
    const DeviceCase& c = GetParam();
    const Outcome r = run(c.arguments);
    EXPECT_FALSE(r.result.exitNow);
    EXPECT_EQ(r.result.exitCode, 0);
    EXPECT_EQ(r.result.devices.com1.toStdString(), c.com1);
    EXPECT_EQ(r.result.devices.com2.toStdString(), c.com2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
}

INSTANTIATE_TEST_SUITE_P(
    Table, DeviceOptionsTest,
    ::testing::Values(
        DeviceCase{"NoArguments", {}, "/dev/ttyS0", "/dev/ttyS1"},
        DeviceCase{"Com1Only", {"--com1", "/dev/ttyUSB0"}, "/dev/ttyUSB0", "/dev/ttyS1"},
        DeviceCase{"Com2Only", {"--com2", "/dev/pts/7"}, "/dev/ttyS0", "/dev/pts/7"},
        DeviceCase{"BothWithEquals",
                   {"--com1=/dev/ttyUSB1", "--com2=/dev/ttyACM0"},
                   "/dev/ttyUSB1",
                   "/dev/ttyACM0"},
        DeviceCase{"LastOneWins", {"--com1", "/dev/a", "--com1", "/dev/b"}, "/dev/b", "/dev/ttyS1"},
        DeviceCase{"NetworkUrls",
                   {"--com1", "rfc2217://hall-a:4001", "--com2=socket://[::1]:7000"},
                   "rfc2217://hall-a:4001",
                   "socket://[::1]:7000"},
        DeviceCase{"BareNamesUnderDev",
                   {"--com1", "ttyUSB0", "--com2=pts/4"},
                   "/dev/ttyUSB0",
                   "/dev/pts/4"}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusedCase {
    const char* name;
    friend void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }
    QStringList arguments;
    const char* mentions;
};

class RefusedTest : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedTest, ExitsNonZeroWithAClearMessageOnStderr) {
    const Outcome r = run(GetParam().arguments);
    EXPECT_TRUE(r.result.exitNow);
    EXPECT_EQ(r.result.exitCode, kCommandLineUsageError);
    EXPECT_THAT(r.err, HasSubstr(GetParam().mentions));
    EXPECT_THAT(r.err, HasSubstr("--help"));
    EXPECT_EQ(r.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusedTest,
    ::testing::Values(
        RefusedCase{"UnknownLongOption", {"--baud", "9600"}, "baud"},
        RefusedCase{"UnknownShortOption", {"-x"}, "x"},
        RefusedCase{"DeviceMissing", {"--com1"}, "com1"},
        RefusedCase{"EmptyDevice", {"--com2", ""}, "com2"},
        RefusedCase{"QtsHelpAll", {"--help-all"}, "help-all"},
        RefusedCase{"StrayArgument", {"/dev/ttyUSB0"}, "/dev/ttyUSB0"},
        RefusedCase{"UnknownAfterGoodOption", {"--com1", "/dev/ttyUSB0", "--demo"}, "demo"},
        RefusedCase{"CodeOutsideLatin1", {"--send", "C00", "--send", "C\u20AC"}, "Latin-1"},
        RefusedCase{"CodeWithCr", {"--send", "CR0\r"}, "CR0\\r"},
        RefusedCase{"CodeWithLf", {"--send", "C0\n0"}, "C0\\n0"},
        RefusedCase{"CodeOfAHundredThousand",
                    {"--send", "C00", "--send", QString(100'000, 'C')},
                    "a code of 100000 characters is longer than any the projector takes"},
        RefusedCase{"CodeOneOverTheLongest",
                    {"--send", QString(qsizetype(kLongestCode) + 1, 'C')},
                    "(at most 64); nothing was sent"},
        RefusedCase{"PortThree", {"--send", "CR0", "--port", "3"}, "--port takes 1 or 2"},
        RefusedCase{"SpeedNotOfTheTwo", {"--send", "CR0", "--speed", "4800"}, "4800"},
        RefusedCase{"WaitNegative", {"--send", "CR0", "--wait", "-5"}, "--wait"},
        RefusedCase{"WaitNotANumber", {"--send", "CR0", "--wait", "1s"}, "1s"},
        RefusedCase{"WaitOverAnHour", {"--send", "CR0", "--wait", "3600001"}, "--wait"},
        RefusedCase{"PortWithoutSend", {"--port", "2"}, "--port goes with --send"},
        RefusedCase{"JsonWithoutSend", {"--json"}, "--json goes with --send"},
        RefusedCase{"LogWithoutFile", {"--log", ""}, "--log needs a file name"},
        RefusedCase{"SendAndListCommands", {"--send", "CR0", "--list-commands"}, "--list-commands"},
        RefusedCase{"ProjectorWithoutSend", {"--projector", "Hall A"}, "goes with --send"},
        RefusedCase{"AllWithAPort", {"--all", "--com1", "/dev/x", "--send", "C01"}, "--com1"},
        RefusedCase{"ProjectorWithPortTwo",
                    {"--projector", "A", "--port", "2", "--send", "C01"},
                    "--port does not go"},
        RefusedCase{"AllAndProjector", {"--all", "--projector", "A", "--send", "C01"}, "--all"},
        RefusedCase{"PollWithoutFleet", {"--poll", "30"}, "--poll goes with --fleet"},
        RefusedCase{"PollZero", {"--fleet", "--poll", "0"}, "--poll takes whole seconds"},
        RefusedCase{"FleetAndSend", {"--fleet", "--send", "CR0"}, "--fleet and --send"},
        RefusedCase{"UrlWithoutPort",
                    {"--com1", "rfc2217://hall-a"},
                    "--com1 rfc2217://hall-a: no port (HOST:PORT)."},
        RefusedCase{"UrlOfUnknownScheme",
                    {"--com2=telnet://hall-a:23"},
                    "--com2 telnet://hall-a:23: unknown scheme 'telnet'"},
        RefusedCase{"RelativeDevice",
                    {"--com1", "./ttyUSB0", "--send", "CR0"},
                    "--com1 ./ttyUSB0: a relative path; give the device's full path"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CommandLineTest, HelpListsEveryOptionAndExitsZero) {
    for (const char* option : {"--help", "-h"}) {
        SCOPED_TRACE(option);
        const Outcome r = run({option, "--com1", "/dev/ttyUSB0"});
        EXPECT_TRUE(r.result.exitNow);
        EXPECT_EQ(r.result.exitCode, 0);
        // Every option of the parser's table, each on a line of its own.
        const std::vector<std::string> names = optionNames();
        EXPECT_FALSE(names.empty());
        for (const std::string& name : names)
            EXPECT_THAT(r.out, ::testing::ContainsRegex("\n  (-[a-z], )?" + name + "[ \n]"))
                << name;
        EXPECT_THAT(r.out, ::testing::StartsWith("Usage: projector-panel [options]\n"));
        EXPECT_THAT(r.out, HasSubstr("/dev/ttyS0"));  // the defaults are told
        EXPECT_THAT(r.out, HasSubstr("rfc2217://HOST:PORT"));
        EXPECT_THAT(QString::fromStdString(r.out).simplified().toStdString(),
                    HasSubstr("socket://HOST:PORT (raw TCP; the line settings are left to the "
                              "server)"));
        EXPECT_EQ(r.err, "");
    }
}

TEST(CommandLineTest, VersionPrintsNameAndVersionAndExitsZero) {
    for (const char* option : {"--version", "-v"}) {
        const Outcome r = run({option});
        EXPECT_TRUE(r.result.exitNow);
        EXPECT_EQ(r.result.exitCode, 0);
        // What the build was configured with: project() in the top CMakeLists.txt.
        EXPECT_EQ(r.out, PANEL_CONFIGURED_NAME " " PANEL_CONFIGURED_VERSION "\n");
        EXPECT_EQ(r.err, "");
    }
}

TEST(CommandLineTest, ListPortsShowsDeviceDescriptionAndMaker) {
    const Outcome r = run({"--list-ports"}, {{"/dev/ttyUSB0", "USB-Serial Controller", "Prolific"},
                                             {"/dev/ttyS0", "", ""}});
    EXPECT_TRUE(r.result.exitNow);
    EXPECT_EQ(r.result.exitCode, 0);
    EXPECT_THAT(r.out, HasSubstr("Device"));
    EXPECT_THAT(r.out, HasSubstr("/dev/ttyUSB0"));
    EXPECT_THAT(r.out, HasSubstr("USB-Serial Controller"));
    EXPECT_THAT(r.out, HasSubstr("Prolific"));
    EXPECT_THAT(r.out, HasSubstr("/dev/ttyS0"));
    EXPECT_THAT(r.out, Not(HasSubstr("No serial ports")));
    // One line per port under a heading, each port on its own line.
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 3);
}

TEST(CommandLineTest, ListPortsSaysSoWhenThereAreNone) {
    const Outcome r = run({"--list-ports"});
    EXPECT_TRUE(r.result.exitNow);
    EXPECT_EQ(r.result.exitCode, 0);
    EXPECT_EQ(r.out, "No serial ports found.\n");
}

struct ShellCase {
    const char* name;
    friend void PrintTo(const ShellCase& c, std::ostream* os) { *os << c.name; }
    QStringList arguments;
    std::vector<std::string> codes;
    int port;
    int speed;
    std::optional<int> waitMs;
    bool json;
};

class ShellOptionsTest : public ::testing::TestWithParam<ShellCase> {};

TEST_P(ShellOptionsTest, SendStartsTheShellModeWithItsCodesInOrder) {
    const ShellCase& c = GetParam();
    const Outcome r = run(c.arguments);
    EXPECT_FALSE(r.result.exitNow) << r.err;
    ASSERT_TRUE(r.result.shell);
    EXPECT_EQ(r.result.shell->codes, c.codes);
    EXPECT_EQ(r.result.shell->port, c.port);
    EXPECT_EQ(r.result.shell->speed, c.speed);
    EXPECT_EQ(r.result.shell->waitMs, c.waitMs);
    EXPECT_EQ(r.result.shell->json, c.json);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShellOptionsTest,
    ::testing::Values(
        ShellCase{"Defaults", {"--send", "CR0"}, {"CR0"}, 1, 19200, {}, false},
        ShellCase{"InOrderWithSpacesAndEmpty",
                  {"--send", "C00", "--send=CR PRESSURE", "--send", "", "--send", "C00"},
                  {"C00", "CR PRESSURE", "", "C00"},
                  1,
                  19200,
                  {},
                  false},
        ShellCase{
            "Latin1OneBytePerCharacter", {"--send", "C\u00E9"}, {"C\xE9"}, 1, 19200, {}, false},
        ShellCase{"EveryQualifier",
                  {"--port", "2", "--speed", "9600", "--wait", "1500", "--json", "--send", "CR0"},
                  {"CR0"},
                  2,
                  9600,
                  1500,
                  true},
        ShellCase{"WaitZero", {"--send", "CR0", "--wait=0"}, {"CR0"}, 1, 19200, 0, false},
        ShellCase{"CodeOfTheLongestLength",
                  {"--send", QString(qsizetype(kLongestCode), 'C')},
                  {std::string(kLongestCode, 'C')},
                  1,
                  19200,
                  {},
                  false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CommandLineTest, ProjectorsAndTheFleetWindowAreReadFromTheirOptions) {
    const Outcome shell = run({"--projectors", "/tmp/p.ini", "--projector", "Hall A", "--projector",
                               "講義室 101", "--send", "C01"});
    ASSERT_TRUE(shell.result.shell) << shell.err;
    EXPECT_EQ(shell.result.projectorsFile, QStringLiteral("/tmp/p.ini"));
    EXPECT_EQ(shell.result.shell->projectors,
              QStringList({"Hall A", QStringLiteral("講義室 101")}));
    EXPECT_TRUE(run({"--all", "--send", "C01"}).result.shell->allProjectors);

    const Outcome fleet = run({"--fleet", "--poll", "15"});
    ASSERT_TRUE(fleet.result.fleet) << fleet.err;
    EXPECT_EQ(fleet.result.fleet->pollSeconds, 15);
    EXPECT_FALSE(fleet.result.shell);
    EXPECT_TRUE(
        fleet.result.projectorsFile.endsWith(QStringLiteral("/projector-panel/projectors.ini")));
}

TEST(CommandLineTest, LogNamesItsFileForTheWindowAndTheShell) {
    EXPECT_EQ(run({"--log", "hall.log"}).result.logFile, QStringLiteral("hall.log"));
    const Outcome shell = run({"--send", "CR0", "--log=socket://hall"});
    ASSERT_TRUE(shell.result.shell) << shell.err;
    EXPECT_EQ(shell.result.shell->logFile, QStringLiteral("socket://hall"));
}

// Another serial program's lock, in the plain form (the owner's pid, padded to ten characters).
TEST(CommandLineTest, ListPortsSaysOnStderrWhoHoldsALockedPort) {
    test::PseudoTerminal line;
    ASSERT_TRUE(line.ok());
    QString name = line.path().mid(5);  // below /dev/
    QFile lock(QStringLiteral("/run/lock/LCK..") +
               name.replace(QLatin1Char('/'), QLatin1Char('_')));
    if (!lock.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        GTEST_SKIP() << "cannot write the lock file " << lock.fileName().toStdString();
    lock.write(QByteArray::number(getpid()).rightJustified(10) + '\n');
    lock.close();
    const Outcome r = run({"--list-ports"}, {{line.path(), "", ""}});
    lock.remove();

    EXPECT_EQ(r.result.exitCode, 0);
    EXPECT_THAT(r.out, HasSubstr(line.path().toStdString()));
    const std::string device = line.path().toStdString();
    EXPECT_THAT(r.err, ::testing::StartsWith(device + " is in use by "));
    EXPECT_THAT(r.err, HasSubstr(" (pid " + std::to_string(getpid()) + "): close that program"));
}

// What the lock test cannot show: a listed path that is not a serial port at all.
TEST(CommandLineTest, ListPortsSaysOnStderrWhenAListedPathIsNoSerialPort) {
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    const Outcome r = run({"--list-ports"}, {{file.fileName(), "", ""}});
    EXPECT_EQ(r.result.exitCode, 0);
    EXPECT_THAT(r.err, ::testing::StartsWith(file.fileName().toStdString() +
                                             " is a regular file, not a serial port: "));
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
}

struct FrontDoorCase {
    const char* name;
    friend void PrintTo(const FrontDoorCase& c, std::ostream* os) { *os << c.name; }
    std::vector<const char*> arguments;
    FrontDoor expected;
};

class FrontDoorTest : public ::testing::TestWithParam<FrontDoorCase> {};

// What the terminal answers must never need a display; what starts the panel must reach the window.
TEST_P(FrontDoorTest, AnswersNeedingNoWindowStayOnTheTerminal) {
    std::vector<const char*> argv{"projector-panel"};
    argv.insert(argv.end(), GetParam().arguments.begin(), GetParam().arguments.end());
    EXPECT_EQ(frontDoorFor(static_cast<int>(argv.size()), argv.data()), GetParam().expected);
    // The parser, given what Qt leaves of the arguments (not its own -platform), needs the same
    // door.
    QStringList arguments;
    for (std::size_t i = 0; i < argv.size(); ++i)
        if (std::string_view(argv[i]) == "-platform")
            ++i;
        else
            arguments << QString::fromLocal8Bit(argv[i]);
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    EXPECT_EQ(doorNeeded(parseCommandLine(arguments, outStream, errStream,
                                          [] { return QList<PortListing>{}; })),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FrontDoorTest,
    ::testing::Values(
        FrontDoorCase{"NoArguments", {}, FrontDoor::Window},
        FrontDoorCase{"Devices", {"--com1", "/dev/pts/3", "--com2=/dev/pts/4"}, FrontDoor::Window},
        FrontDoorCase{"QtsOwnOption", {"-platform", "offscreen"}, FrontDoor::Window},
        FrontDoorCase{"Help", {"--com1", "/dev/pts/3", "--help"}, FrontDoor::Terminal},
        FrontDoorCase{"ShortHelp", {"-h"}, FrontDoor::Terminal},
        FrontDoorCase{"ShortVersion", {"-v"}, FrontDoor::Terminal},
        FrontDoorCase{"ShortOptionsTogether", {"-vh"}, FrontDoor::Terminal},
        FrontDoorCase{"Version", {"--version"}, FrontDoor::Terminal},
        FrontDoorCase{"ListPorts", {"--list-ports"}, FrontDoor::Terminal},
        FrontDoorCase{"Mistyped", {"--comm1", "/dev/pts/3"}, FrontDoor::Terminal},
        FrontDoorCase{"MistypedWithValue", {"--colour=red"}, FrontDoor::Terminal},
        FrontDoorCase{"ListCommands", {"--list-commands", "--json"}, FrontDoor::Terminal},
        FrontDoorCase{"Send", {"--com1", "/dev/pts/3", "--send", "CR0"}, FrontDoor::Shell},
        FrontDoorCase{"SendWithEquals", {"--send=CR0", "--json"}, FrontDoor::Shell},
        FrontDoorCase{"CodeLikeAnOption", {"--send", "-h", "--send", "--help"}, FrontDoor::Shell},
        FrontDoorCase{"SendAndHelp", {"--send", "CR0", "--help"}, FrontDoor::Terminal},
        FrontDoorCase{"ModifierAlone", {"--port", "2"}, FrontDoor::Terminal},
        FrontDoorCase{"DeviceLikeAnOption", {"--com1", "--help"}, FrontDoor::Window},
        FrontDoorCase{"NetworkUrls",
                      {"--com1", "rfc2217://hall-a:4001", "--com2=socket://[::1]:7000"},
                      FrontDoor::Window},
        FrontDoorCase{"MalformedUrl", {"--com1", "socket://hall-a"}, FrontDoor::Terminal},
        FrontDoorCase{"RelativeDevice", {"--com2", "../pty", "--send", "C00"}, FrontDoor::Terminal},
        FrontDoorCase{"BareDevice", {"--com2=ttyUSB0", "--send", "C00"}, FrontDoor::Shell},
        FrontDoorCase{"NightlyCronLine", {"--all", "--send", "C01"}, FrontDoor::Shell},
        FrontDoorCase{
            "Fleet", {"--fleet", "--poll", "30", "--projectors", "p.ini"}, FrontDoor::Window},
        FrontDoorCase{"ProjectorAlone", {"--projector", "Hall A"}, FrontDoor::Terminal},
        FrontDoorCase{"LogNamedLikeAUrl", {"--log", "socket://hall-a"}, FrontDoor::Window},
        FrontDoorCase{"MalformedUrlWithEquals", {"--com2=rfc2217://h:0"}, FrontDoor::Terminal}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace panel
