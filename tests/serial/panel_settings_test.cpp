// The remembered devices: kept per user in a settings folder of the test's own, read back by the
// next start, a garbled or unwritable file told once while the defaults stand.
#include "serial/panel_settings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace panel {
namespace {

const PortDevices kDefaults{QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyS1")};

// A configuration folder of the test's own, in place of the user's.
class SettingsFolder {
public:
    SettingsFolder() {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path());
    }
    QString file() const {
        return dir_.filePath(QStringLiteral("projector-panel/projector-panel.ini"));
    }
    void write(const QByteArray& text) const {
        QDir(dir_.path()).mkpath(QStringLiteral("projector-panel"));
        QFile out(file());
        out.open(QIODevice::WriteOnly);
        out.write(text);
    }
    QString path() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
};

TEST(PanelSettingsTest, AChoiceIsReadByTheNextStartAndTheFleetsKeysStay) {
    SettingsFolder folder;
    folder.write("[fleet]\nfile=/home/op/projectors.conf\n");
    {
        PanelSettings first;
        EXPECT_EQ(first.devices(kDefaults).com1, kDefaults.com1);
        ASSERT_TRUE(first.remember(2, QStringLiteral("rfc2217://127.0.0.1:4001")));
        EXPECT_EQ(first.takeProblem(), QString());
    }
    PanelSettings next;
    const PortDevices devices = next.devices(kDefaults);
    EXPECT_EQ(devices.com1, kDefaults.com1);
    EXPECT_EQ(devices.com2, QStringLiteral("rfc2217://127.0.0.1:4001"));
    EXPECT_EQ(QSettings(folder.file(), QSettings::IniFormat).value("fleet/file").toString(),
              QStringLiteral("/home/op/projectors.conf"));
}

struct GarbledCase {
    const char* name;
    const char* text;
};

class GarbledSettingsTest : public ::testing::TestWithParam<GarbledCase> {};

TEST_P(GarbledSettingsTest, DefaultsStandAndTheFileIsNamedOnce) {
    SettingsFolder folder;
    folder.write(GetParam().text);
    PanelSettings settings;
    const PortDevices devices = settings.devices(kDefaults);
    EXPECT_EQ(devices.com1, kDefaults.com1);
    EXPECT_EQ(devices.com2, kDefaults.com2);
    const QString problem = settings.takeProblem();
    EXPECT_TRUE(problem.startsWith(folder.file())) << problem.toStdString();
    EXPECT_TRUE(problem.contains(QStringLiteral("garbled"))) << problem.toStdString();
    EXPECT_EQ(settings.takeProblem(), QString());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GarbledSettingsTest,
    ::testing::Values(
        GarbledCase{"binary_variant",
                    "[ports]\ncom1=/dev/ttyUSB0\ncom2=@Variant(\\0\\0\\0\\x7f\\0\\0)\n"},
        GarbledCase{"malformed_url", "[ports]\ncom1=rfc2217://hall-a:99999\n"},
        GarbledCase{"relative_path", "[ports]\ncom2=ttyUSB0\n"},
        GarbledCase{"control_character", "[ports]\ncom1=\"/dev/tty\\x1bUSB0\"\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PanelSettingsTest, AFileThatCannotBeWrittenIsToldOnceAndTheRunGoesOn) {
    SettingsFolder folder;
    // The settings folder's name taken by a file: no one, root included, can write below it.
    QFile blocker(folder.path() + QStringLiteral("/projector-panel"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    PanelSettings settings;
    EXPECT_EQ(settings.devices(kDefaults).com1, kDefaults.com1);
    EXPECT_FALSE(settings.remember(1, QStringLiteral("/dev/ttyUSB0")));
    EXPECT_TRUE(settings.takeProblem().contains(QStringLiteral("cannot be written")));
    EXPECT_FALSE(settings.remember(2, QStringLiteral("/dev/ttyUSB1")));
    EXPECT_EQ(settings.takeProblem(), QString());
}

}  // namespace
}  // namespace panel
