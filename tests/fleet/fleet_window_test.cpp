// The fleet window against simulators on pseudo-terminals: what a poll reads, a projector killed
// and brought back, power commands reaching only the selected rows, and the refusals while a
// projector warms up or cools down.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QSettings>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "tests/fleet/fleet_fixture.h"

namespace panel {
namespace {

using test::FleetWindowTest;
using test::SimBank;

TEST_F(FleetWindowTest, APollReadsEachProjectorAndAKilledOneIsMarkedUntilItIsBack) {
    SimBank sims(3);
    ASSERT_TRUE(sims.ok());
    auto window = openWindow(sims);
    ASSERT_TRUE(pollOnce(*window));
    for (const ProjectorRow& row : window->fleet().rows()) {
        EXPECT_EQ(row.reading, Reading::Answered) << row.reason.toStdString();
        EXPECT_EQ(row.status, QStringLiteral("Stand by"));
        EXPECT_EQ(row.input, QStringLiteral("Computer 1"));
        EXPECT_EQ(row.lampHours, 1234);
    }
    sims.stop(1);
    ASSERT_TRUE(pollOnce(*window));
    const auto& rows = window->fleet().rows();
    EXPECT_EQ(rows[0].reading, Reading::Answered);
    EXPECT_EQ(rows[1].reading, Reading::PortFailed);
    EXPECT_TRUE(FleetTableModel::stateText(rows[1]).startsWith(QLatin1String("no answer: ")));
    EXPECT_EQ(rows[2].reading, Reading::Answered);
    sims.start(1);
    ASSERT_TRUE(pollOnce(*window));
    EXPECT_EQ(window->fleet().rows()[1].reading, Reading::Answered);
    EXPECT_EQ(window->fleet().rows()[1].status, QStringLiteral("Stand by"));
}

TEST_F(FleetWindowTest, PowerCommandsReachOnlyTheSelectedProjectorsAndOffAsksFirst) {
    SimBank sims(4, {"--warmup", "0.2", "--cooldown", "0.2"});
    ASSERT_TRUE(sims.ok());
    auto window = openWindow(sims);
    ASSERT_TRUE(pollOnce(*window));

    select(*window, {0, 2});
    click(*window, "PowerOn");
    ASSERT_TRUE(notesSettle(*window, {0, 2}));
    // The warm-ups end: the fleet's own poll reads both out of it, so that the power-off below is
    // sent rather than refused as a warm-up.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return pollOnce(*window) && steadyAndIdle(*window, {0, 2});
        },
        kPatienceMs));

    select(*window, {1, 2});
    click(*window, "PowerOff");
    auto* box = window->findChild<QMessageBox*>(QStringLiteral("ConfirmPowerOff"));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("Switch off P1, P2?"));
    box->button(QMessageBox::Yes)->click();
    ASSERT_TRUE(notesSettle(*window, {1, 2}));

    const int on[] = {1, 0, 1, 0};
    const int off[] = {0, 1, 1, 0};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(sims.log(i).count("C00"), static_cast<std::size_t>(on[i])) << "P" << i;
        EXPECT_EQ(sims.log(i).count("C01"), static_cast<std::size_t>(off[i])) << "P" << i;
    }
}

TEST_F(FleetWindowTest, ACancelledPowerOffSendsNothing) {
    SimBank sims(1);
    ASSERT_TRUE(sims.ok());
    auto window = openWindow(sims);
    select(*window, {0});
    click(*window, "PowerOff");
    auto* box = window->findChild<QMessageBox*>(QStringLiteral("ConfirmPowerOff"));
    ASSERT_NE(box, nullptr);
    box->button(QMessageBox::Cancel)->click();
    QTest::qWait(300);
    EXPECT_EQ(sims.log(0).count("C01"), 0u);
    EXPECT_TRUE(window->fleet().rows()[0].note.isEmpty());
}

// A projector warming up or cooling down is sent nothing, whichever command is asked for.
struct PhaseCase {
    const char* name;
    const char* first;  // what brings it into the phase
    PowerCommand asked;
    const char* note;
    const char* refusedCode;
};

class FleetPhaseTest : public FleetWindowTest, public ::testing::WithParamInterface<PhaseCase> {};

TEST_P(FleetPhaseTest, GetsNoPowerCommandAndItsRowSaysWhy) {
    const PhaseCase& c = GetParam();
    // Cooling down comes after a short warm-up; each phase then lasts far beyond the test.
    const bool cooling = std::string_view(c.first) == "C01";
    SimBank sims(1, {"--warmup", cooling ? "0.1" : "60", "--cooldown", "60"});
    ASSERT_TRUE(sims.ok());
    auto window = openWindow(sims);
    Fleet& fleet = window->fleet();
    fleet.power({0}, PowerCommand::On);
    ASSERT_TRUE(notesSettle(*window, {0}));
    if (cooling) {
        // The poll that follows the command ends within the short warm-up and shows it: polled
        // again until the row shows the projector on.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return pollOnce(*window) && steadyAndIdle(*window, {0}); }, kPatienceMs));
        fleet.power({0}, PowerCommand::Off);
        ASSERT_TRUE(notesSettle(*window, {0}));
    }
    ASSERT_TRUE(pollOnce(*window));
    const std::size_t before = sims.log(0).count(c.refusedCode);
    fleet.power({0}, c.asked);
    EXPECT_EQ(fleet.rows()[0].note, QString::fromLatin1(c.note));
    EXPECT_FALSE(fleet.rows()[0].busy);
    QTest::qWait(300);
    EXPECT_EQ(sims.log(0).count(c.refusedCode), before);
}

INSTANTIATE_TEST_SUITE_P(
    Phases, FleetPhaseTest,
    ::testing::Values(
        PhaseCase{"WarmingUpOff", "C00", PowerCommand::Off, "not sent: warming up", "C01"},
        PhaseCase{"WarmingUpOn", "C00", PowerCommand::On, "not sent: warming up", "C00"},
        PhaseCase{"CoolingDownOn", "C01", PowerCommand::On, "not sent: cooling down", "C00"},
        PhaseCase{"CoolingDownOff", "C01", PowerCommand::Off, "not sent: cooling down", "C01"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FleetWindowTest, TheLampThresholdIsRememberedInTheFleetGroup) {
    SimBank sims(1);
    ASSERT_TRUE(sims.ok());
    {
        auto window = openWindow(sims);
        window->findChild<QSpinBox*>(QStringLiteral("LampThreshold"))->setValue(1000);
    }
    QSettings settings(QSettings::IniFormat, QSettings::UserScope,
                       QStringLiteral("projector-panel"), QStringLiteral("projector-panel"));
    EXPECT_EQ(settings.value(QStringLiteral("fleet/lampHoursThreshold")).toInt(), 1000);
    auto window = openWindow(sims);
    EXPECT_EQ(window->findChild<QSpinBox*>(QStringLiteral("LampThreshold"))->value(), 1000);
    ASSERT_TRUE(pollOnce(*window));
    // 1234 hours: over the mark, said in words beside the colour.
    const QModelIndex cell = window->findChild<QTableView*>(QStringLiteral("FleetTable"))
                                 ->model()
                                 ->index(0, FleetTableModel::LampHours);
    EXPECT_EQ(cell.data().toString(), QStringLiteral("1234 (over 1000)"));
    EXPECT_TRUE(cell.data(Qt::BackgroundRole).isValid());
}

struct SettingsProblemCase {
    const char* name;
    const char* file;  // the settings file's text; nullptr: the folder's name taken by a file
    const char* words;
};

class FleetSettingsProblemTest : public FleetWindowTest,
                                 public ::testing::WithParamInterface<SettingsProblemCase> {};

TEST_P(FleetSettingsProblemTest, IsToldBelowTheTableAndTheDefaultsStand) {
    QTemporaryDir config;
    const QByteArray suiteConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    // QSettings keeps the first folder it found for the whole process.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
    const SettingsProblemCase& c = GetParam();
    QDir(config.path()).mkpath(c.file ? QStringLiteral("projector-panel") : QString());
    QFile out(config.filePath(c.file ? QStringLiteral("projector-panel/projector-panel.ini")
                                     : QStringLiteral("projector-panel")));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(c.file ? c.file : "");
    out.close();

    auto window = openWindow(QStringList{});
    window->findChild<QSpinBox*>(QStringLiteral("LampThreshold"))->setValue(1500);
    const auto* problems = window->findChild<QLabel*>(QStringLiteral("FileProblems"));
    EXPECT_TRUE(problems->text().contains(QLatin1String(c.words)))
        << problems->text().toStdString();
    EXPECT_EQ(problems->text().count(QLatin1String(c.words)), 1) << "told once";

    window.reset();
    qputenv("XDG_CONFIG_HOME", suiteConfig);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromUtf8(suiteConfig));
}

INSTANTIATE_TEST_SUITE_P(
    Table, FleetSettingsProblemTest,
    ::testing::Values(SettingsProblemCase{"WordsForTheInterval", "[fleet]\npollSeconds=often\n",
                                          "garbled (fleet/pollSeconds)"},
                      SettingsProblemCase{"NegativeInterval", "[fleet]\npollSeconds=-60\n",
                                          "garbled (fleet/pollSeconds)"},
                      // No one, root included, can write below a file.
                      SettingsProblemCase{"Unwritable", nullptr, "cannot be written"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace panel
