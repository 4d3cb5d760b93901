// The real projector-panel binary in its shell mode against projector-sim on a pseudo-terminal,
// started with no display at all: no DISPLAY, no WAYLAND_DISPLAY, no QT_QPA_PLATFORM.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QThread>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <functional>

#include "core/trace.h"
#include "testkit/frame_log_reader.h"
#include "tests/e2e/sim_process.h"
#include "tests/support/expected_catalogue.h"
#include "tests/support/expected_replies.h"

namespace panel::e2e {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// The decoded-reply caption for the reply `code` to `query` (tests/support).
QString caption(std::string_view query, std::string_view code) {
    return QString::fromStdString(expected::Caption(query, code));
}

struct PanelRun {
    int exitCode = -1;
    QStringList lines;  // standard output, one entry a line
    QString err;
};

// Never the user's own settings: a configuration folder of the tests' own, empty unless a test
// writes one.
QString ownConfig() {
    static QTemporaryDir folder;
    return folder.path();
}

QProcessEnvironment withoutDisplay(const QString& config = ownConfig()) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XAUTHORITY"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    return env;
}

// `inChild` runs in the panel's process before it starts, as setrlimit needs.
PanelRun runPanel(const QStringList& arguments, const QString& config = ownConfig(),
                  const std::function<void()>& inChild = {}) {
    QProcess process;
    process.setProcessEnvironment(withoutDisplay(config));
    if (inChild) process.setChildProcessModifier(inChild);
    process.start(QStringLiteral(PROJECTOR_PANEL_BINARY), arguments);
    PanelRun run;
    if (!process.waitForFinished(static_cast<int>(kPatience.count()))) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("did not finish");
        return run;
    }
    if (process.exitStatus() == QProcess::NormalExit) run.exitCode = process.exitCode();
    run.lines = QString::fromUtf8(process.readAllStandardOutput())
                    .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

std::string describe(const PanelRun& run) {
    return "exit " + std::to_string(run.exitCode) + "\nstdout:\n" +
           run.lines.join('\n').toStdString() + "\nstderr:\n" + run.err.toStdString();
}

// What QSerialPort itself says when `path` cannot be opened.
QString qtsOwnOpenFailure(const QString& path) {
    QSerialPort plain;
    plain.setPortName(path);
    if (plain.open(QIODevice::ReadWrite)) return QStringLiteral("<it opened>");
    return plain.errorString();
}

class ShellModeTest : public ::testing::Test {
protected:
    // A simulator that logs every frame it receives; warm-up short enough to end within the
    // reply window of the power-on command.
    void start(std::vector<std::string> args = {}) {
        ASSERT_TRUE(scratch.isValid());
        log = std::make_unique<test::FrameLogReader>(scratch.filePath("frames.log").toStdString());
        args.insert(args.end(), {"--warmup", "0.2", "--log", log->path()});
        sim = std::make_unique<SimProcess>(args);
        ASSERT_FALSE(sim->device().empty()) << "the simulator did not start";
        device = QString::fromStdString(sim->device());
    }
    PanelRun send(QStringList arguments) {
        arguments.prepend(device);
        arguments.prepend(QStringLiteral("--com1"));
        return runPanel(arguments);
    }
    std::vector<std::string> frames() const {
        std::vector<std::string> result;
        for (const test::LoggedFrame& frame : log->frames()) result.push_back(frame.frame);
        return result;
    }

    QTemporaryDir scratch;
    std::unique_ptr<test::FrameLogReader> log;
    std::unique_ptr<SimProcess> sim;
    QString device;
};

TEST_F(ShellModeTest, PowerOnThenStatusPrintsTheTraceAndPowerOnWithNoDisplay) {
    ASSERT_FALSE(withoutDisplay().contains(QStringLiteral("DISPLAY")));
    ASSERT_FALSE(withoutDisplay().contains(QStringLiteral("QT_QPA_PLATFORM")));
    start();
    const PanelRun run = send({"--send", "C00", "--send", "CR0"});
    EXPECT_EQ(run.exitCode, 0) << describe(run);
    EXPECT_THAT(run.lines, ElementsAre("C00\t ACK \t", "CR0\t 0 0 CR \t" + caption("CR0", "00")))
        << describe(run);
    EXPECT_EQ(run.err, QString());
}

// The gaps are measured where the simulator reads the frames; the slack covers its own delays.
constexpr std::int64_t kSlackMicros = 100'000;

TEST_F(ShellModeTest, SeveralCodesGoOutInOrderEachAfterThePreviousReplyWindow) {
    start();
    const PanelRun run =
        send({"--send", "CR1", "--send", "C11", "--send", "CR0", "--send", "CF X"});
    EXPECT_EQ(run.exitCode, 0) << describe(run);
    EXPECT_THAT(run.lines, ElementsAre("CR1\t 1 CR \t Computer 1", "C11\t ACK \t",
                                       "CR0\t 8 0 CR \t" + caption("CR0", "80"), "CF X\t ? CR \t"))
        << describe(run);
    const std::vector<test::LoggedFrame> logged = log->frames();
    ASSERT_EQ(logged.size(), 4u);
    EXPECT_THAT(frames(), ElementsAre("CR1", "C11", "CR0", "CF X"));
    // CR1 keeps the start-up window, C11 sets the picture modes' one, CR0 is back to start-up's.
    EXPECT_GE(logged[1].micros - logged[0].micros, 500'000 - kSlackMicros);
    EXPECT_GE(logged[2].micros - logged[1].micros, 2'000'000 - kSlackMicros);
    EXPECT_GE(logged[3].micros - logged[2].micros, 500'000 - kSlackMicros);
}

TEST_F(ShellModeTest, WaitReplacesEveryReplyWindowAndPortTwoSpeed9600Work) {
    start();
    const PanelRun run = runPanel({"--com2", device, "--port", "2", "--speed", "9600", "--wait",
                                   "1200", "--send", "CR0", "--send", "CR4"});
    EXPECT_EQ(run.exitCode, 0) << describe(run);
    EXPECT_THAT(run.lines, ElementsAre("CR0\t 8 0 CR \t" + caption("CR0", "80"),
                                       "CR4\t 1 1 CR \t" + caption("CR4", "11")))
        << describe(run);
    const std::vector<test::LoggedFrame> logged = log->frames();
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_GE(logged[1].micros - logged[0].micros, 1'200'000 - kSlackMicros);
}

TEST_F(ShellModeTest, JsonLinesParseWithTheirKeysAndTypes) {
    start();
    const PanelRun run = send({"--json", "--send", "CR0", "--send", "C00"});
    EXPECT_EQ(run.exitCode, 0) << describe(run);
    ASSERT_EQ(run.lines.size(), 2) << describe(run);
    for (const QString& line : run.lines) {
        QJsonParseError error;
        const QJsonObject object = QJsonDocument::fromJson(line.toUtf8(), &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
        // The keys and their types are shell_format_test's; here, what the real run gave.
        EXPECT_EQ(object["replied"], QJsonValue(true));
        EXPECT_TRUE(object["first_byte_ms"].isDouble());
        EXPECT_GE(object["first_byte_ms"].toDouble(), 0);
    }
    const QJsonObject status = QJsonDocument::fromJson(run.lines[0].toUtf8()).object();
    EXPECT_EQ(status["command"], QJsonValue("CR0"));
    EXPECT_EQ(status["sent"], QJsonValue(" C R 0 CR "));
    EXPECT_EQ(status["received"], QJsonValue(" 8 0 CR "));
    EXPECT_EQ(status["decoded"], QJsonValue(caption("CR0", "80")));
    // The status decoded for CR0 is not carried over to C00, which no decoder reads.
    const QJsonObject power = QJsonDocument::fromJson(run.lines[1].toUtf8()).object();
    EXPECT_EQ(power["received"], QJsonValue(" ACK "));
    EXPECT_TRUE(power["decoded"].isNull());
}

TEST_F(ShellModeTest, NoReplyIsMarkedAndExitsOne) {
    start({"--no-reply"});
    const PanelRun plain = send({"--send", "CR0"});
    EXPECT_EQ(plain.exitCode, 1) << describe(plain);
    EXPECT_THAT(plain.lines, ElementsAre("CR0\t X X X X\t")) << describe(plain);

    const PanelRun json = send({"--json", "--send", "CR0"});
    EXPECT_EQ(json.exitCode, 1) << describe(json);
    ASSERT_EQ(json.lines.size(), 1) << describe(json);
    const QJsonObject object = QJsonDocument::fromJson(json.lines[0].toUtf8()).object();
    EXPECT_EQ(object["received"], QJsonValue(" X X X X"));
    EXPECT_EQ(object["replied"], QJsonValue(false));
    EXPECT_TRUE(object["decoded"].isNull());
    EXPECT_TRUE(object["first_byte_ms"].isNull());
}

TEST_F(ShellModeTest, BadCodeOrOptionExitsTwoAndSendsNothing) {
    start();
    for (const QStringList& arguments :
         {QStringList{"--send", "CR0", "--send", "C\u20AC0"}, QStringList{"--send", "CR0\r"},
          QStringList{"--send", "CR0", "--send", "C0\n0"},
          QStringList{"--send", "CR0", "--speed", "4800"},
          QStringList{"--send", "CR0", "--retries", "2"},
          QStringList{"--send", "CR0", "--send", QString(100'000, QLatin1Char('C'))}}) {
        const PanelRun run = send(arguments);
        EXPECT_EQ(run.exitCode, 2) << describe(run);
        EXPECT_TRUE(run.lines.isEmpty()) << describe(run);
        EXPECT_THAT(run.err.toStdString(), HasSubstr("--help"));
    }
    // The line keeps its order: once this marker is logged, anything sent before it would be too.
    const PanelRun marker = send({"--send", "CR9"});
    EXPECT_EQ(marker.exitCode, 0) << describe(marker);
    EXPECT_THAT(frames(), ElementsAre("CR9"));
}

TEST_F(ShellModeTest, LogThatCannotBeOpenedExitsTwoAndSendsNothing) {
    start();
    const QString path = scratch.filePath(QStringLiteral("no/such/folder.log"));
    const PanelRun refused = send({"--send", "CR0", "--log", path});
    EXPECT_EQ(refused.exitCode, 2) << describe(refused);
    EXPECT_EQ(refused.err, QStringLiteral("projector-panel: --log %1: No such file or directory; "
                                          "nothing was sent.\n")
                               .arg(path));
    // A full disk is told once; the codes still go and are answered, and the status says that
    // the record is missing.
    const PanelRun full = send({"--send", "CR9", "--send", "CR0", "--log", "/dev/full"});
    EXPECT_EQ(full.exitCode, 4) << describe(full);
    EXPECT_EQ(full.lines.size(), 2) << describe(full);
    EXPECT_EQ(full.err.count(QStringLiteral("No space left on device")), 1) << describe(full);
    EXPECT_THAT(full.err.toStdString(), HasSubstr("the commands go out unrecorded"));
    EXPECT_THAT(frames(), ElementsAre("CR9", "CR0"));
}

// The log's file stops growing after `room` bytes in the panel's process, as a disk filling up
// during the run would have it.
std::function<void()> fileRoom(std::int64_t room) {
    return [room] {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = static_cast<rlim_t>(room);
        setrlimit(RLIMIT_FSIZE, &limit);
    };
}

struct LogEndCase {
    const char* name;
    friend void PrintTo(const LogEndCase& c, std::ostream* os) { *os << c.name; }
    std::vector<std::string> simulator;  // the simulator's options
    std::int64_t room;                   // bytes the log's file may reach
    int exitCode;
};

class ShellLogEndTest : public ShellModeTest, public ::testing::WithParamInterface<LogEndCase> {};

TEST_P(ShellLogEndTest, ALogCutShortTurnsTheStatusToFourWhileEveryCodeStillGoes) {
    const LogEndCase& c = GetParam();
    start(c.simulator);
    const QString path = scratch.filePath(QStringLiteral("session.log"));
    const PanelRun run =
        runPanel({"--com1", device, "--log", path, "--send", "CR9", "--send", "CR0"}, ownConfig(),
                 fileRoom(c.room));
    EXPECT_EQ(run.exitCode, c.exitCode) << describe(run);
    EXPECT_EQ(run.lines.size(), 2) << describe(run);
    EXPECT_THAT(frames(), ElementsAre("CR9", "CR0"));
    EXPECT_EQ(run.err.count(QStringLiteral("File too large")), c.exitCode == 4 ? 1 : 0)
        << describe(run);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShellLogEndTest,
    ::testing::Values(LogEndCase{"CutShortAllAnswered", {}, 300, 4},
                      LogEndCase{"CutShortNoneAnswered", {"--no-reply"}, 300, 4},
                      LogEndCase{"RoomForAll", {}, 1 << 20, 0},
                      LogEndCase{"RoomForAllNoneAnswered", {"--no-reply"}, 1 << 20, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// The bytes of the received lines, from their hex field, up to the first answer.
std::string loggedBytesUpToTheAnswer(const QStringList& lines) {
    std::string bytes;
    for (const QString& line : lines) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() > 3 && fields[3] == QLatin1String("answer")) break;
        if (fields.size() != 6 || fields[3] != QLatin1String("received")) continue;
        const std::string block = QByteArray::fromHex(fields[5].toLatin1()).toStdString();
        EXPECT_EQ(fields[4].toStdString(), panel::RenderTrace(block)) << line.toStdString();
        bytes += block;
    }
    return bytes;
}

TEST_F(ShellModeTest, FloodIsLoggedByteForByteAsTheSimulatorSentIt) {
    start({"--flood", "1920", "--no-reply"});
    const QString path = scratch.filePath(QStringLiteral("session.log"));
    const PanelRun run = send({"--send", "CR0", "--wait", "1500", "--log", path});
    ASSERT_EQ(run.exitCode, 0) << describe(run);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::string bytes =
        loggedBytesUpToTheAnswer(QString::fromUtf8(file.readAll()).split(QLatin1Char('\n')));
    ASSERT_GT(bytes.size(), 1500u);
    // The simulator's flood repeats one pattern: what was logged is an unbroken run of it, but
    // for what the terminal held from before the panel opened it (a few bytes at the start).
    const std::string pattern = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ\r";
    std::size_t lastBreak = 0;
    for (std::size_t i = 1; i < bytes.size(); ++i)
        if (pattern[(pattern.find(bytes[i - 1]) + 1) % pattern.size()] != bytes[i]) lastBreak = i;
    EXPECT_LT(lastBreak, 64u) << "the run breaks at byte " << lastBreak;
    // And it is what the panel itself received, as its trace shows.
    EXPECT_EQ(run.lines[0].split(QLatin1Char('\t'))[1].toStdString(), panel::RenderTrace(bytes));
}

TEST(ShellPortTest, MissingDeviceExitsThreeWithDeviceAndDescription) {
    QTemporaryDir scratch;
    const QString missing = scratch.filePath(QStringLiteral("no-projector"));
    const PanelRun run = runPanel({"--com1", missing, "--send", "CR0"});
    EXPECT_EQ(run.exitCode, 3) << describe(run);
    EXPECT_TRUE(run.lines.isEmpty()) << describe(run);
    // Qt's own description first; a line of help for the operator may follow.
    EXPECT_TRUE(run.err.startsWith(
        QStringLiteral("projector-panel: %1: %2\n").arg(missing, qtsOwnOpenFailure(missing))))
        << describe(run);
}

TEST_F(ShellModeTest, BusyDeviceExitsThreeWithDeviceAndDescription) {
    start();
    // A second opener holding the line the way the panel's own adapter holds it.
    QSerialPort holder;
    holder.setPortName(device);
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite)) << holder.errorString().toStdString();
    const QString refusal = qtsOwnOpenFailure(device);
    ASSERT_NE(refusal, QStringLiteral("<it opened>"));

    const PanelRun run = send({"--send", "CR0"});
    EXPECT_EQ(run.exitCode, 3) << describe(run);
    EXPECT_TRUE(run.lines.isEmpty()) << describe(run);
    EXPECT_TRUE(
        run.err.startsWith(QStringLiteral("projector-panel: %1: %2\n").arg(device, refusal)))
        << describe(run);
    EXPECT_TRUE(run.err.contains(device + QStringLiteral(" is in use by "))) << describe(run);
    holder.close();
    EXPECT_TRUE(frames().empty());
}

TEST_F(ShellModeTest, LineLostOnTheWayExitsThreeKeepingTheLinesPrinted) {
    const QString link = scratch.filePath(QStringLiteral("com1"));
    start({"--link", link.toStdString(), "--hangup-after", "1.5"});
    QStringList arguments{"--com1", link, "--wait", "300"};
    for (int i = 0; i < 20; ++i) arguments << QStringLiteral("--send") << QStringLiteral("CR0");
    const PanelRun run = runPanel(arguments);
    EXPECT_EQ(run.exitCode, 3) << describe(run);
    EXPECT_LT(run.lines.size(), 20) << describe(run);
    for (const QString& line : run.lines) EXPECT_EQ(line, "CR0\t 8 0 CR \t" + caption("CR0", "80"));
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("projector-panel: %1: ").arg(link)))
        << describe(run);
    EXPECT_EQ(run.err.count(QStringLiteral("projector-panel:")), 1) << describe(run);
}

// What each line holds is shell_format_test's; here, that the real binary prints them with no
// display.
TEST(ShellListTest, ListCommandsNeedsNoDisplayAndListsEveryButton) {
    const PanelRun run = runPanel({"--list-commands", "--json"});
    EXPECT_EQ(run.exitCode, 0) << describe(run);
    EXPECT_EQ(run.lines.size(), expected::kButtonCount) << describe(run);
}

// The devices chosen in the window serve --send from cron; --com1 stands in front for one run and
// leaves them as they were; a garbled file is told once and the run goes on.
TEST_F(ShellModeTest, RememberedDeviceServesSendAndCom1OverridesItForOneRun) {
    start();
    QTemporaryDir config;
    QDir(config.path()).mkpath(QStringLiteral("projector-panel"));
    const QString file = config.filePath(QStringLiteral("projector-panel/projector-panel.ini"));
    const auto writeSettings = [&file](const QByteArray& text) {
        QFile out(file);
        out.open(QIODevice::WriteOnly);
        out.write(text);
    };
    const QByteArray remembered = "[ports]\ncom1=" + device.toLocal8Bit() + "\n";
    writeSettings(remembered);

    const PanelRun chosen = runPanel({"--send", "C00"}, config.path());
    EXPECT_EQ(chosen.exitCode, 0) << describe(chosen);
    const PanelRun overridden =
        runPanel({"--com1", scratch.filePath("gone"), "--send", "C01"}, config.path());
    EXPECT_EQ(overridden.exitCode, 3) << describe(overridden);
    QFile kept(file);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), remembered);
    EXPECT_THAT(frames(), ElementsAre("C00"));

    writeSettings("[ports]\ncom1=rfc2217://hall-a:99999\n");
    const PanelRun garbled = runPanel({"--com1", device, "--send", "CR9"}, config.path());
    EXPECT_EQ(garbled.exitCode, 0) << describe(garbled);
    EXPECT_EQ(garbled.err.count(QStringLiteral("garbled")), 1) << describe(garbled);
}

}  // namespace
}  // namespace panel::e2e

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
