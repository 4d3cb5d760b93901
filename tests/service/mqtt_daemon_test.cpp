// The real projector-paneld with an [mqtt] section, against a real mosquitto: it says it is
// online, and offline when it goes, killed (the broker's last will) or stopped.
#include <gtest/gtest.h>
#include <signal.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "service/mqtt_client.h"
#include "tests/fleet/sim_bank.h"
#include "tests/service/mosquitto_process.h"

namespace panel {
namespace {

constexpr int kDaemonPatienceMs = 15000;

struct Ending {
    const char* name;
    int signal;
};

class MqttDaemonTest : public ::testing::TestWithParam<Ending> {};

TEST_P(MqttDaemonTest, TheServiceTurnsOfflineWhenItGoes) {
    test::SimBank sims{1};
    ASSERT_TRUE(sims.ok());
    test::MosquittoProcess broker;
    ASSERT_TRUE(broker.start()) << broker.log().toStdString();
    QTemporaryDir dir;
    auto write = [&](const char* name, const QString& text) {
        QFile file(dir.filePath(QLatin1String(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
    };
    write("service.ini", QStringLiteral("listen = 127.0.0.1:0\ntoken_file = tokens\n"
                                        "poll_seconds = 1\n[mqtt]\nhost = 127.0.0.1\n"
                                        "port = %1\nsite = east\n")
                             .arg(broker.port()));
    write("projectors.ini", QStringLiteral("[Hall A]\nport = %1\n").arg(sims.link(0)));

    std::map<QByteArray, QByteArray> last;
    MqttClient watcher(MqttClientSettings{
        QStringLiteral("127.0.0.1"), broker.port(), QStringLiteral("watcher"), {}, {}, {}, {}, {}});
    QObject::connect(&watcher, &MqttClient::connected,
                     [&] { watcher.subscribe("projector-panel/east/#"); });
    QObject::connect(
        &watcher, &MqttClient::message,
        [&](const QByteArray& topic, const QByteArray& payload, bool) { last[topic] = payload; });
    watcher.start();

    QProcess daemon;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
    daemon.setProcessEnvironment(env);
    daemon.start(QStringLiteral(PROJECTOR_PANELD_BINARY),
                 {QStringLiteral("--config"), dir.filePath("service.ini"),
                  QStringLiteral("--projectors"), dir.filePath("projectors.ini")});
    const QByteArray availability = "projector-panel/east/availability";
    const QByteArray state = "projector-panel/east/projectors/Hall A/state";
    auto shows = [&](const QByteArray& topic, const QByteArray& payload) {
        return QTest::qWaitFor([&] { return last[topic] == payload; }, kDaemonPatienceMs);
    };
    ASSERT_TRUE(shows(availability, "online")) << daemon.readAllStandardError().data();
    EXPECT_TRUE(shows(state, "standby"));
    EXPECT_FALSE(daemon.readAllStandardError().contains("password"));

    ::kill(static_cast<pid_t>(daemon.processId()), GetParam().signal);
    EXPECT_TRUE(shows(availability, "offline"));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return daemon.state() == QProcess::NotRunning; }, kDaemonPatienceMs));
    // The projector's own state stays as it was last seen: the service's word says it is stale.
    EXPECT_EQ(last[state], "standby");
}

INSTANTIATE_TEST_SUITE_P(Endings, MqttDaemonTest,
                         ::testing::Values(Ending{"killed", SIGKILL}, Ending{"stopped", SIGTERM}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace panel
