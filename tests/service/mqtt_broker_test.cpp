// The MQTT bridge against a real mosquitto on 127.0.0.1, over simulators on pseudo-terminals,
// watched by a client of its own: states arrive on their topics, commands reach the line under
// the API's rules, a restarted broker gets the state again, and Home Assistant is told what is
// there and what has gone.
#include <gtest/gtest.h>
#include <signal.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <map>
#include <memory>

#include "fleet/projectors_file.h"
#include "service/mqtt_bridge.h"
#include "service/mqtt_client.h"
#include "service/mqtt_discovery.h"
#include "tests/fleet/sim_bank.h"
#include "tests/service/mosquitto_process.h"

namespace panel {
namespace {

constexpr int kPatienceMs = 15000;

// A client that hears everything: the last payload of each topic, and every result in order.
class Watcher {
public:
    explicit Watcher(quint16 port)
        : client_(MqttClientSettings{
              QStringLiteral("127.0.0.1"), port, QStringLiteral("watcher"), {}, {}, {}, {}, {}}) {
        QObject::connect(&client_, &MqttClient::connected, [this] { client_.subscribe("#"); });
        QObject::connect(&client_, &MqttClient::message,
                         [this](const QByteArray& topic, const QByteArray& payload, bool) {
                             last_[topic] = payload;
                             if (topic.endsWith("/result"))
                                 results_.push_back(QJsonDocument::fromJson(payload).object());
                         });
        client_.start();
    }
    bool waitFor(const QByteArray& topic, const QByteArray& payload) {
        return QTest::qWaitFor(
            [&] {
                auto it = last_.find(topic);
                return it != last_.end() && it->second == payload;
            },
            kPatienceMs);
    }
    bool waitForAny(const QByteArray& topic) {
        return QTest::qWaitFor([&] { return last_.count(topic) > 0; }, kPatienceMs);
    }
    QJsonObject nextResult() {
        const std::size_t seen = read_;
        if (!QTest::qWaitFor([&] { return results_.size() > seen; }, kPatienceMs)) return {};
        return results_[read_++];
    }
    void send(const QByteArray& topic, const QByteArray& payload, bool retain = false) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return client_.isConnected(); }, kPatienceMs));
        client_.publish(topic, payload, retain);
    }
    QByteArray last(const QByteArray& topic) const {
        auto it = last_.find(topic);
        return it == last_.end() ? QByteArray() : it->second;
    }
    void forget() { last_.clear(); }

private:
    MqttClient client_;
    std::map<QByteArray, QByteArray> last_;
    std::vector<QJsonObject> results_;
    std::size_t read_ = 0;
};

class MqttBrokerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        ::signal(SIGPIPE, SIG_IGN);  // a broker killed mid-write, as the service itself does
    }

    void SetUp() override {
        ASSERT_TRUE(sims_.ok());
        ASSERT_TRUE(broker_.start()) << broker_.log().toStdString();
        config_.host = QStringLiteral("127.0.0.1");
        config_.port = broker_.port();
        config_.site = QStringLiteral("hq");
        const QByteArray file = QStringLiteral("[Hall A]\nport = %1\n[Hall/B #1]\nport = %2\n")
                                    .arg(sims_.link(0), sims_.link(1))
                                    .toUtf8();
        fleet_ = std::make_unique<Fleet>(parseProjectors(file, QStringLiteral("p.ini")).projectors);
        fleet_->setPollInterval(std::chrono::seconds(1));
        ASSERT_FALSE(log_.start(dir_.filePath(QStringLiteral("session.log")).toStdString(), {}));
        client_ = std::make_unique<MqttClient>(MqttClientSettings{config_.host,
                                                                  config_.port,
                                                                  QStringLiteral("paneld-hq"),
                                                                  {},
                                                                  {},
                                                                  {},
                                                                  topics_.availability(),
                                                                  "offline"});
        bridge_ = std::make_unique<MqttBridge>(*fleet_, log_, config_, *client_);
        client_->start();
        fleet_->startPolling();
        watcher_ = std::make_unique<Watcher>(broker_.port());
    }

    void TearDown() override {
        watcher_.reset();
        bridge_.reset();
        client_.reset();
        fleet_.reset();
    }

    QByteArray topic(const char* name, const char* leaf) {
        return topics_.projector(QString::fromUtf8(name), leaf);
    }

    QTemporaryDir dir_;
    test::SimBank sims_{2, {"--warmup", "0", "--cooldown", "60"}};
    test::MosquittoProcess broker_;
    MqttConfig config_;
    MqttTopics topics_{QStringLiteral("projector-panel/hq/")};
    std::unique_ptr<Fleet> fleet_;
    ActionLog log_{"projector-paneld test"};
    std::unique_ptr<MqttClient> client_;
    std::unique_ptr<MqttBridge> bridge_;
    std::unique_ptr<Watcher> watcher_;
};

TEST_F(MqttBrokerTest, EachProjectorsStateArrivesRetainedOnItsTopicsAndTheServiceIsOnline) {
    EXPECT_TRUE(watcher_->waitFor(topics_.availability(), "online"));
    for (const char* name : {"Hall A", "Hall/B #1"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(watcher_->waitFor(topic(name, "state"), "standby"));
        EXPECT_TRUE(watcher_->waitFor(topic(name, "availability"), "online"));
        EXPECT_TRUE(watcher_->waitFor(topic(name, "power"), "OFF"));
        EXPECT_TRUE(watcher_->waitFor(topic(name, "input/option"), "PC1"));
        EXPECT_TRUE(watcher_->waitFor(topic(name, "lamp_hours"), "1234"));
        EXPECT_TRUE(watcher_->waitForAny(topic(name, "last_answered")));
        // The same facts in one object, as the API shows them.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                const QJsonObject json =
                    QJsonDocument::fromJson(watcher_->last(topic(name, "json"))).object();
                return json.value("name").toString() == QString::fromUtf8(name) &&
                       json.value("state").toString() == QStringLiteral("standby") &&
                       json.value("lamp_hours").toInt() == 1234;
            },
            kPatienceMs));
    }
    // The name's '/', ' ' and '#' stay inside one segment.
    EXPECT_EQ(topic("Hall/B #1", "state"), "projector-panel/hq/projectors/Hall%2FB %231/state");
}

TEST_F(MqttBrokerTest, APowerCommandReachesTheSimulatorAndTheChangeArrivesAtTheNextPoll) {
    ASSERT_TRUE(watcher_->waitFor(topic("Hall A", "state"), "standby"));
    watcher_->send(topic("Hall A", "power/set"), "ON");
    const QJsonObject result = watcher_->nextResult();
    EXPECT_EQ(result.value("status").toInt(), 200) << QJsonDocument(result).toJson().data();
    EXPECT_EQ(result.value("command").toString(), QStringLiteral("power"));
    EXPECT_EQ(sims_.log(0).count("C00"), 1U);
    EXPECT_EQ(sims_.log(1).count("C00"), 0U);
    EXPECT_TRUE(watcher_->waitFor(topic("Hall A", "state"), "on"));
    EXPECT_TRUE(watcher_->waitFor(topic("Hall A", "power"), "ON"));
}

TEST_F(MqttBrokerTest, ACommandDuringCoolDownIsRefusedOnTheResultTopicAndNeverSent) {
    ASSERT_TRUE(watcher_->waitFor(topic("Hall A", "state"), "standby"));
    watcher_->send(topic("Hall A", "power/set"), "ON");
    ASSERT_EQ(watcher_->nextResult().value("status").toInt(), 200);
    ASSERT_TRUE(watcher_->waitFor(topic("Hall A", "state"), "on"));
    watcher_->send(topic("Hall A", "power/set"), "OFF");
    ASSERT_EQ(watcher_->nextResult().value("status").toInt(), 200);
    ASSERT_TRUE(watcher_->waitFor(topic("Hall A", "state"), "cooling"));
    watcher_->send(topic("Hall A", "power/set"), "ON");
    const QJsonObject refused = watcher_->nextResult();
    EXPECT_EQ(refused.value("status").toInt(), 409);
    EXPECT_EQ(refused.value("error").toString(), QStringLiteral("not sent: cooling down"));
    EXPECT_EQ(sims_.log(0).count("C00"), 1U);
}

// Commands that must not reach the line, each with the status its result carries.
struct BadCommand {
    const char* name;
    const char* projector;
    const char* leaf;
    QByteArray payload;
    int status;
};

TEST_F(MqttBrokerTest, BadCommandsAreAnsweredOnTheResultTopicAndNothingIsSent) {
    const BadCommand cases[] = {
        {"power word", "Hall A", "power/set", "MAYBE", 400},
        {"input name", "Hall A", "input/set", "Composite", 400},
        {"codes no list", "Hall A", "codes/set", "{\"codes\":[]}", 400},
        {"code with CR", "Hall A", "codes/set", "[\"C00\\rC01\"]", 400},
        {"code with NUL", "Hall A", "codes/set", "[\"C0\\u0000\"]", 400},
        {"empty list", "Hall A", "codes/set", "[]", 400},
        {"unknown projector", "Nowhere", "power/set", "ON", 404},
        {"oversized", "Hall A", "codes/set", QByteArray(5000, '['), 413},
    };
    ASSERT_TRUE(watcher_->waitFor(topics_.availability(), "online"));
    for (const BadCommand& c : cases) {
        SCOPED_TRACE(c.name);
        watcher_->send(topic(c.projector, c.leaf), c.payload);
        EXPECT_EQ(watcher_->nextResult().value("status").toInt(), c.status);
    }
    const std::size_t polls = sims_.log(0).count("CR0");
    EXPECT_EQ(sims_.log(0).count("C00") + sims_.log(0).count("C01"), 0U);
    EXPECT_GE(polls, 1U);
}

TEST_F(MqttBrokerTest, ABurstOfCommandsForOneLineIsRefusedBeyondWhatMayWait) {
    // A projector that never answers: each command holds its line for a whole reply window.
    sims_.stop(1);
    sims_.start(1, {"--no-reply"});
    ASSERT_TRUE(watcher_->waitFor(topics_.availability(), "online"));
    const int burst = MqttBridge::kMostWaiting + 2;
    for (int i = 0; i < burst; ++i) watcher_->send(topic("Hall/B #1", "codes/set"), "[\"CR1\"]");
    std::map<int, int> statuses;
    for (int i = 0; i < burst; ++i) ++statuses[watcher_->nextResult().value("status").toInt()];
    EXPECT_EQ(statuses[429], burst - MqttBridge::kMostWaiting);
    EXPECT_EQ(statuses[503], MqttBridge::kMostWaiting);
}

TEST_F(MqttBrokerTest, AnInputByItsButtonNameAndAListOfCodesReachTheLine) {
    ASSERT_TRUE(watcher_->waitFor(topics_.availability(), "online"));
    watcher_->send(topic("Hall A", "input/set"), "Video");
    EXPECT_EQ(watcher_->nextResult().value("status").toInt(), 200);
    EXPECT_EQ(sims_.log(0).count("C07"), 1U);
    EXPECT_TRUE(watcher_->waitFor(topic("Hall A", "input/option"), "Video"));
    watcher_->send(topic("Hall A", "codes/set"), "[\"CR0\",\"CR3\"]");
    const QJsonObject result = watcher_->nextResult();
    EXPECT_EQ(result.value("status").toInt(), 200);
    EXPECT_EQ(result.value("answers").toArray().size(), 2);
    // Who sent it, in the session log.
    QFile log(dir_.filePath(QStringLiteral("session.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("Hall A by mqtt"));
}

TEST_F(MqttBrokerTest, ARetainedCommandIsOldAndNeverObeyed) {
    ASSERT_TRUE(watcher_->waitFor(topics_.availability(), "online"));
    // Left on the broker while the service is away: its next connection is what would see it.
    bridge_.reset();
    client_.reset();
    ASSERT_TRUE(watcher_->waitFor(topics_.availability(), "offline"));
    watcher_->send(topic("Hall A", "power/set"), "ON", true);
    ASSERT_TRUE(watcher_->waitFor(topic("Hall A", "power/set"), "ON"));  // the broker has it
    client_ = std::make_unique<MqttClient>(MqttClientSettings{
        config_.host, config_.port, QStringLiteral("paneld-hq"), {}, {}, {}, {}, {}});
    bridge_ = std::make_unique<MqttBridge>(*fleet_, log_, config_, *client_);
    client_->start();
    ASSERT_TRUE(watcher_->waitFor(topics_.availability(), "online"));
    // A command after it on the same line: once its result is out, the kept one had its turn.
    watcher_->send(topic("Hall A", "codes/set"), "[\"CR0\"]");
    EXPECT_EQ(watcher_->nextResult().value("status").toInt(), 200);
    EXPECT_EQ(sims_.log(0).count("C00"), 0U);
}

TEST_F(MqttBrokerTest, ARestartedBrokerHasTheStateAgainFromTheService) {
    ASSERT_TRUE(watcher_->waitFor(topic("Hall A", "state"), "standby"));
    // No persistence: what the broker kept dies with it.
    broker_.kill();
    watcher_->forget();
    ASSERT_TRUE(broker_.start()) << broker_.log().toStdString();
    EXPECT_TRUE(watcher_->waitFor(topics_.availability(), "online"));
    EXPECT_TRUE(watcher_->waitFor(topic("Hall A", "state"), "standby"));
    EXPECT_TRUE(watcher_->waitFor(topic("Hall/B #1", "lamp_hours"), "1234"));
    EXPECT_TRUE(watcher_->waitForAny(discoveryTopic({"hq", "homeassistant", &topics_}, "Hall A")));
}

TEST_F(MqttBrokerTest, HomeAssistantComingOnlineGetsTheDiscoveryAgain) {
    const QByteArray discovery = discoveryTopic({"hq", "homeassistant", &topics_}, "Hall A");
    ASSERT_TRUE(watcher_->waitForAny(discovery));
    watcher_->forget();
    watcher_->send("homeassistant/status", "online");
    ASSERT_TRUE(watcher_->waitForAny(discovery));
    const QJsonObject payload = QJsonDocument::fromJson(watcher_->last(discovery)).object();
    EXPECT_EQ(payload.value("dev").toObject().value("name").toString(), QStringLiteral("Hall A"));
}

TEST_F(MqttBrokerTest, AProjectorTakenOutOfTheFileLeavesNoRetainedTopicBehind) {
    const QByteArray discovery = discoveryTopic({"hq", "homeassistant", &topics_}, "Hall/B #1");
    ASSERT_TRUE(watcher_->waitForAny(discovery));
    ASSERT_TRUE(watcher_->waitFor(topic("Hall/B #1", "state"), "standby"));
    fleet_->setProjectors({fleet_->rows()[0].projector});
    EXPECT_TRUE(watcher_->waitFor(discovery, ""));
    EXPECT_TRUE(watcher_->waitFor(topic("Hall/B #1", "state"), ""));
    EXPECT_FALSE(
        watcher_->last(discoveryTopic({"hq", "homeassistant", &topics_}, "Hall A")).isEmpty());
}

TEST_F(MqttBrokerTest, AProjectorTakenOutWhileTheServiceWasAwayIsTakenAwayAtItsReturn) {
    const DiscoverySite site{"hq", "homeassistant", &topics_};
    // A discovery message of ours for a name the file no longer has, as a run before left it;
    // and one of another site's, which is not ours to take away.
    const DiscoverySite elsewhere{"west", "homeassistant", &topics_};
    const QByteArray gone = discoveryTopic(site, "Old Hall");
    const QByteArray theirs = discoveryTopic(elsewhere, "Old Hall");
    ASSERT_TRUE(watcher_->waitFor(topics_.availability(), "online"));
    bridge_.reset();
    client_.reset();
    watcher_->send(gone, QJsonDocument(discoveryPayload(site, "Old Hall")).toJson(), true);
    watcher_->send(theirs, QJsonDocument(discoveryPayload(elsewhere, "Old Hall")).toJson(), true);
    ASSERT_TRUE(watcher_->waitForAny(theirs));
    client_ = std::make_unique<MqttClient>(MqttClientSettings{
        config_.host, config_.port, QStringLiteral("paneld-hq"), {}, {}, {}, {}, {}});
    bridge_ = std::make_unique<MqttBridge>(*fleet_, log_, config_, *client_);
    client_->start();
    EXPECT_TRUE(watcher_->waitFor(gone, ""));
    // A command's result after both: the service has read every message that came before it.
    watcher_->send(topic("Hall A", "codes/set"), "[\"CR0\"]");
    EXPECT_EQ(watcher_->nextResult().value("status").toInt(), 200);
    EXPECT_FALSE(watcher_->last(theirs).isEmpty());
}

}  // namespace
}  // namespace panel
