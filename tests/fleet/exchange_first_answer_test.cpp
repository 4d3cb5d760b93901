// A projector's exchange whose line held bytes from before it was opened (a late answer to another
// client, kept by the line while no one had it open): its first code's answer is only what came
// after that code was sent, over either device-server scheme and over a local device.
#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <thread>

#include "fleet/fleet.h"
#include "fleet/projector_exchange.h"
#include "testkit/pseudo_terminal.h"
#include "testkit/ser2net_process.h"

namespace panel {
namespace {

using namespace std::chrono_literals;

// The projector at the far end of the terminal, on a thread of its own: it answers the status
// query.
class Responder {
public:
    explicit Responder(test::PseudoTerminal& line)
        : thread_([this, &line] {
              std::string frame;
              while (!stop_) {
                  for (char c : line.read(1, 20ms)) {
                      if (c != '\r') {
                          frame += c;
                          continue;
                      }
                      if (frame == "CR0") line.write("80\r");
                      frame.clear();
                  }
              }
          }) {}
    ~Responder() {
        stop_ = true;
        thread_.join();
    }
    Responder(const Responder&) = delete;
    Responder& operator=(const Responder&) = delete;

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

enum class Scheme { Rfc2217, Socket, Local };

struct StaleCase {
    const char* name;
    Scheme scheme;
    std::string stale;    // in the line before the exchange opens it
    bool fleets = false;  // with the fleet's short quiet, each answer taken as it ends
};

void PrintTo(const StaleCase& c, std::ostream* os) {
    *os << c.name;
}

class ExchangeFirstAnswerTest : public ::testing::TestWithParam<StaleCase> {
protected:
    static void SetUpTestSuite() {
        // Never the machine's own settings.
        static QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    }
};

TEST_P(ExchangeFirstAnswerTest, BytesFromBeforeTheOpenAreNoAnswer) {
    const StaleCase& c = GetParam();
    test::PseudoTerminal line;
    ASSERT_TRUE(line.ok());
    ASSERT_TRUE(line.write(c.stale));
    std::unique_ptr<test::Ser2NetProcess> server;
    QString device = line.path();
    if (c.scheme != Scheme::Local) {
        server = std::make_unique<test::Ser2NetProcess>(line.path());
        ASSERT_TRUE(server->ok()) << server->log();
        device = c.scheme == Scheme::Rfc2217 ? server->rfc2217Url() : server->socketUrl();
    }
    Responder projector(line);

    std::optional<ExchangeResult> result;
    ExchangeRequest request{device, 19200, {"CR0"}, 2000};
    if (c.fleets) {
        request.completeWhenEnded = true;
        request.quiet = Fleet::kQuietBeforeFirstCode;
    }
    ProjectorExchange exchange(std::move(request),
                               [&result](const ExchangeResult& r) { result = r; });
    exchange.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 10000));

    ASSERT_EQ(result->answers.size(), 1U) << result->problem.toStdString();
    const CodeAnswer& status = result->answers[0];
    EXPECT_EQ(status.bytes, "80\r");
    EXPECT_EQ(status.received, " 8 0 CR ");
    EXPECT_EQ(status.decoded, " Stand by");
}

INSTANTIATE_TEST_SUITE_P(Schemes, ExchangeFirstAnswerTest,
                         ::testing::Values(StaleCase{"Rfc2217LateAnswer", Scheme::Rfc2217, "1\r"},
                                           StaleCase{"Rfc2217Acknowledgement", Scheme::Rfc2217,
                                                     "\x06"},
                                           StaleCase{"SocketLateAnswer", Scheme::Socket, "1\r"},
                                           StaleCase{"LocalLateAnswer", Scheme::Local, "1\r"},
                                           StaleCase{"Rfc2217NothingStale", Scheme::Rfc2217, ""},
                                           StaleCase{"FleetRfc2217", Scheme::Rfc2217, "1\r", true},
                                           StaleCase{"FleetSocket", Scheme::Socket, "1\r", true},
                                           StaleCase{"FleetLocal", Scheme::Local, "1\r", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A device server that refuses only after the fleet's short wait for a refusal has passed: the
// exchange has sent its code by then, and the refusal's words are no answer to it.
TEST(ExchangeLateRefusalTest, IsToldAsInUseWithNoAnswer) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    QObject::connect(&server, &QTcpServer::newConnection, [&server] {
        QTcpSocket* client = server.nextPendingConnection();
        QTimer::singleShot(3 * Fleet::kQuietBeforeFirstCode, client, [client] {
            client->write("Port already in use\r\n");
            client->disconnectFromHost();
        });
    });
    const QString device = QStringLiteral("socket://127.0.0.1:%1").arg(server.serverPort());
    ExchangeRequest request{device, 19200, {"CR0"}, 2000};
    request.completeWhenEnded = true;
    request.quiet = Fleet::kQuietBeforeFirstCode;
    std::optional<ExchangeResult> result;
    ProjectorExchange exchange(std::move(request),
                               [&result](const ExchangeResult& r) { result = r; });
    exchange.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 5000));
    EXPECT_EQ(result->end, ExchangeEnd::InUse) << result->problem.toStdString();
    EXPECT_TRUE(result->answers.empty());
    EXPECT_TRUE(result->problem.contains(QStringLiteral("already in use")))
        << result->problem.toStdString();
}

}  // namespace
}  // namespace panel
