// Device-server URLs: the forms accepted, and a clear reason for each kind of malformed one.
#include "serial/port_url.h"

#include <gtest/gtest.h>

namespace panel {
namespace {

struct UrlCase {
    const char* name;
    friend void PrintTo(const UrlCase& c, std::ostream* os) { *os << c.name; }
    const char* text;
    PortUrl::Scheme scheme;
    const char* host;
    int port;
};

class GoodUrlTest : public ::testing::TestWithParam<UrlCase> {};

TEST_P(GoodUrlTest, GivesSchemeHostAndPort) {
    const UrlCase& c = GetParam();
    EXPECT_TRUE(isPortUrl(QString::fromUtf8(c.text)));
    const ParsedPortUrl parsed = parsePortUrl(QString::fromUtf8(c.text));
    ASSERT_TRUE(parsed.url) << parsed.error.toStdString();
    EXPECT_EQ(parsed.url->scheme, c.scheme);
    EXPECT_EQ(parsed.url->host.toStdString(), c.host);
    EXPECT_EQ(parsed.url->port, c.port);
}

using enum PortUrl::Scheme;
INSTANTIATE_TEST_SUITE_P(
    Table, GoodUrlTest,
    ::testing::Values(UrlCase{"Name", "rfc2217://hall-a:4001", Rfc2217, "hall-a", 4001},
                      UrlCase{"Fqdn", "socket://ser2net.lab.example:1", Socket,
                              "ser2net.lab.example", 1},
                      UrlCase{"IPv4", "socket://127.0.0.5:65535", Socket, "127.0.0.5", 65535},
                      UrlCase{"IPv6", "rfc2217://[::1]:4001", Rfc2217, "::1", 4001},
                      UrlCase{"IPv6Long", "socket://[fe80::1:2]:80", Socket, "fe80::1:2", 80},
                      UrlCase{"SchemeInCapitals", "RFC2217://h:7", Rfc2217, "h", 7},
                      UrlCase{"LeadingZeros", "socket://h:0080", Socket, "h", 80}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadUrlCase {
    const char* name;
    friend void PrintTo(const BadUrlCase& c, std::ostream* os) { *os << c.name; }
    const char* text;
    const char* error;
};

class BadUrlTest : public ::testing::TestWithParam<BadUrlCase> {};

TEST_P(BadUrlTest, IsRefusedSayingWhy) {
    const ParsedPortUrl parsed = parsePortUrl(QString::fromUtf8(GetParam().text));
    EXPECT_FALSE(parsed.url);
    EXPECT_EQ(parsed.error.toStdString(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadUrlTest,
    ::testing::Values(
        BadUrlCase{"NoPort", "rfc2217://hall-a", "no port (HOST:PORT)"},
        BadUrlCase{"EmptyPort", "socket://hall-a:", "no port (HOST:PORT)"},
        BadUrlCase{"PortZero", "socket://hall-a:0", "port 0 is not between 1 and 65535"},
        BadUrlCase{"PortTooLarge", "socket://hall-a:65536",
                   "port 65536 is not between 1 and 65535"},
        BadUrlCase{"PortHuge", "socket://h:99999999999999999999",
                   "port 99999999999999999999 is not between 1 and 65535"},
        BadUrlCase{"UnknownScheme", "telnet://hall-a:23",
                   "unknown scheme 'telnet' (use rfc2217:// or socket://)"},
        BadUrlCase{"PathAfterPort", "socket://hall-a:4001/tty", "unexpected '/tty' after the port"},
        BadUrlCase{"SpaceAfterPort", "socket://hall-a:4001 ", "unexpected ' ' after the port"},
        BadUrlCase{"NoHost", "socket://:4001", "no host"},
        BadUrlCase{"BareIPv6", "socket://::1:4001", "no host"},
        BadUrlCase{"UnclosedIPv6", "socket://[::1:4001", "the IPv6 address has no closing ']'"},
        BadUrlCase{"NotIPv6", "socket://[hall-a]:4001", "'hall-a' is not an IPv6 address"},
        BadUrlCase{"IPv6WithoutPort", "socket://[::1]", "no port (HOST:PORT)"},
        BadUrlCase{"UserPart", "socket://me@hall-a:4001", "'me@hall-a' is not a host name"},
        BadUrlCase{"NotAUrl", "/dev/ttyS0", "not a URL (rfc2217://HOST:PORT)"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace panel
