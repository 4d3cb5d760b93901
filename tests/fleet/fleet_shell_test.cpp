// The real binary's shell mode over the projectors file: --all and --projector, the answers
// grouped per projector in the file's order, and the exit status over all of them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "tests/fleet/sim_bank.h"

namespace panel {
namespace {

using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

struct PanelRun {
    int exitCode = -1;
    QStringList lines;
    QString err;
};

// Three projectors: two simulators, the second of them silent, and a port nothing serves.
class FleetShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sims_.ok());
        sims_.stop(2);
        sims_.start(2, {"--no-reply"});
        ASSERT_TRUE(sims_.ok());
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("[Hall A]\nport = %1\n[講義室 101]\nport = %2\nspeed = 9600\n"
                                  "[Silent]\nport = %3\n[Gone]\nport = %4\n")
                       .arg(sims_.link(0), sims_.link(1), sims_.link(2),
                            dir_.filePath(QStringLiteral("nothing")))
                       .toUtf8());
    }

    QString path() const { return dir_.filePath(QStringLiteral("projectors.ini")); }

    PanelRun run(QStringList arguments, const QStringList& extraEnvironment = {}) const {
        arguments.prepend(path());
        arguments.prepend(QStringLiteral("--projectors"));
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.path());
        for (const QString& setting : extraEnvironment)
            env.insert(setting.section('=', 0, 0), setting.section('=', 1));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(PROJECTOR_PANEL_BINARY), arguments);
        PanelRun result;
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished();
            return result;
        }
        result.exitCode = process.exitCode();
        result.lines = QString::fromUtf8(process.readAllStandardOutput())
                           .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

    QTemporaryDir dir_;
    test::SimBank sims_{3};
};

const QString kHallA = QStringLiteral("Hall A");
const QString kRoom = QString::fromUtf8("講義室 101");

TEST_F(FleetShellTest, ChosenProjectorsAnswerInTheFilesOrderWhateverTheOrderAsked) {
    const PanelRun r = run({QStringLiteral("--projector"), kRoom, QStringLiteral("--projector"),
                            kHallA, QStringLiteral("--send"), QStringLiteral("CR0"),
                            QStringLiteral("--send"), QStringLiteral("CR1")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList expected{kHallA + QStringLiteral("\tCR0\t 8 0 CR \t Stand by"),
                               kHallA + QStringLiteral("\tCR1\t 1 CR \t Computer 1"),
                               kRoom + QStringLiteral("\tCR0\t 8 0 CR \t Stand by"),
                               kRoom + QStringLiteral("\tCR1\t 1 CR \t Computer 1")};
    EXPECT_THAT(r.lines, ElementsAreArray(expected));
}

TEST_F(FleetShellTest, AllCoversEveryProjectorAndAFailedPortOutranksASilentOne) {
    const PanelRun r =
        run({QStringLiteral("--all"), QStringLiteral("--send"), QStringLiteral("CR0")});
    EXPECT_EQ(r.exitCode, 3);
    ASSERT_EQ(r.lines.size(), 3);
    EXPECT_TRUE(r.lines[0].startsWith(kHallA + QStringLiteral("\tCR0\t 8 0 CR")));
    EXPECT_TRUE(r.lines[1].startsWith(kRoom + QStringLiteral("\tCR0\t 8 0 CR")));
    EXPECT_EQ(r.lines[2], QStringLiteral("Silent\tCR0\t X X X X\t"));
    EXPECT_THAT(r.err.toStdString(), HasSubstr("Gone: " + dir_.filePath("nothing").toStdString()));
}

TEST_F(FleetShellTest, ASilentProjectorAloneIsExitStatusOne) {
    const PanelRun r =
        run({QStringLiteral("--projector"), QStringLiteral("Silent"), QStringLiteral("--projector"),
             kHallA, QStringLiteral("--send"), QStringLiteral("CR0")});
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_EQ(r.lines.size(), 2);
}

TEST_F(FleetShellTest, JsonCarriesTheProjectorKey) {
    const PanelRun r = run({QStringLiteral("--projector"), kRoom, QStringLiteral("--json"),
                            QStringLiteral("--send"), QStringLiteral("CR0")});
    ASSERT_EQ(r.lines.size(), 1) << r.err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(r.lines[0].toUtf8()).object();
    EXPECT_EQ(o.value(QStringLiteral("projector")).toString(), kRoom);
    EXPECT_EQ(o.value(QStringLiteral("decoded")).toString(), QStringLiteral(" Stand by"));
}

TEST_F(FleetShellTest, AnUnknownNameSendsNothingAndNamesTheFile) {
    const PanelRun r =
        run({QStringLiteral("--projector"), kHallA, QStringLiteral("--projector"),
             QStringLiteral("Hall Z"), QStringLiteral("--send"), QStringLiteral("C00")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.lines.isEmpty());
    EXPECT_THAT(r.err.toStdString(), HasSubstr("'Hall Z' in " + path().toStdString()));
    EXPECT_EQ(sims_.log(0).count("C00"), 0u);
}

// A projectors file that gives no projector leaves no one to send to: refused like a name the
// file does not hold.
TEST_F(FleetShellTest, AProjectorsFileThatGivesNoProjectorExitsTwoNamingIt) {
    for (const QString& file : {dir_.filePath(QStringLiteral("nonexistent.ini")), dir_.path(),
                                QStringLiteral("/proc/self/status")}) {
        SCOPED_TRACE(file.toStdString());
        const PanelRun r = run({QStringLiteral("--projectors"), file, QStringLiteral("--all"),
                                QStringLiteral("--send"), QStringLiteral("CR0")});
        EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
        EXPECT_TRUE(r.lines.isEmpty());
        EXPECT_THAT(r.err.toStdString(),
                    HasSubstr("no projector to send to in " + file.toStdString()));
    }
}

struct FleetLogCase {
    const char* name;
    friend void PrintTo(const FleetLogCase& c, std::ostream* os) { *os << c.name; }
    QStringList chosen;   // the options that choose the projectors
    const char* logFile;  // in the test's folder unless absolute
    int exitCode;
    int lines;
};

class FleetShellLogTest : public FleetShellTest,
                          public ::testing::WithParamInterface<FleetLogCase> {};

// One log for every projector, each line naming its projector; a log that takes nothing leaves
// the commands to go out and the status says so.
TEST_P(FleetShellLogTest, OneFileNamesEachProjectorAndAFullOneIsStatusFour) {
    const FleetLogCase& c = GetParam();
    const QString log = c.logFile[0] == '/' ? QString::fromLatin1(c.logFile)
                                            : dir_.filePath(QString::fromLatin1(c.logFile));
    const PanelRun r = run(c.chosen + QStringList{QStringLiteral("--log"), log,
                                                  QStringLiteral("--send"), QStringLiteral("CR0")});
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
    EXPECT_EQ(r.lines.size(), c.lines) << r.err.toStdString();
    if (log.startsWith(QLatin1String("/dev/"))) return;
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_THAT(text.toStdString(), HasSubstr("\n# Hall A " + sims_.link(0).toStdString() + "\t"));
    for (const QString& name : {kHallA, kRoom}) {
        const QString line =
            QStringLiteral("\t%1\t%2\t").arg(name, sims_.link(name == kHallA ? 0 : 1));
        // A line opens at the panel's first speed; one at 9600 is switched before anything goes.
        const QString speed = name == kHallA ? QStringLiteral("open\t19200,N,8,1\n")
                                             : QStringLiteral("speed\t9600,N,8,1\n");
        EXPECT_EQ(text.count(line + QStringLiteral("open\t")), 1) << text.toStdString();
        for (const QString& event :
             {speed, QStringLiteral("sent\t C R 0 CR \t43 52 30 0D\n"),
              QStringLiteral("answer\t Stand by\n"), QStringLiteral("closed\t\n")})
            EXPECT_EQ(text.count(line + event), 1) << text.toStdString();
    }
    EXPECT_FALSE(text.contains(QStringLiteral("\tCOM1\t")));
}

INSTANTIATE_TEST_SUITE_P(
    Table, FleetShellLogTest,
    ::testing::Values(
        FleetLogCase{"TwoProjectors",
                     {QStringLiteral("--projector"), kHallA, QStringLiteral("--projector"), kRoom},
                     "fleet.log",
                     0,
                     2},
        FleetLogCase{"AllWithAFailedPort", {QStringLiteral("--all")}, "fleet.log", 3, 3},
        FleetLogCase{"FullDisk", {QStringLiteral("--projector"), kHallA}, "/dev/full", 4, 1},
        FleetLogCase{"FullDiskAndAFailedPort", {QStringLiteral("--all")}, "/dev/full", 3, 3}),
    [](const auto& info) { return std::string(info.param.name); });

// The fleet window offscreen, stopped once its first poll is in the log.
TEST_F(FleetShellTest, TheFleetWindowLogsItsPollsUnderEachProjectorsNameOrDoesNotOpen) {
    const QStringList offscreen{QStringLiteral("QT_QPA_PLATFORM=offscreen")};
    const QString refusedLog = dir_.filePath(QStringLiteral("no/such/fleet.log"));
    const PanelRun refused =
        run({QStringLiteral("--fleet"), QStringLiteral("--log"), refusedLog}, offscreen);
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_THAT(refused.err.toStdString(), HasSubstr("--log " + refusedLog.toStdString()));

    const QString log = dir_.filePath(QStringLiteral("fleet.log"));
    const auto sentLine = [this](const QString& name, int sim) {
        return QStringLiteral("\t%1\t").arg(name) + sims_.link(sim) +
               QStringLiteral("\tsent\t C R 0 CR \t43 52 30 0D\n");
    };
    const auto logged = [&] {
        QFile file(log);
        if (!file.open(QIODevice::ReadOnly)) return QString();
        return QString::fromUtf8(file.readAll());
    };
    const auto allSent = [&](const QString& text) {
        return text.contains(sentLine(kHallA, 0)) && text.contains(sentLine(kRoom, 1)) &&
               text.contains(sentLine(QStringLiteral("Silent"), 2));
    };
    QProcess window;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    window.setProcessEnvironment(env);
    window.start(QStringLiteral(PROJECTOR_PANEL_BINARY),
                 {QStringLiteral("--projectors"), path(), QStringLiteral("--fleet"),
                  QStringLiteral("--log"), log});
    ASSERT_TRUE(window.waitForStarted(10000));
    QElapsedTimer waited;
    waited.start();
    while (!allSent(logged()) && waited.elapsed() < 20000 && window.state() == QProcess::Running)
        window.waitForFinished(100);
    window.terminate();
    if (!window.waitForFinished(5000)) window.kill();
    window.waitForFinished();
    EXPECT_TRUE(allSent(logged())) << logged().toStdString();
}

}  // namespace
}  // namespace panel

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
