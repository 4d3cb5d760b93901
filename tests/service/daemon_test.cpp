// The real projector-paneld as a process, over simulators behind ser2net and on pseudo-terminals:
// what is sent reaches them and comes back decoded, power reaches only the named, a killed
// simulator shows on the event stream, a held line stays its holder's, and the signals are heard.
#include <gtest/gtest.h>
#include <signal.h>

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <iostream>

#include "testkit/ser2net_process.h"
#include "tests/fleet/sim_bank.h"
#include "tests/service/webhook_receiver.h"

namespace panel {
namespace {

constexpr int kPatienceMs = 20000;

struct Answer {
    int status = 0;
    QJsonObject json;
    QByteArray body;
};

// Starts projector-paneld with the files given; its port once it says where it listens.
class Daemon {
public:
    Daemon(const QTemporaryDir& dir, const QStringList& extra = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
        process_.setProcessEnvironment(env);
        process_.start(QStringLiteral(PROJECTOR_PANELD_BINARY),
                       QStringList{QStringLiteral("--config"), dir.filePath("service.ini"),
                                   QStringLiteral("--projectors"), dir.filePath("projectors.ini")} +
                           extra);
    }
    ~Daemon() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    // Waits until it listens (its port) or has ended (0).
    quint16 port() {
        static const QRegularExpression listening(QStringLiteral("listening on 127.0.0.1:(\\d+)"));
        (void)QTest::qWaitFor(
            [&] {
                err_ += QString::fromUtf8(process_.readAllStandardError());
                return listening.match(err_).hasMatch() || process_.state() == QProcess::NotRunning;
            },
            kPatienceMs);
        return static_cast<quint16>(listening.match(err_).captured(1).toUInt());
    }
    void signal(int number) { ::kill(static_cast<pid_t>(process_.processId()), number); }
    bool ended() {
        return QTest::qWaitFor([&] { return process_.state() == QProcess::NotRunning; },
                               kPatienceMs);
    }
    int exitCode() const { return process_.exitCode(); }
    QString err() {
        err_ += QString::fromUtf8(process_.readAllStandardError());
        return err_;
    }

private:
    QProcess process_;
    QString err_;
};

class DaemonTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sims_.ok());
        server_ = std::make_unique<test::Ser2NetProcess>(
            std::vector<QString>{sims_.link(0), sims_.link(1)});
        ASSERT_TRUE(server_->ok()) << server_->log();
        write("service.ini",
              "listen = 127.0.0.1:0\ntoken_file = tokens\n"
              "log_file = session.log\npoll_seconds = 1\n");
        write("projectors.ini",
              QStringLiteral("[Hall A]\nport = %1\n[Hall B]\nport = %2\n"
                             "[Room C]\nport = %3\n")
                  .arg(server_->rfc2217Url(0), server_->socketUrl(1), sims_.link(2))
                  .toUtf8());
        token_ = addToken("desk", "operator");
        ASSERT_FALSE(token_.isEmpty());
    }

    void write(const char* name, const QByteArray& text) {
        QFile file(dir_.filePath(QLatin1String(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QByteArray addToken(const char* name, const char* role) {
        QProcess add;
        add.start(QStringLiteral(PROJECTOR_PANELD_BINARY),
                  {QStringLiteral("--config"), dir_.filePath("service.ini"),
                   QStringLiteral("--add-token"), QLatin1String(name), QLatin1String(role)});
        if (!add.waitForFinished(kPatienceMs) || add.exitCode() != 0) return {};
        return add.readAllStandardOutput().trimmed();
    }

    Answer call(quint16 port, const QByteArray& method, const QByteArray& path,
                const QByteArray& body = {}, const QByteArray& token = {}) {
        QNetworkRequest request(
            QUrl::fromEncoded("http://127.0.0.1:" + QByteArray::number(port) + path));
        request.setRawHeader("Authorization", "Bearer " + (token.isEmpty() ? token_ : token));
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        std::unique_ptr<QNetworkReply> reply(client_.sendCustomRequest(request, method, body));
        (void)QTest::qWaitFor([&] { return reply->isFinished(); }, kPatienceMs);
        Answer answer;
        answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        answer.body = reply->readAll();
        answer.json = QJsonDocument::fromJson(answer.body).object();
        return answer;
    }

    QTemporaryDir dir_;
    test::SimBank sims_{3, {"--warmup", "60", "--cooldown", "60"}};
    std::unique_ptr<test::Ser2NetProcess> server_;
    QByteArray token_;
    QNetworkAccessManager client_;
};

TEST_F(DaemonTest, ASendReachesTheSimulatorAndItsDecodedAnswerComesBack) {
    Daemon daemon(dir_);
    const quint16 port = daemon.port();
    ASSERT_NE(port, 0) << daemon.err().toStdString();
    struct Way {
        const char* path;
        int sim;
    };
    const Way ways[]{{"/api/v1/projectors/Hall%20A/send", 0},   // rfc2217://
                     {"/api/v1/projectors/Hall%20B/send", 1},   // socket://
                     {"/api/v1/projectors/Room%20C/send", 2}};  // the terminal itself
    for (const Way& w : ways) {
        // A code the polls never send.
        const Answer a = call(port, "POST", w.path, R"({"codes":["CR4"]})");
        ASSERT_EQ(a.status, 200) << w.path << " " << a.body.toStdString();
        const QJsonObject answer = a.json.value("answers").toArray()[0].toObject();
        EXPECT_EQ(answer.value("decoded").toString(), QStringLiteral(" Normally")) << w.path;
        EXPECT_EQ(sims_.log(w.sim).count("CR4"), 1U) << w.path;
    }
}

TEST_F(DaemonTest, APowerOffReachesOnlyTheNamedProjectors) {
    Daemon daemon(dir_);
    const quint16 port = daemon.port();
    ASSERT_NE(port, 0) << daemon.err().toStdString();
    const Answer a =
        call(port, "POST", "/api/v1/power", R"({"on":false,"projectors":["Hall A","Room C"]})");
    ASSERT_EQ(a.status, 200) << a.body.toStdString();
    EXPECT_EQ(a.json.value("results").toArray().size(), 2);
    EXPECT_EQ(sims_.log(0).count("C01"), 1U);
    EXPECT_EQ(sims_.log(1).count("C01"), 0U);
    EXPECT_EQ(sims_.log(2).count("C01"), 1U);
}

TEST_F(DaemonTest, AKilledSimulatorShowsNoAnswerOnTheEventStreamWithinAPoll) {
    Daemon daemon(dir_);
    const quint16 port = daemon.port();
    ASSERT_NE(port, 0) << daemon.err().toStdString();
    QNetworkRequest request(QUrl("http://127.0.0.1:" + QString::number(port) + "/api/v1/events"));
    request.setRawHeader("Authorization", "Bearer " + token_);
    std::unique_ptr<QNetworkReply> reply(client_.get(request));
    QByteArray got;
    QObject::connect(reply.get(), &QNetworkReply::readyRead, [&] { got += reply->readAll(); });
    // Compact JSON: each event's data is one line.
    const auto told = [&](const QByteArray& name, const char* state) {
        return QRegularExpression(QStringLiteral(R"("name":"%1"[^\n]*"state":"%2")")
                                      .arg(QString::fromUtf8(name), QLatin1String(state)))
            .match(QString::fromUtf8(got))
            .hasMatch();
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return told("Room C", "standby"); }, kPatienceMs));
    for (int sim : {2, 0}) {  // on the terminal, and behind ser2net
        const QByteArray name = sim == 2 ? "Room C" : "Hall A";
        got.clear();
        sims_.stop(sim);
        QElapsedTimer clock;
        clock.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return told(name, "no-answer"); }, kPatienceMs))
            << got.toStdString();
        // The next poll (one a second), its three reply windows, and room for a loaded machine.
        EXPECT_LT(clock.elapsed(), 1000 + 3 * 500 + 2500) << name.toStdString();
    }
    reply->abort();
}

TEST_F(DaemonTest, ALineHeldByAnotherClientAnswersInUseAndTheHolderKeepsIt) {
    // One poll at the start and none after, so that the holder never meets one.
    write("service.ini", "listen = 127.0.0.1:0\ntoken_file = tokens\npoll_seconds = 3600\n");
    Daemon daemon(dir_);
    const quint16 port = daemon.port();
    ASSERT_NE(port, 0) << daemon.err().toStdString();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return call(port, "GET", "/api/v1/projectors/Hall%20A").json.value("last_answered") !=
                   QJsonValue();
        },
        kPatienceMs));
    // The raw port of Hall A's line: ser2net refuses the service's rfc2217:// connection.
    QTcpSocket holder;
    holder.connectToHost(QHostAddress::LocalHost, server_->socketPort(0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return holder.state() == QAbstractSocket::ConnectedState; },
                                kPatienceMs));
    QTest::qWait(300);
    const std::size_t before = sims_.log(0).count("C01");
    const Answer a = call(port, "POST", "/api/v1/projectors/Hall%20A/send", R"({"codes":["C01"]})");
    EXPECT_EQ(a.status, 503) << a.body.toStdString();
    EXPECT_TRUE(a.json.value("error").toString().startsWith(QLatin1String("in use")))
        << a.body.toStdString();
    EXPECT_EQ(sims_.log(0).count("C01"), before);
    EXPECT_EQ(holder.state(), QAbstractSocket::ConnectedState);
    holder.write("CR0\r");
    EXPECT_TRUE(QTest::qWaitFor([&] { return holder.bytesAvailable() > 0; }, kPatienceMs));
}

TEST_F(DaemonTest, SighupReadsTheFilesAgainAndSigtermEndsCleanlyWithTheLogWritten) {
    Daemon daemon(dir_);
    const quint16 port = daemon.port();
    ASSERT_NE(port, 0) << daemon.err().toStdString();
    const QByteArray viewer = addToken("phone", "viewer");
    write("projectors.ini",
          QStringLiteral("[Room C]\nport = %1\n[Room D]\nport = %1\n").arg(sims_.link(2)).toUtf8());
    daemon.signal(SIGHUP);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return daemon.err().contains(QLatin1String("read again: 2 projectors")); },
        kPatienceMs));
    const QJsonArray list =
        call(port, "GET", "/api/v1/projectors").json.value("projectors").toArray();
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[1].toObject().value("name").toString(), QStringLiteral("Room D"));
    // The token added while it ran is known now.
    EXPECT_EQ(call(port, "GET", "/api/v1/projectors", {}, viewer).status, 200);
    EXPECT_EQ(
        call(port, "POST", "/api/v1/power", R"({"on":false,"projectors":"all"})", viewer).status,
        403);
    EXPECT_EQ(call(port, "POST", "/api/v1/projectors/Room%20C/send", R"({"codes":["CR0"]})").status,
              200);
    daemon.signal(SIGTERM);
    ASSERT_TRUE(daemon.ended());
    EXPECT_EQ(daemon.exitCode(), 0) << daemon.err().toStdString();
    QFile log(dir_.filePath("session.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("\tRoom C by desk\t"));
}

TEST_F(DaemonTest, ALampFaultRaisesOneAlertAndOneClearedOnceMended) {
    test::WebhookReceiver receiver;
    write("service.ini",
          "listen = 127.0.0.1:0\ntoken_file = tokens\npoll_seconds = 1\n"
          "[alerts]\nwebhook = " +
              receiver.url() + "\nno_answer_polls = 1000\nretry_ms = 100\n");
    sims_.stop(2);
    sims_.start(2, {"--lamp-fault"});
    Daemon daemon(dir_);
    const quint16 port = daemon.port();
    ASSERT_NE(port, 0) << daemon.err().toStdString();
    const auto lampPosts = [&](const char* state) {
        std::vector<test::ReceivedPost> found;
        for (const test::ReceivedPost& post : receiver.posts()) {
            const QJsonObject body = QJsonDocument::fromJson(post.body).object();
            if (body.value("alert") == QLatin1String("lamp-fault") &&
                body.value("state") == QLatin1String(state))
                found.push_back(post);
        }
        return found;
    };
    // From the poll that saw it (its first frame at the simulator, and its last) to the receiver.
    const auto delayMs = [&](const test::ReceivedPost& post) {
        std::int64_t first = 0;
        std::int64_t last = 0;
        for (const std::int64_t us : sims_.log(2).times("CR0"))
            if (us / 1000 <= post.monotonicMs) first = us;
        for (const std::int64_t us : sims_.log(2).times("CR3"))
            if (us / 1000 <= post.monotonicMs) last = us;
        return std::to_string(post.monotonicMs - first / 1000) + " ms from its first code, " +
               std::to_string(post.monotonicMs - last / 1000) + " ms from its last";
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return lampPosts("raised").size() == 1; }, kPatienceMs))
        << daemon.err().toStdString();
    std::cout << "[ figure ] poll to webhook, raised: " << delayMs(lampPosts("raised")[0]) << '\n';
    const QJsonArray open = call(port, "GET", "/api/v1/alerts").json.value("alerts").toArray();
    ASSERT_EQ(open.size(), 1);
    EXPECT_EQ(open[0].toObject().value("projector").toString(), QStringLiteral("Room C"));
    sims_.stop(2);
    sims_.start(2);  // a new lamp
    ASSERT_TRUE(QTest::qWaitFor([&] { return lampPosts("cleared").size() == 1; }, kPatienceMs));
    std::cout << "[ figure ] poll to webhook, cleared: " << delayMs(lampPosts("cleared")[0])
              << '\n';
    QTest::qWait(2500);  // two polls more: nothing is told again
    EXPECT_EQ(receiver.posts().size(), 2U);
    EXPECT_EQ(call(port, "GET", "/api/v1/alerts").json.value("alerts").toArray().size(), 0);
    EXPECT_EQ(
        daemon.err().count(QLatin1String("<4>projector-paneld: alert raised: Room C: lamp fault")),
        1)
        << daemon.err().toStdString();
}

TEST_F(DaemonTest, ARuleForAnUnknownProjectorOnSighupIsToldAndTheOldRulesStay) {
    const QByteArray head =
        "listen = 127.0.0.1:0\ntoken_file = tokens\npoll_seconds = 3600\n"
        "[schedule]\nstate_file = schedule.state\n";
    write("service.ini", head + "rule = daily 07:45 power on Hall A\n");
    Daemon daemon(dir_);
    const quint16 port = daemon.port();
    ASSERT_NE(port, 0) << daemon.err().toStdString();
    write("service.ini", head +
                             "rule = daily 07:45 power on Hall A\n"
                             "rule = Mon-Fri 08:00 power on Hall A, Hall Q\n");
    daemon.signal(SIGHUP);
    const QString told = dir_.filePath("service.ini") +
                         QStringLiteral(":7: the rule names 'Hall Q', which is not in ") +
                         dir_.filePath("projectors.ini");
    ASSERT_TRUE(QTest::qWaitFor([&] { return daemon.err().contains(told); }, kPatienceMs))
        << daemon.err().toStdString();
    const QJsonArray rules = call(port, "GET", "/api/v1/schedule").json.value("rules").toArray();
    ASSERT_EQ(rules.size(), 1);
    EXPECT_EQ(rules[0].toObject().value("rule").toString(),
              QStringLiteral("daily 07:45 power on Hall A"));
    EXPECT_TRUE(QFile::exists(dir_.filePath("schedule.state")));
}

struct StartCase {
    const char* name;
    const char* config;
    const char* projectors;
    const char* err;  // {dir} is the test's folder
};

class DaemonStartTest : public DaemonTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(DaemonStartTest, ABadFileStopsTheStartWithItsLineAndReason) {
    write("service.ini", GetParam().config);
    write("projectors.ini", GetParam().projectors);
    Daemon daemon(dir_);
    ASSERT_TRUE(daemon.ended());
    EXPECT_EQ(daemon.exitCode(), 2);
    const QString expected =
        QString::fromUtf8(GetParam().err).replace(QLatin1String("{dir}"), dir_.path());
    EXPECT_TRUE(daemon.err().contains(expected)) << daemon.err().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DaemonStartTest,
    ::testing::Values(StartCase{"UnknownKey", "listen = 127.0.0.1:0\nport = 1\n", "",
                                "{dir}/service.ini:2: unknown key 'port' in [service]"},
                      StartCase{"TlsKeyAlone", "listen = 127.0.0.1:0\ntls_key = k.pem\n", "",
                                "{dir}/service.ini:2: tls_key is given without tls_certificate"},
                      StartCase{"TlsCertificateMissing",
                                "listen = 127.0.0.1:0\ntls_certificate = c.pem\ntls_key = k.pem\n",
                                "", "{dir}/service.ini:2: tls_certificate {dir}/c.pem: "},
                      StartCase{"BadProjector", "listen = 127.0.0.1:0\n", "[A]\nspeed = 1\n",
                                "{dir}/projectors.ini:1: "},
                      StartCase{"ARuleForAnUnknownProjector",
                                "listen = 127.0.0.1:0\n[schedule]\n# the first\n"
                                "rule = daily 07:00 power on all\n"
                                "rule = Mon-Fri 07:45 power on Hall Z\n",
                                "",
                                "{dir}/service.ini:5: the rule names 'Hall Z', which is not in "
                                "{dir}/projectors.ini"},
                      StartCase{"ABadRule", "listen = 127.0.0.1:0\n[schedule]\nrule = daily 7 on\n",
                                "", "{dir}/service.ini:3: a rule is"},
                      StartCase{"TokensOthersRead",
                                "listen = 127.0.0.1:0\ntoken_file = /etc/hostname\n", "",
                                "/etc/hostname: others may read or write it"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace panel
