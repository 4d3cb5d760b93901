// The MQTT pieces that need no broker, each as a table: the [mqtt] section's defaults, names made
// safe as topic segments and read back from command topics, the password file's guard, and the
// discovery message against what Home Assistant requires of a device-based one.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "fleet/state_words.h"
#include "service/mqtt_discovery.h"
#include "service/mqtt_topics.h"
#include "service/service_config.h"

namespace panel {
namespace {

TEST(MqttConfigTest, DefaultsFollowTheSiteAndTheTls) {
    MqttConfig config;
    config.site = QStringLiteral("east");
    EXPECT_EQ(config.topicPrefix(), QStringLiteral("projector-panel/east/"));
    EXPECT_EQ(config.effectiveClientId(), QStringLiteral("projector-paneld-east"));
    EXPECT_EQ(config.brokerPort(), 1883);
    config.caFile = QStringLiteral("/ca.pem");
    EXPECT_EQ(config.brokerPort(), 8883);
    config.prefix = QStringLiteral("campus/east");
    EXPECT_EQ(config.topicPrefix(), QStringLiteral("campus/east/"));
}

struct PasswordCase {
    const char* name;
    mode_t mode;
    QByteArray content;
    const char* password;  // empty when refused
};

class MqttPasswordTest : public ::testing::TestWithParam<PasswordCase> {};

TEST_P(MqttPasswordTest, IsReadOnlyFromAFileOthersCannotRead) {
    QTemporaryDir dir;
    MqttConfig config;
    config.passwordFile = dir.filePath(QStringLiteral("pw"));
    QFile file(config.passwordFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(GetParam().content);
    file.close();
    ASSERT_EQ(::chmod(QFile::encodeName(config.passwordFile).constData(), GetParam().mode), 0);
    const std::optional<QString> problem = loadMqttPassword(config);
    EXPECT_EQ(!problem, *GetParam().password != '\0');
    EXPECT_EQ(config.password.toStdString(), GetParam().password);
}

INSTANTIATE_TEST_SUITE_P(Cases, MqttPasswordTest,
                         ::testing::Values(PasswordCase{"OwnerOnly", 0600, "s3cret\n", "s3cret"},
                                           PasswordCase{"GroupMayRead", 0640, "s3cret\r\n",
                                                        "s3cret"},
                                           PasswordCase{"OthersMayRead", 0644, "s3cret\n", ""},
                                           PasswordCase{"Empty", 0600, "\n", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

struct SegmentCase {
    const char* name;
    QString projector;
    QByteArray segment;
};

class TopicSegmentTest : public ::testing::TestWithParam<SegmentCase> {};

TEST_P(TopicSegmentTest, IsOneLevelWithNoWildcardAndReadsBack) {
    const SegmentCase& c = GetParam();
    EXPECT_EQ(topicSegment(c.projector), c.segment);
    const MqttTopics topics(QStringLiteral("p/s/"));
    for (MqttCommand command : {MqttCommand::Power, MqttCommand::Input, MqttCommand::Codes}) {
        const std::optional<MqttCommandTopic> back =
            topics.command(topics.commandTopic(c.projector, command));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->projector, c.projector);
        EXPECT_EQ(back->command, command);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TopicSegmentTest,
    ::testing::Values(SegmentCase{"Plain", QStringLiteral("Hall A"), "Hall A"},
                      SegmentCase{"Slash", QStringLiteral("a/b"), "a%2Fb"},
                      SegmentCase{"Wildcards", QStringLiteral("+#"), "%2B%23"},
                      SegmentCase{"Percent", QStringLiteral("100%"), "100%25"},
                      SegmentCase{"Nul", QString(QChar(0)) + QStringLiteral("x"), "%00x"},
                      SegmentCase{"LineBreak", QStringLiteral("a\nb"), "a%0Ab"},
                      SegmentCase{"Dots", QStringLiteral(".."), ".."},
                      SegmentCase{"Utf8", QStringLiteral("講義室 101"),
                                  QStringLiteral("講義室 101").toUtf8()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MqttTopicsTest, OnlyItsOwnCommandTopicsAreReadAsCommands) {
    const MqttTopics topics(QStringLiteral("p/s/"));
    for (const QByteArray& topic :
         {QByteArray("p/s/projectors/A/state"), QByteArray("p/other/projectors/A/power/set"),
          QByteArray("p/s/projectors/A/B/power/set"), QByteArray("p/s/projectors//power/set"),
          QByteArray("p/s/projectors/%41/power/set"), QByteArray("p/s/availability")}) {
        SCOPED_TRACE(topic.constData());
        EXPECT_FALSE(topics.command(topic));
    }
}

TEST(MqttInputsTest, AreTheWindowsFiveInputButtonsAndTheAnswersThatNameOne) {
    QStringList names;
    for (const InputOption& option : inputOptions()) names.append(option.name);
    EXPECT_EQ(names.join(','), QStringLiteral("PC1,PC2,Video,HDMI,Network"));
    const std::pair<const char*, const char*> answers[] = {
        {" Computer 1", "PC1"},
        {" Computer 2", "PC2"},
        {" Video", "Video"},
        {" Input mode 4", ""},
        {"", ""},
    };
    for (const auto& [words, option] : answers)
        EXPECT_EQ(inputOptionOf(QString::fromUtf8(words)), QString::fromUtf8(option)) << words;
}

TEST(MqttDiscoveryTest, HoldsWhatHomeAssistantRequiresOfADeviceDiscovery) {
    const MqttTopics topics(QStringLiteral("projector-panel/east/"));
    const DiscoverySite site{QStringLiteral("east.wing"), QStringLiteral("homeassistant"), &topics};
    const QString name = QStringLiteral("Hall/B #1");
    const QJsonObject payload = discoveryPayload(site, name);
    static const QRegularExpression idChars(QStringLiteral("^[a-zA-Z0-9_-]+$"));

    const QByteArray topic = discoveryTopic(site, name);
    const QList<QByteArray> levels = topic.split('/');
    ASSERT_EQ(levels.size(), 4);
    EXPECT_EQ(levels[0], "homeassistant");
    EXPECT_EQ(levels[1], "device");
    EXPECT_TRUE(idChars.match(QString::fromUtf8(levels[2])).hasMatch()) << levels[2].data();
    EXPECT_EQ(levels[3], "config");

    const QJsonObject dev = payload.value("dev").toObject();
    EXPECT_FALSE(dev.value("ids").toArray().isEmpty());
    EXPECT_EQ(dev.value("name").toString(), name);
    EXPECT_FALSE(payload.value("o").toObject().value("name").toString().isEmpty());

    const QJsonObject cmps = payload.value("cmps").toObject();
    std::map<QString, QJsonObject> byPlatform;
    for (const QString& key : cmps.keys()) {
        const QJsonObject c = cmps.value(key).toObject();
        EXPECT_TRUE(idChars.match(key).hasMatch()) << key.toStdString();
        EXPECT_FALSE(c.value("unique_id").toString().isEmpty()) << key.toStdString();
        byPlatform[c.value("p").toString() + '/' + c.value("name").toString()] = c;
    }
    ASSERT_EQ(byPlatform.size(), 4U);
    const QJsonObject power = byPlatform["switch/Power"];
    EXPECT_EQ(power.value("command_topic").toString(),
              QStringLiteral("projector-panel/east/projectors/Hall%2FB %231/power/set"));
    const QJsonObject input = byPlatform["select/Input"];
    EXPECT_EQ(input.value("options").toArray().size(), 5);
    EXPECT_FALSE(input.value("command_topic").toString().isEmpty());
    const QJsonObject state = byPlatform["sensor/State"];
    EXPECT_EQ(state.value("device_class").toString(), QStringLiteral("enum"));
    EXPECT_EQ(state.value("options").toArray().size(),
              static_cast<qsizetype>(machineWords().size()));
    const QJsonObject lamp = byPlatform["sensor/Lamp hours"];
    EXPECT_EQ(lamp.value("device_class").toString(), QStringLiteral("duration"));
    EXPECT_EQ(lamp.value("unit_of_measurement").toString(), QStringLiteral("h"));
    EXPECT_EQ(lamp.value("state_class").toString(), QStringLiteral("total_increasing"));

    const QJsonArray availability = payload.value("availability").toArray();
    ASSERT_EQ(availability.size(), 2);
    EXPECT_EQ(availability[0].toObject().value("topic").toString(),
              QStringLiteral("projector-panel/east/availability"));
    EXPECT_EQ(availability[1].toObject().value("payload_not_available").toString(),
              QStringLiteral("no-answer"));
    EXPECT_EQ(payload.value("availability_mode").toString(), QStringLiteral("all"));
}

TEST(MqttDiscoveryTest, NamesAlikeGetIdsApart) {
    EXPECT_NE(deviceId(QStringLiteral("s"), QStringLiteral("Hall A")),
              deviceId(QStringLiteral("s"), QStringLiteral("Hall_A")));
    EXPECT_NE(deviceId(QStringLiteral("s"), QStringLiteral("Hall A")),
              deviceId(QStringLiteral("t"), QStringLiteral("Hall A")));
    EXPECT_EQ(deviceId(QStringLiteral("s"), QStringLiteral("Hall A")),
              deviceId(QStringLiteral("s"), QStringLiteral("Hall A")));
}

}  // namespace
}  // namespace panel
