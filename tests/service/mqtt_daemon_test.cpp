// The real projector-paneld with an [mqtt] section, against a real mosquitto: it says it is
// online, offline when it goes (killed: the broker's last will; stopped: its own word), and it
// starts without its broker and finds it when it comes.
#include <gtest/gtest.h>
#include <signal.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <map>

#include "service/mqtt_client.h"
#include "tests/fleet/sim_bank.h"
#include "tests/service/mosquitto_process.h"

namespace panel {
namespace {

constexpr int kDaemonPatienceMs = 15000;
const QByteArray kAvailability = "projector-panel/east/availability";
const QByteArray kState = "projector-panel/east/projectors/Hall A/state";

class MqttDaemon : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sims_.ok());
        write("service.ini", QStringLiteral("listen = 127.0.0.1:0\ntoken_file = tokens\n"
                                            "poll_seconds = 1\n[mqtt]\nhost = 127.0.0.1\n"
                                            "port = %1\nsite = east\n")
                                 .arg(broker_.port()));
        write("projectors.ini", QStringLiteral("[Hall A]\nport = %1\n").arg(sims_.link(0)));
    }

    void write(const char* name, const QString& text) {
        QFile file(dir_.filePath(QLatin1String(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
    }

    void startDaemon() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.path());
        daemon_.setProcessEnvironment(env);
        daemon_.start(QStringLiteral(PROJECTOR_PANELD_BINARY),
                      {QStringLiteral("--config"), dir_.filePath("service.ini"),
                       QStringLiteral("--projectors"), dir_.filePath("projectors.ini")});
    }

    void watch() {
        watcher_ = std::make_unique<MqttClient>(MqttClientSettings{QStringLiteral("127.0.0.1"),
                                                                   broker_.port(),
                                                                   QStringLiteral("watcher"),
                                                                   {},
                                                                   {},
                                                                   {},
                                                                   {},
                                                                   {}});
        QObject::connect(watcher_.get(), &MqttClient::connected,
                         [this] { watcher_->subscribe("projector-panel/east/#"); });
        QObject::connect(watcher_.get(), &MqttClient::message,
                         [this](const QByteArray& topic, const QByteArray& payload, bool) {
                             last_[topic] = payload;
                         });
        watcher_->start();
    }

    bool shows(const QByteArray& topic, const QByteArray& payload) {
        return QTest::qWaitFor([&] { return last_[topic] == payload; }, kDaemonPatienceMs);
    }

    bool ended() {
        return QTest::qWaitFor([&] { return daemon_.state() == QProcess::NotRunning; },
                               kDaemonPatienceMs);
    }

    test::SimBank sims_{1};
    test::MosquittoProcess broker_;
    QTemporaryDir dir_;
    QProcess daemon_;
    std::unique_ptr<MqttClient> watcher_;
    std::map<QByteArray, QByteArray> last_;
};

struct Ending {
    const char* name;
    int signal;
};

class MqttDaemonEnding : public MqttDaemon, public ::testing::WithParamInterface<Ending> {};

TEST_P(MqttDaemonEnding, TheServiceTurnsOfflineWhenItGoes) {
    ASSERT_TRUE(broker_.start()) << broker_.log().toStdString();
    watch();
    startDaemon();
    ASSERT_TRUE(shows(kAvailability, "online")) << daemon_.readAllStandardError().data();
    EXPECT_TRUE(shows(kState, "standby"));

    ::kill(static_cast<pid_t>(daemon_.processId()), GetParam().signal);
    EXPECT_TRUE(shows(kAvailability, "offline"));
    EXPECT_TRUE(ended());
    // The projector's own state stays as it was last seen: the service's word says it is stale.
    EXPECT_EQ(last_[kState], "standby");
}

INSTANTIATE_TEST_SUITE_P(Endings, MqttDaemonEnding,
                         ::testing::Values(Ending{"killed", SIGKILL}, Ending{"stopped", SIGTERM}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MqttDaemon, StartsWithoutItsBrokerAndPublishesOnceTheBrokerComes) {
    write("mqtt-password", QStringLiteral("not-to-be-told\n"));
    QFile::setPermissions(dir_.filePath("mqtt-password"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QFile ini(dir_.filePath("service.ini"));
    ASSERT_TRUE(ini.open(QIODevice::Append));
    ini.write("user = east\npassword_file = mqtt-password\n");
    ini.close();
    startDaemon();
    QByteArray told;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            told += daemon_.readAllStandardError();
            return told.contains("listening on");
        },
        kDaemonPatienceMs))
        << told.data();
    ASSERT_TRUE(broker_.start()) << broker_.log().toStdString();
    watch();
    EXPECT_TRUE(shows(kAvailability, "online"));
    EXPECT_TRUE(shows(kState, "standby"));
    told += daemon_.readAllStandardError();
    EXPECT_TRUE(told.contains("MQTT: to 127.0.0.1")) << told.data();
    EXPECT_FALSE(told.contains("not-to-be-told")) << told.data();
    daemon_.terminate();
    EXPECT_TRUE(ended());
}

}  // namespace
}  // namespace panel
