// The remembered devices: kept per user in a settings folder of the test's own, read back by the
// next start beside the fleet's keys; a garbled or unwritable file told once, the defaults
// standing.
#include "settings/panel_settings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace panel {
namespace {

const PortDevices kDefaults{QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyS1")};
const QString kChosen = QStringLiteral("rfc2217://127.0.0.1:4001");

struct SettingsCase {
    const char* name;
    const char* file;     // the settings file's text; nullptr: the folder's name taken by a file
    const char* problem;  // what the one report says, empty for none
};

class PanelSettingsTest : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(PanelSettingsTest, DefaultsStandAChoiceIsKeptAndAProblemIsToldOnce) {
    QTemporaryDir config;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
    const QString file = config.filePath(QStringLiteral("projector-panel/projector-panel.ini"));
    QDir(config.path()).mkpath(GetParam().file ? QStringLiteral("projector-panel") : QString());
    QFile out(GetParam().file ? file : config.filePath(QStringLiteral("projector-panel")));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(GetParam().file ? GetParam().file : "");
    out.close();

    PanelSettings settings;
    EXPECT_EQ(settings.devices(kDefaults).com1, kDefaults.com1);
    EXPECT_EQ(settings.remember(2, kChosen), GetParam().file != nullptr);
    const QString problem = settings.takeProblem();
    EXPECT_TRUE(problem.contains(QString::fromLatin1(GetParam().problem))) << problem.toStdString();
    EXPECT_EQ(problem.isEmpty(), !*GetParam().problem) << problem.toStdString();
    EXPECT_EQ(settings.takeProblem(), QString());
    if (!problem.isEmpty()) return;

    PanelSettings next;
    EXPECT_EQ(next.devices(kDefaults).com2, kChosen);
    EXPECT_EQ(QSettings(file, QSettings::IniFormat).value("fleet/file").toString(),
              QStringLiteral("/home/op/projectors.conf"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PanelSettingsTest,
    ::testing::Values(
        SettingsCase{"fleet_keys_only", "[fleet]\nfile=/home/op/projectors.conf\n", ""},
        SettingsCase{"binary_variant",
                     "[ports]\ncom1=/dev/ttyUSB0\ncom2=@Variant(\\0\\0\\0\\x7f\\0\\0)\n",
                     "garbled"},
        SettingsCase{"malformed_url", "[ports]\ncom1=rfc2217://hall-a:99999\n", "garbled"},
        SettingsCase{"relative_path", "[ports]\ncom1=./ttyUSB0\n", "garbled"},
        SettingsCase{"control_character", "[ports]\ncom1=\"/dev/tty\\x1bUSB0\"\n", "garbled"},
        // No one, root included, can write below a file.
        SettingsCase{"unwritable", nullptr, "cannot be written"}),
    [](const auto& info) { return std::string(info.param.name); });

struct FleetCase {
    const char* name;
    const char* file;  // the settings file's text; nullptr: the folder's name taken by a file
    std::optional<int> pollSeconds;
    std::optional<int> lampHoursThreshold;
    const char* problem;  // what the one report says, empty for none
};

class PanelSettingsFleetTest : public ::testing::TestWithParam<FleetCase> {};

TEST_P(PanelSettingsFleetTest, TheFleetGroupIsReadCheckedAndWrittenBesideThePorts) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    // QSettings keeps the first folder it found for the whole process.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
    const QString file = config.filePath(QStringLiteral("projector-panel/projector-panel.ini"));
    const FleetCase& c = GetParam();
    QDir(config.path()).mkpath(c.file ? QStringLiteral("projector-panel") : QString());
    QFile out(c.file ? file : config.filePath(QStringLiteral("projector-panel")));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(c.file ? c.file : "");
    out.close();

    PanelSettings settings;
    const FleetSettings read = settings.fleet();
    EXPECT_EQ(read.pollSeconds, c.pollSeconds);
    EXPECT_EQ(read.lampHoursThreshold, c.lampHoursThreshold);
    EXPECT_EQ(settings.remember(FleetKey::LampHoursThreshold, 1500), c.file != nullptr);
    const QString problem = settings.takeProblem();
    EXPECT_TRUE(problem.contains(QString::fromLatin1(c.problem))) << problem.toStdString();
    EXPECT_EQ(problem.isEmpty(), !*c.problem) << problem.toStdString();
    EXPECT_EQ(settings.takeProblem(), QString()) << "told once";
    if (!c.file) return;

    PanelSettings next;
    EXPECT_EQ(next.fleet().lampHoursThreshold, 1500);
    EXPECT_EQ(next.fleet().pollSeconds, c.pollSeconds);
    EXPECT_EQ(next.devices(kDefaults).com1, QString::fromLatin1(c.file).contains("ttyUSB7")
                                                ? QStringLiteral("/dev/ttyUSB7")
                                                : kDefaults.com1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PanelSettingsFleetTest,
    ::testing::Values(
        FleetCase{"no_file_yet", "", std::nullopt, std::nullopt, ""},
        FleetCase{"both_values", "[fleet]\npollSeconds=30\nlampHoursThreshold=900\n", 30, 900, ""},
        FleetCase{"beside_the_ports", "[ports]\ncom1=/dev/ttyUSB7\n[fleet]\npollSeconds=5\n", 5,
                  std::nullopt, ""},
        FleetCase{"words_for_a_number", "[fleet]\npollSeconds=soon\n", std::nullopt, std::nullopt,
                  "garbled (fleet/pollSeconds)"},
        FleetCase{"negative_threshold", "[fleet]\npollSeconds=10\nlampHoursThreshold=-5\n", 10,
                  std::nullopt, "garbled (fleet/lampHoursThreshold)"},
        FleetCase{"binary_variant", "[fleet]\npollSeconds=@Variant(\\0\\0\\0\\x7f\\0\\0)\n",
                  std::nullopt, std::nullopt, "garbled (fleet/pollSeconds)"},
        FleetCase{"unwritable", nullptr, std::nullopt, std::nullopt, "cannot be written"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PanelSettingsNameTest, ABareNameReadsAsItsNodeUnderDev) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
    QDir(config.path()).mkpath(QStringLiteral("projector-panel"));
    QFile out(config.filePath(QStringLiteral("projector-panel/projector-panel.ini")));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("[ports]\ncom1=ttyUSB0\n");
    out.close();

    PanelSettings settings;
    EXPECT_EQ(settings.devices(kDefaults).com1, QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(settings.takeProblem(), QString());
}

}  // namespace
}  // namespace panel
