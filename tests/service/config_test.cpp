// The service's configuration file, its token file and its guard against guessing, each read or
// driven as a table of cases.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QTemporaryDir>

#include "service/failure_throttle.h"
#include "service/service_config.h"
#include "service/token_store.h"

namespace panel {
namespace {

struct ConfigCase {
    const char* name;
    const char* text;
    const char* problem;  // the first problem, from "FILE:LINE: " on; empty when none
};

class ServiceConfigTest : public ::testing::TestWithParam<ConfigCase> {};

TEST_P(ServiceConfigTest, ReadsOrNamesTheLineAndTheReason) {
    const ConfigRead read = parseServiceConfig(GetParam().text, QStringLiteral("/etc/s.ini"));
    if (*GetParam().problem == '\0') {
        EXPECT_TRUE(read.problems.empty()) << read.problems.front().toStdString();
    } else {
        ASSERT_FALSE(read.problems.empty());
        EXPECT_EQ(read.problems.front().toStdString(), GetParam().problem);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ServiceConfigTest,
    ::testing::Values(
        ConfigCase{"Empty", "", ""},
        ConfigCase{"AllKeys",
                   "# c\n[service]\nlisten = 0.0.0.0:9000\ntoken_file = t\nlog_file = /l\n"
                   "poll_seconds = 5\ntls_certificate =\ntls_key =\n",
                   ""},
        ConfigCase{"OtherSection", "[fleet]\n",
                   "/etc/s.ini:1: unknown section [fleet] (the file "
                   "has [service], [schedule], [alerts], [web], [mqtt])"},
        ConfigCase{"NoEquals", "\nlisten\n",
                   "/etc/s.ini:2: expected 'key = value', found 'listen'"},
        ConfigCase{"UnknownKey", "port = 1\n", "/etc/s.ini:1: unknown key 'port' in [service]"},
        ConfigCase{"Twice", "poll_seconds = 1\npoll_seconds = 2\n",
                   "/etc/s.ini:2: 'poll_seconds' is given twice"},
        ConfigCase{"PollZero", "poll_seconds = 0\n",
                   "/etc/s.ini:1: poll_seconds must be a whole number from 1 to 86400, not '0'"},
        ConfigCase{"PollWord", "poll_seconds = often\n",
                   "/etc/s.ini:1: poll_seconds must be a whole number from 1 to 86400, not "
                   "'often'"},
        ConfigCase{"ListenNoPort", "listen = 127.0.0.1\n",
                   "/etc/s.ini:1: '127.0.0.1' is no ADDRESS:PORT"},
        ConfigCase{"ListenName", "listen = localhost:80\n",
                   "/etc/s.ini:1: 'localhost:80' is no ADDRESS:PORT"},
        ConfigCase{"ListenBigPort", "listen = 127.0.0.1:65536\n",
                   "/etc/s.ini:1: '127.0.0.1:65536' is no ADDRESS:PORT"},
        ConfigCase{"EmptyTokenFile", "token_file =\n", "/etc/s.ini:1: token_file needs a path"},
        ConfigCase{"ScheduleAndAlerts",
                   "[schedule]\nrule = daily 07:00 power on A\nrule = Sat 08:00 codes C00 to A\n"
                   "time_zone = Europe/Berlin\nstate_file = s\n[alerts]\n"
                   "webhook = https://ntfy.example/topic\nwebhook = http://127.0.0.1:9/x\n"
                   "mail_to = a@b.example\nmail_to = c@d.example\nmail_from = p@b.example\n"
                   "sendmail = /usr/sbin/sendmail\njournal = no\nqueue_limit = 10\n"
                   "retry_ms = 100\nretry_most_ms = 1000\nno_answer_polls = 2\n"
                   "lamp_hours_above = 2500\n",
                   ""},
        ConfigCase{"RuleKeepsItsLine",
                   "[schedule]\n\nrule = daily 07:00 power on A\nrule = often\n",
                   "/etc/s.ini:4: a rule is 'DAYS HH:MM power on|power off NAME, NAME|all' or "
                   "'DAYS HH:MM codes CODE... to NAME, NAME|all'"},
        ConfigCase{"TimeZoneTwice", "[schedule]\ntime_zone = UTC\ntime_zone = UTC\n",
                   "/etc/s.ini:3: 'time_zone' is given twice"},
        ConfigCase{"UnknownTimeZone", "[schedule]\ntime_zone = Europe/Gotham\n",
                   "/etc/s.ini:2: 'Europe/Gotham' is no time zone this machine knows (such as "
                   "Europe/Berlin)"},
        ConfigCase{"WebhookNotHttp", "[alerts]\nwebhook = file:///etc/passwd\n",
                   "/etc/s.ini:2: 'file:///etc/passwd' is no http:// or https:// URL"},
        ConfigCase{"MailWithASecondRecipient", "[alerts]\nmail_to = a@b.example, c@d.example\n",
                   "/etc/s.ini:2: 'a@b.example, c@d.example' is no mail address"},
        ConfigCase{"JournalMaybe", "[alerts]\njournal = maybe\n",
                   "/etc/s.ini:2: journal must be yes or no, not 'maybe'"},
        ConfigCase{"NoAnswerPollsZero", "[alerts]\nno_answer_polls = 0\n",
                   "/etc/s.ini:2: no_answer_polls must be a whole number from 1 to 100000, not "
                   "'0'"},
        ConfigCase{"AlertKeyInService", "webhook = http://a.example/\n",
                   "/etc/s.ini:1: unknown key 'webhook' in [service]"},
        ConfigCase{"TlsCertificateWithoutKey", "tls_certificate = /c.pem\n",
                   "/etc/s.ini:1: tls_certificate is given without tls_key: HTTPS needs both"},
        ConfigCase{"TlsKeyWithoutCertificate", "poll_seconds = 5\ntls_key = k.pem\n",
                   "/etc/s.ini:2: tls_key is given without tls_certificate: HTTPS needs both"}),
    [](const auto& info) { return std::string(info.param.name); });

// The [mqtt] section, read by the same reader.
INSTANTIATE_TEST_SUITE_P(
    MqttSection, ServiceConfigTest,
    ::testing::Values(
        ConfigCase{"NoSectionIsOff", "", ""},
        ConfigCase{"AllKeys",
                   "[mqtt]\nhost = broker.campus\nport = 8883\ntls_ca_file = ca.pem\n"
                   "user = east\npassword_file = mqtt.pw\nclient_id = east-1\nsite = east\n"
                   "prefix = campus/east/\ndiscovery = on\ndiscovery_prefix = ha\n",
                   ""},
        ConfigCase{"HostWithoutSite", "[mqtt]\nhost = b\n",
                   "/etc/s.ini: [mqtt] names a host but no site (site = BUILDING)"},
        ConfigCase{"SiteWithSlash", "[mqtt]\nhost = b\nsite = a/b\n",
                   "/etc/s.ini:3: site must be 1 to 64 letters, digits, '-', '_' or '.', "
                   "not 'a/b'"},
        ConfigCase{"SiteWithWildcard", "[mqtt]\nsite = #\n",
                   "/etc/s.ini:2: site must be 1 to 64 letters, digits, '-', '_' or '.', "
                   "not '#'"},
        ConfigCase{"PrefixWithWildcard", "[mqtt]\nprefix = a/+/\n",
                   "/etc/s.ini:2: prefix 'a/+/' may hold no '+', '#' or NUL, nor start with "
                   "'$' or '/'"},
        ConfigCase{"PrefixOfTheBroker", "[mqtt]\nprefix = $SYS/\n",
                   "/etc/s.ini:2: prefix '$SYS/' may hold no '+', '#' or NUL, nor start with "
                   "'$' or '/'"},
        ConfigCase{"PortZero", "[mqtt]\nport = 0\n",
                   "/etc/s.ini:2: port must be a number from 1 to 65535, not '0'"},
        ConfigCase{"DiscoveryYes", "[mqtt]\ndiscovery = yes\n",
                   "/etc/s.ini:2: discovery must be on or off, not 'yes'"},
        ConfigCase{"TwoPasswords",
                   "[mqtt]\nhost = b\nsite = s\nuser = u\npassword = p\npassword_file = f\n",
                   "/etc/s.ini: [mqtt] has both password and password_file: keep one"},
        ConfigCase{"PasswordWithoutUser", "[mqtt]\nhost = b\nsite = s\npassword = p\n",
                   "/etc/s.ini: [mqtt] has a password but no user"},
        ConfigCase{"UnknownKey", "[mqtt]\nqos = 2\n", "/etc/s.ini:2: unknown key 'qos' in [mqtt]"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ServiceConfigDefaults, LocalhostUnlessToldAndPathsBesideTheFile) {
    const ConfigRead none = parseServiceConfig("", QStringLiteral("/etc/p/s.ini"));
    EXPECT_EQ(none.config.address, QHostAddress(QHostAddress::LocalHost));
    EXPECT_EQ(none.config.port, kDefaultServicePort);
    const ConfigRead set = parseServiceConfig(
        "listen = [::1]:81\ntoken_file = t\nlog_file = /var/l\n", QStringLiteral("/etc/p/s.ini"));
    EXPECT_EQ(set.config.address, QHostAddress(QHostAddress::LocalHostIPv6));
    EXPECT_EQ(set.config.port, 81);
    EXPECT_EQ(set.config.tokenFile, QStringLiteral("/etc/p/t"));
    EXPECT_EQ(set.config.logFile, QStringLiteral("/var/l"));
}

TEST(ServiceConfigFile, AMissingFileIsAProblem) {
    const ConfigRead read = readServiceConfig(QStringLiteral("/nonexistent/s.ini"));
    ASSERT_EQ(read.problems.size(), 1U);
    EXPECT_TRUE(read.problems[0].startsWith(QStringLiteral("/nonexistent/s.ini: ")));
}

struct TokenLineCase {
    const char* name;
    const char* line;
    const char* problem;  // after "FILE:1: "; empty when the line is a token
};

class TokenLineTest : public ::testing::TestWithParam<TokenLineCase> {};

TEST_P(TokenLineTest, ReadsATokenOrSaysWhatIsWrong) {
    const TokenRead read = TokenStore::parse(GetParam().line, QStringLiteral("t"));
    if (*GetParam().problem == '\0') {
        EXPECT_EQ(read.tokens.size(), 1U);
        EXPECT_TRUE(read.problems.empty());
    } else {
        EXPECT_TRUE(read.tokens.empty());
        ASSERT_EQ(read.problems.size(), 1U);
        EXPECT_EQ(read.problems[0].toStdString(), std::string("t:1: ") + GetParam().problem);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TokenLineTest,
    ::testing::Values(
        TokenLineCase{
            "Good",
            "desk\toperator\taaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", ""},
        TokenLineCase{"TwoFields", "desk\toperator", "expected name, role and digest"},
        TokenLineCase{
            "BadName",
            "a b\tviewer\taaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa",
            "'a b' is no token name"},
        TokenLineCase{
            "BadRole",
            "desk\tadmin\taaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa",
            "the role is viewer or operator"},
        TokenLineCase{"ShortDigest", "desk\tviewer\taaaa", "the digest is no SHA-256 in hex"},
        TokenLineCase{
            "NotHex",
            "desk\tviewer\tzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz",
            "the digest is no SHA-256 in hex"}),
    [](const auto& info) { return std::string(info.param.name); });

class TokenFileTest : public ::testing::Test {
protected:
    QString path() const { return dir_.filePath(QStringLiteral("tokens")); }
    QTemporaryDir dir_;
};

TEST_F(TokenFileTest, ATokenIsShownOnceAndOnlyItsDigestIsKeptReadableByItsOwner) {
    QByteArray op;
    QByteArray viewer;
    ASSERT_FALSE(TokenStore::add(path(), QStringLiteral("desk"), Role::Operator, op));
    ASSERT_FALSE(TokenStore::add(path(), QStringLiteral("phone"), Role::Viewer, viewer));
    EXPECT_GE(op.size(), 43);  // 32 random bytes
    EXPECT_NE(op, viewer);
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600U);
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(file.readAll().contains(op));

    const TokenRead read = TokenStore::read(path());
    ASSERT_TRUE(read.problems.empty());
    TokenStore store;
    store.setTokens(read.tokens);
    struct Check {
        QByteArray presented;
        std::optional<QString> name;
    };
    const Check checks[]{{op, QStringLiteral("desk")},
                         {viewer, QStringLiteral("phone")},
                         {op.left(op.size() - 1), std::nullopt},
                         {op + 'x', std::nullopt},
                         {QByteArray(), std::nullopt}};
    for (const Check& c : checks) {
        const std::optional<Token> found = store.check(c.presented);
        EXPECT_EQ(found ? std::optional<QString>(found->name) : std::nullopt, c.name)
            << c.presented.toStdString();
    }
    EXPECT_EQ(store.check(op)->role, Role::Operator);
    EXPECT_EQ(store.check(viewer)->role, Role::Viewer);
}

TEST_F(TokenFileTest, ANameTakenOrMalformedAndAFileOthersReadAreRefused) {
    QByteArray token;
    ASSERT_FALSE(TokenStore::add(path(), QStringLiteral("desk"), Role::Viewer, token));
    EXPECT_TRUE(TokenStore::add(path(), QStringLiteral("desk"), Role::Operator, token));
    EXPECT_TRUE(TokenStore::add(path(), QStringLiteral("a\tb"), Role::Operator, token));
    EXPECT_TRUE(TokenStore::add(path(), QString(65, QLatin1Char('a')), Role::Operator, token));
    QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::ReadOther);
    EXPECT_FALSE(TokenStore::read(path()).problems.empty());
}

TEST(FailureThrottle, TenBadTokensInAMinuteBlockTheAddressForAMinute) {
    using namespace std::chrono_literals;
    FailureThrottle::Clock::time_point now{};
    FailureThrottle throttle([&] { return now; });
    const QHostAddress a(QStringLiteral("10.0.0.1"));
    const QHostAddress b(QStringLiteral("10.0.0.2"));
    struct Step {
        std::chrono::seconds advance;
        int failures;  // by `a`
        bool blocked;
    };
    const Step steps[]{
        {0s, 9, false},   // nine is not yet ten
        {61s, 1, false},  // the first nine have left the window
        {0s, 8, false},   // nine within the minute
        {1s, 1, true},    // the tenth
        {59s, 0, true},   // still blocked
        {1s, 0, false},   // a minute on
    };
    for (const Step& s : steps) {
        now += s.advance;
        for (int i = 0; i < s.failures; ++i) throttle.failed(a);
        EXPECT_EQ(throttle.blocked(a), s.blocked) << "at " << now.time_since_epoch().count();
        EXPECT_FALSE(throttle.blocked(b));
    }
}

TEST(FailureThrottle, AFloodOfAddressesKeepsTheTableBounded) {
    FailureThrottle throttle;
    for (quint32 i = 0; i < 3 * FailureThrottle::kAddresses; ++i)
        throttle.failed(QHostAddress(0x0A000000U + i));
    EXPECT_LE(throttle.tracked(), static_cast<std::size_t>(FailureThrottle::kAddresses));
}

}  // namespace
}  // namespace panel
