// The API in this process: every route for every kind of caller, bad input of every kind (each
// answered with its status while the service goes on), slow and vanishing clients, the event
// stream, the guard against guessing, and the session log of what was done.
#include <QFile>
#include <QJsonArray>

#include "tests/service/service_fixture.h"

namespace panel {
namespace {

using test::Answer;
using test::Caller;
using test::ServiceFixture;

const QByteArray kHallA = "/api/v1/projectors/Hall%20A";

struct RouteCase {
    const char* name;
    const char* method;
    const char* path;
    const char* body;
    int viewer;       // the status a viewer's token gets; anyone's token but for /healthz
    int operator_;    // the status an operator's token gets
    const char* key;  // in the successful answer
};

class RouteTest : public ServiceFixture, public ::testing::WithParamInterface<RouteCase> {};

TEST_P(RouteTest, AnswersEachCallerWithItsStatusAndShape) {
    const RouteCase& c = GetParam();
    const bool open = std::string_view(c.path) == "/healthz";
    struct Expect {
        Caller caller;
        int status;
    };
    const Expect expects[]{{Caller::Nobody, open ? 200 : 401},
                           {Caller::Stranger, open ? 200 : 401},
                           {Caller::Viewer, c.viewer},
                           {Caller::Operator, c.operator_}};
    for (const Expect& e : expects) {
        const Answer a = call(c.method, c.path, e.caller, c.body);
        EXPECT_EQ(a.status, e.status) << static_cast<int>(e.caller) << " " << a.body.toStdString();
        if (a.status == 200 && *c.key != '\0') {
            EXPECT_TRUE(a.json.contains(QLatin1String(c.key))) << a.body.toStdString();
        }
        if (a.status >= 400) {
            EXPECT_TRUE(a.json.value("error").isString()) << a.body.toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Routes, RouteTest,
    ::testing::Values(RouteCase{"Health", "GET", "/healthz", "", 200, 200, "status"},
                      RouteCase{"List", "GET", "/api/v1/projectors", "", 200, 200, "projectors"},
                      RouteCase{"One", "GET", "/api/v1/projectors/Hall%20A", "", 200, 200, "state"},
                      RouteCase{"Send", "POST", "/api/v1/projectors/Hall%20A/send",
                                R"({"codes":["CR0"]})", 403, 200, "answers"},
                      RouteCase{"Power", "POST", "/api/v1/power",
                                R"({"on":false,"projectors":["Hall A"]})", 403, 200, "results"},
                      RouteCase{"Events", "GET", "/api/v1/events", "", 200, 200, ""},
                      RouteCase{"Metrics", "GET", "/metrics", "", 200, 200, ""},
                      RouteCase{"Schedule", "GET", "/api/v1/schedule", "", 200, 200, "rules"},
                      RouteCase{"Alerts", "GET", "/api/v1/alerts", "", 200, 200, "alerts"},
                      RouteCase{"Commands", "GET", "/api/v1/commands", "", 200, 200, "commands"},
                      RouteCase{"Page", "GET", "/api/v1/page", "", 200, 200, "columns"}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadCase {
    const char* name;
    const char* method;
    const char* path;
    QByteArray body;
    int status;
};

class BadInputTest : public ServiceFixture, public ::testing::WithParamInterface<BadCase> {};

TEST_P(BadInputTest, GetsItsStatusAndTheServiceGoesOn) {
    const BadCase& c = GetParam();
    const QByteArray request = QByteArray(c.method) + ' ' + c.path +
                               " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n"
                               "Authorization: Bearer " +
                               operator_ +
                               "\r\nContent-Length: " + QByteArray::number(c.body.size()) +
                               "\r\n\r\n" + c.body;
    const Answer a = raw(request);
    EXPECT_EQ(a.status, c.status) << a.body.toStdString();
    if (a.status >= 400) {
        EXPECT_TRUE(a.json.value("error").isString()) << a.body.toStdString();
    }
    EXPECT_TRUE(healthy());
    EXPECT_EQ(sent(0, "C01"), 0U);
}

const char* const kSend = "/api/v1/projectors/Hall%20A/send";

INSTANTIATE_TEST_SUITE_P(
    Cases, BadInputTest,
    ::testing::Values(
        BadCase{"MalformedJson", "POST", kSend, R"({"codes": [)", 400},
        BadCase{"TruncatedJson", "POST", kSend, R"({"codes":["CR0")", 400},
        BadCase{"NoObject", "POST", kSend, R"(["CR0"])", 400},
        BadCase{"EmptyBody", "POST", kSend, "", 400},
        BadCase{"CodesNoList", "POST", kSend, R"({"codes":"CR0"})", 400},
        BadCase{"NoCodes", "POST", kSend, R"({"codes":[]})", 400},
        BadCase{"CodeNoString", "POST", kSend, R"({"codes":[1]})", 400},
        BadCase{"CodeWithCR", "POST", kSend, R"({"codes":["CR0\rC01"]})", 400},
        BadCase{"CodeWithLF", "POST", kSend, R"({"codes":["CR0\nC01"]})", 400},
        BadCase{"CodeWithNul", "POST", kSend, R"({"codes":["CR0\u0000C01"]})", 400},
        BadCase{"CodeWithTab", "POST", kSend, R"({"codes":["C\t01"]})", 400},
        BadCase{"CodeNotAscii", "POST", kSend, R"({"codes":["C01é"]})", 400},
        BadCase{"CodeTooLong", "POST", kSend, R"({"codes":[")" + QByteArray(65, 'A') + R"("]})",
                400},
        BadCase{"TooManyCodes", "POST", kSend,
                R"({"codes":[)" + QByteArray(R"("CR0",)").repeated(32) + R"("CR0"]})", 400},
        BadCase{"OneMegabyte", "POST", kSend, QByteArray(1024 * 1024, ' '), 413},
        BadCase{"UnknownName", "GET", "/api/v1/projectors/Hall%20Z", "", 404},
        BadCase{"NameWithSlash", "GET", "/api/v1/projectors/Hall%2FA", "", 404},
        BadCase{"NameDotDot", "GET", "/api/v1/projectors/%2E%2E", "", 404},
        BadCase{"PathDotDot", "GET", "/api/v1/projectors/../projectors", "", 404},
        BadCase{"NameWithNul", "GET", "/api/v1/projectors/Hall%00A", "", 404},
        BadCase{"NameBadUtf8", "GET", "/api/v1/projectors/%FF%FE", "", 404},
        BadCase{"NameUtf8", "GET", "/api/v1/projectors/%E8%AC%9B%E7%BE%A9%E5%AE%A4%20101", "", 200},
        BadCase{"SendUnknownName", "POST", "/api/v1/projectors/Hall%20Z/send",
                R"({"codes":["C01"]})", 404},
        BadCase{"UnknownRoute", "GET", "/api/v2/projectors", "", 404},
        BadCase{"DeleteList", "DELETE", "/api/v1/projectors", "", 405},
        BadCase{"GetPower", "GET", "/api/v1/power", "", 405},
        BadCase{"PostHealth", "POST", "/healthz", "", 405},
        BadCase{"PowerOnNoBool", "POST", "/api/v1/power", R"({"on":"no","projectors":"all"})", 400},
        BadCase{"PowerNoNames", "POST", "/api/v1/power", R"({"on":false,"projectors":[]})", 400},
        BadCase{"PowerNameNoString", "POST", "/api/v1/power", R"({"on":false,"projectors":[7]})",
                400},
        BadCase{"PowerUnknownName", "POST", "/api/v1/power",
                R"({"on":false,"projectors":["Hall A","Hall Z"]})", 404}),
    [](const auto& info) { return std::string(info.param.name); });

// What a browser is told with every answer: the page's files without a token, the API with one;
// a policy that runs only the service's own scripts everywhere; CORS only for a named origin.
struct HeaderCase {
    const char* name;
    const char* method;
    const char* path;
    const char* origin;  // sent as Origin when not empty
    bool token;          // the operator's
    bool named;          // the configuration names https://desk.example
    int status;
    std::vector<const char*> present;
    std::vector<const char*> absent;
};

class HeaderTest : public ServiceFixture, public ::testing::WithParamInterface<HeaderCase> {};

const char* const kPolicy =
    "\r\nContent-Security-Policy: default-src 'self'; script-src 'self'; object-src 'none'; "
    "frame-ancestors 'none'; base-uri 'none'";
const char* const kNoSniff = "\r\nX-Content-Type-Options: nosniff\r\n";
const char* const kNoReferrer = "\r\nReferrer-Policy: no-referrer\r\n";
const char* const kAnyOrigin = "Access-Control-Allow-Origin";
const char* const kDesk = "\r\nAccess-Control-Allow-Origin: https://desk.example\r\n";

TEST_P(HeaderTest, SaysWhatTheBrowserMayDo) {
    const HeaderCase& c = GetParam();
    if (c.named) {
        WebConfig web;
        ASSERT_FALSE(addCorsOrigins(web, QStringLiteral("https://desk.example")));
        api_->setWeb(web);
    }
    QByteArray request =
        QByteArray(c.method) + ' ' + c.path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n";
    if (*c.origin != '\0') request += QByteArray("Origin: ") + c.origin + "\r\n";
    if (c.token) request += "Authorization: Bearer " + operator_ + "\r\n";
    // Each is answered at once and closed, but the stream, which is read for a moment only.
    const Answer a = raw(request + "\r\n", 1500);
    EXPECT_EQ(a.status, c.status) << a.head.toStdString();
    for (const char* header : c.present)
        EXPECT_TRUE(a.head.contains(header)) << header << "\n" << a.head.toStdString();
    for (const char* header : c.absent)
        EXPECT_FALSE(a.head.contains(header)) << header << "\n" << a.head.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HeaderTest,
    ::testing::Values(
        HeaderCase{"PageWithoutAToken",
                   "GET",
                   "/",
                   "",
                   false,
                   false,
                   200,
                   {kPolicy, kNoSniff, kNoReferrer, "Content-Type: text/html"},
                   {kAnyOrigin}},
        HeaderCase{"ScriptWithoutAToken",
                   "GET",
                   "/ui/main.js",
                   "",
                   false,
                   false,
                   200,
                   {kPolicy, kNoSniff, "Content-Type: text/javascript"},
                   {}},
        HeaderCase{"NoSuchFileIsNoFile", "GET", "/ui/nothing.js", "", false, false, 401, {}, {}},
        HeaderCase{"PagePostedTo", "POST", "/", "", false, false, 405, {kPolicy}, {}},
        HeaderCase{"RefusalToo",
                   "GET",
                   "/api/v1/projectors",
                   "",
                   false,
                   false,
                   401,
                   {kPolicy, kNoSniff, kNoReferrer},
                   {}},
        HeaderCase{"NoCorsByDefault",
                   "GET",
                   "/api/v1/projectors",
                   "https://desk.example",
                   true,
                   false,
                   200,
                   {kNoSniff},
                   {kAnyOrigin, "Vary: Origin"}},
        HeaderCase{"NoPreflightByDefault",
                   "OPTIONS",
                   "/api/v1/power",
                   "https://desk.example",
                   false,
                   false,
                   401,
                   {},
                   {kAnyOrigin}},
        HeaderCase{"CorsForANamedOrigin",
                   "GET",
                   "/api/v1/projectors",
                   "https://desk.example",
                   true,
                   true,
                   200,
                   {kDesk, "\r\nVary: Origin\r\n"},
                   {}},
        HeaderCase{"NoCorsForAnother",
                   "GET",
                   "/api/v1/projectors",
                   "https://evil.example",
                   true,
                   true,
                   200,
                   {"\r\nVary: Origin\r\n"},
                   {kAnyOrigin}},
        HeaderCase{"PreflightOfANamedOrigin",
                   "OPTIONS",
                   "/api/v1/power",
                   "https://desk.example",
                   false,
                   true,
                   204,
                   {kDesk, "\r\nAccess-Control-Allow-Headers: Authorization, Content-Type\r\n"},
                   {}},
        HeaderCase{"NoPreflightForAnother",
                   "OPTIONS",
                   "/api/v1/power",
                   "https://evil.example",
                   false,
                   true,
                   401,
                   {},
                   {kAnyOrigin}},
        HeaderCase{"StreamToo",
                   "GET",
                   "/api/v1/events",
                   "https://desk.example",
                   true,
                   true,
                   200,
                   {kDesk, kNoSniff},
                   {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ServiceFixture, ABodyOverTheLimitWithoutALengthIsRefusedAsItComes) {
    QByteArray request = QByteArray("POST ") + kSend +
                         " HTTP/1.1\r\nHost: x\r\nConnection: close\r\nAuthorization: Bearer " +
                         operator_ + "\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (int i = 0; i < 20; ++i) request += "1000\r\n" + QByteArray(0x1000, ' ') + "\r\n";
    EXPECT_EQ(raw(request + "0\r\n\r\n").status, 413);
    EXPECT_TRUE(healthy());
}

TEST_F(ServiceFixture, AGarbledRequestLineIsRefusedByTheParser) {
    EXPECT_EQ(raw("\x01\x02 nonsense\r\n\r\n").status, 400);
    EXPECT_TRUE(healthy());
}

TEST_F(ServiceFixture, ASlowClientHoldsUpNobodyElse) {
    QTcpSocket slow;
    slow.connectToHost(QHostAddress::LocalHost, server_->port());
    ASSERT_TRUE(QTest::qWaitFor([&] { return slow.state() == QAbstractSocket::ConnectedState; },
                                test::kPatienceMs));
    const QByteArray request = "GET /healthz HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
    for (int i = 0; i < 3; ++i) {  // a byte a second
        slow.write(request.mid(i, 1));
        QTest::qWait(1000);
        EXPECT_TRUE(healthy());
    }
    slow.write(request.mid(3));
    ASSERT_TRUE(QTest::qWaitFor([&] { return slow.bytesAvailable() > 0; }, test::kPatienceMs));
    EXPECT_TRUE(slow.readAll().startsWith("HTTP/1.1 200"));
}

TEST_F(ServiceFixture, AClientGoneInTheMiddleOfASendLeavesNothingBehind) {
    {
        QTcpSocket gone;
        gone.connectToHost(QHostAddress::LocalHost, server_->port());
        ASSERT_TRUE(QTest::qWaitFor([&] { return gone.state() == QAbstractSocket::ConnectedState; },
                                    test::kPatienceMs));
        const QByteArray body = R"({"codes":["CR0","CR1"]})";
        gone.write(QByteArray("POST ") + kSend + " HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer " +
                   operator_ + "\r\nContent-Length: " + QByteArray::number(body.size()) +
                   "\r\n\r\n" + body);
        ASSERT_TRUE(QTest::qWaitFor([&] { return sent(0, "CR0") == 1; }, test::kPatienceMs));
        gone.abort();
    }
    // The command ends on its own; its answer finds nobody, and the request is let go.
    ASSERT_TRUE(QTest::qWaitFor([&] { return sent(0, "CR1") == 1; }, test::kPatienceMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return server_->openRequests() == 0; }, test::kPatienceMs));
    EXPECT_TRUE(healthy());
    EXPECT_EQ(call("POST", kSend, Caller::Operator, R"({"codes":["CR0"]})").status, 200);
}

TEST_F(ServiceFixture, ASendAnswersTheShellsObjectsAndALineThatFailsIsAnError) {
    const Answer a = call("POST", kHallA + "/send", Caller::Operator, R"({"codes":["CR0","CR1"]})");
    ASSERT_EQ(a.status, 200) << a.body.toStdString();
    const QJsonArray answers = a.json.value("answers").toArray();
    ASSERT_EQ(answers.size(), 2);
    const QJsonObject first = answers[0].toObject();
    EXPECT_EQ(first.value("command").toString(), QStringLiteral("CR0"));
    EXPECT_EQ(first.value("decoded").toString(), QStringLiteral(" Stand by"));
    EXPECT_TRUE(first.value("replied").toBool());
    for (const char* key : {"sent", "received", "first_byte_ms"})
        EXPECT_TRUE(first.contains(QLatin1String(key))) << key;

    const Answer gone =
        call("POST", "/api/v1/projectors/Gone/send", Caller::Operator, R"({"codes":["CR0"]})");
    EXPECT_EQ(gone.status, 503);
    EXPECT_TRUE(gone.json.value("error").toString().contains(QLatin1String("nothing")))
        << gone.body.toStdString();
}

TEST_F(ServiceFixture, PowerReachesOnlyTheNamedAndIsRefusedWhileWarmingUp) {
    Answer a =
        call("POST", "/api/v1/power", Caller::Operator, R"({"on":true,"projectors":["Hall A"]})");
    ASSERT_EQ(a.status, 200) << a.body.toStdString();
    EXPECT_EQ(sent(0, "C00"), 1U);
    EXPECT_EQ(sent(1, "C00"), 0U);
    // Its state is read again after the command: warming up now.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return call("GET", kHallA, Caller::Viewer).json.value("state") == "warming"; },
        test::kPatienceMs));
    a = call("POST", "/api/v1/power", Caller::Operator,
             R"({"on":false,"projectors":["Hall A","講義室 101"]})");
    EXPECT_EQ(a.status, 200) << a.body.toStdString();
    const QJsonArray results = a.json.value("results").toArray();
    ASSERT_EQ(results.size(), 2);
    EXPECT_EQ(results[0].toObject().value("status").toInt(), 409);
    EXPECT_EQ(results[0].toObject().value("error").toString(),
              QStringLiteral("not sent: warming up"));
    EXPECT_EQ(results[1].toObject().value("status").toInt(), 200);
    EXPECT_EQ(sent(0, "C01"), 0U);
    EXPECT_EQ(sent(1, "C01"), 1U);
    a = call("POST", "/api/v1/power", Caller::Operator, R"({"on":false,"projectors":["Hall A"]})");
    EXPECT_EQ(a.status, 409);
    // Each refusal is in the session log, with whose token asked.
    QFile log(dir_.filePath(QStringLiteral("session.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll().count("\tHall A by desk\t\tnote\tpower off: not sent: warming up\n"),
              2);
}

// Two power actions queued on one line at once, both while the projector stood by: the second
// waits for the poll after the first, which shows the warm-up the first began, and is refused.
struct QueuedPowerCase {
    const char* name;
    PowerCommand second;
    const char* code;  // the second's, which must not reach the line
};

class QueuedPowerTest : public ServiceFixture,
                        public ::testing::WithParamInterface<QueuedPowerCase> {};

TEST_P(QueuedPowerTest, TheSecondMeetsTheWarmUpTheFirstBeganAndIsNotSent) {
    const int row = fleet_->rowOf(QStringLiteral("Hall A"));
    int ended = 0;
    int refused = 0;
    CommandHooks hooks;
    hooks.done = [&](const ExchangeResult* result) {
        ++ended;
        refused += result ? 0 : 1;
    };
    fleet_->power({row}, PowerCommand::On, hooks);
    fleet_->power({row}, GetParam().second, hooks);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended == 2; }, test::kPatienceMs));
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(fleet_->rows()[static_cast<std::size_t>(row)].note,
              QStringLiteral("not sent: warming up"));
    EXPECT_EQ(sent(0, GetParam().code), GetParam().second == PowerCommand::On ? 1U : 0U);
}

INSTANTIATE_TEST_SUITE_P(Cases, QueuedPowerTest,
                         ::testing::Values(QueuedPowerCase{"OffBehindOn", PowerCommand::Off, "C01"},
                                           QueuedPowerCase{"OnBehindOn", PowerCommand::On, "C00"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A line with its fill of commands waiting takes no more from the API, for a send or for power,
// until they have gone: a client that sends and goes away, again and again, queues nothing more.
TEST_F(ServiceFixture, ALineWithItsFillOfCommandsWaitingTakesNoMore) {
    const int row = fleet_->rowOf(QStringLiteral("Hall A"));
    int ended = 0;
    CommandHooks hooks;
    hooks.done = [&ended](const ExchangeResult*) { ++ended; };
    // The first holds the line a while; the others wait behind it.
    fleet_->send(row, std::vector<std::string>(kMaxCodes, "CR0"), hooks);
    for (std::size_t i = 0; i < kMostWaitingCommands; ++i) fleet_->send(row, {"CR1"}, hooks);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sent(0, "CR0") > 0; }, test::kPatienceMs));
    ASSERT_EQ(fleet_->waiting(row), kMostWaitingCommands);

    const QString full = QStringLiteral("8 commands already wait for this projector's line");
    const Answer send = call("POST", kHallA + "/send", Caller::Operator, R"({"codes":["CR3"]})");
    EXPECT_EQ(send.status, 503);
    EXPECT_EQ(send.json.value("error").toString(), full);
    const Answer power =
        call("POST", "/api/v1/power", Caller::Operator, R"({"on":true,"projectors":["Hall A"]})");
    EXPECT_EQ(power.status, 503);
    EXPECT_EQ(power.json.value("results").toArray()[0].toObject().value("error").toString(), full);

    ASSERT_TRUE(QTest::qWaitFor([&] { return ended == 1 + static_cast<int>(kMostWaitingCommands); },
                                test::kPatienceMs));
    EXPECT_EQ(sent(0, "CR3"), 0U);
    EXPECT_EQ(sent(0, "C00"), 0U);
    EXPECT_EQ(call("POST", kHallA + "/send", Caller::Operator, R"({"codes":["CR3"]})").status, 200);
    QFile log(dir_.filePath(QStringLiteral("session.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(
        log.readAll().contains(("\tHall A by desk\t\tnote\tpower on: not sent: " + full).toUtf8()));
}

TEST_F(ServiceFixture, TenBadTokensBlockTheAddressButNotTheHealthCheck) {
    for (int i = 0; i < FailureThrottle::kFailures; ++i)
        EXPECT_EQ(call("GET", "/api/v1/projectors", Caller::Stranger).status, 401);
    EXPECT_EQ(call("GET", "/api/v1/projectors", Caller::Viewer).status, 429);
    EXPECT_TRUE(healthy());
}

TEST_F(ServiceFixture, TheEventStreamStartsWithEveryProjectorAndTellsChangesAndRemovals) {
    QNetworkRequest request(
        QUrl("http://127.0.0.1:" + QString::number(server_->port()) + "/api/v1/events"));
    request.setRawHeader("Authorization", "Bearer " + viewer_);
    std::unique_ptr<QNetworkReply> reply(client_.get(request));
    QByteArray got;
    QObject::connect(reply.get(), &QNetworkReply::readyRead, [&] { got += reply->readAll(); });
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return got.count("event: projector\n") == 3; }, test::kPatienceMs));
    EXPECT_TRUE(got.startsWith("retry: "));
    sims_.stop(0);
    fleet_->pollNow();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return got.contains(R"("state":"no-answer")") && got.contains(R"("name":"Hall A")");
        },
        test::kPatienceMs));
    EXPECT_EQ(api_->events().clients(), 1U);

    // Taken out of the file, and put back: each is told.
    std::vector<Projector> kept = {fleet_->rows()[1].projector, fleet_->rows()[2].projector};
    const Projector hallA = fleet_->rows()[0].projector;
    got.clear();
    fleet_->setProjectors(kept);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return got.contains("event: removed\n"); }, test::kPatienceMs));
    EXPECT_TRUE(got.contains("event: removed\ndata: {\"name\":\"Hall A\"}\n\n"))
        << got.toStdString();
    EXPECT_EQ(got.count("event: removed\n"), 1);
    got.clear();
    kept.push_back(hallA);
    fleet_->setProjectors(kept);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return got.contains(R"("name":"Hall A")"); }, test::kPatienceMs));
    EXPECT_FALSE(got.contains("event: removed\n"));
    reply->abort();
}

TEST_F(ServiceFixture, EveryCommandIsLoggedWithTheTokensName) {
    ASSERT_EQ(call("POST", kHallA + "/send", Caller::Operator, R"({"codes":["CR0"]})").status, 200);
    ASSERT_EQ(call("POST", "/api/v1/power", Caller::Operator,
                   R"({"on":false,"projectors":["講義室 101"]})")
                  .status,
              200);
    log_->stop();
    QFile file(dir_.filePath(QStringLiteral("session.log")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains(
        QStringLiteral("\tHall A by desk\t%1\tsent\t C R 0 CR \t43 52 30 0D\n").arg(link(0))))
        << text.toStdString();
    EXPECT_TRUE(
        text.contains(QStringLiteral("\t講義室 101 by desk\t%1\tsent\t C 0 1 CR ").arg(link(1))))
        << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("phone")));
}

}  // namespace
}  // namespace panel
