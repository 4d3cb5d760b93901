// What ser2net does that the network port allows for: its "in use" refusal, found in what is
// still unread or already taken, and a refusal soon after our own close.
#include "serial/ser2net_quirks.h"

#include <gtest/gtest.h>

#include <string>

namespace panel {
namespace {

struct ServerClosedCase {
    const char* name;
    friend void PrintTo(const ServerClosedCase& c, std::ostream* os) { *os << c.name; }
    const char* unread;
    const char* taken;
    bool inUse;
};

class Ser2netClosedTest : public ::testing::TestWithParam<ServerClosedCase> {};

TEST_P(Ser2netClosedTest, SaysInUseOnlyWhenTheServerWroteIt) {
    const std::string why = Ser2netQuirks::closedByServer(GetParam().unread, GetParam().taken);
    EXPECT_EQ(why, GetParam().inUse
                       ? "the device server closed the connection: already in use by another client"
                       : "the device server closed the connection");
}

INSTANTIATE_TEST_SUITE_P(
    Table, Ser2netClosedTest,
    ::testing::Values(ServerClosedCase{"NothingSaid", "", "", false},
                      ServerClosedCase{"InUseUnread", "Port already in use\r\n", "", true},
                      ServerClosedCase{"InUseAlreadyTaken", "", "\r\nPort already in use", true},
                      ServerClosedCase{"OtherText", "Port closed\r\n", "data", false},
                      ServerClosedCase{"SplitBetweenTheTwo", "in use", "already ", false}),
    [](const auto& info) { return std::string(info.param.name); });

struct OwnCloseCase {
    const char* name;
    friend void PrintTo(const OwnCloseCase& c, std::ostream* os) { *os << c.name; }
    bool closedOwn;
    const char* why;
    bool askAgain;
};

class Ser2netOwnCloseTest : public ::testing::TestWithParam<OwnCloseCase> {};

TEST_P(Ser2netOwnCloseTest, AsksAgainOnlyForAnInUseRefusalRightAfterOurOwnClose) {
    Ser2netQuirks quirks;
    if (GetParam().closedOwn) quirks.closedOwnConnection();
    EXPECT_EQ(quirks.refusedForOwnClose(GetParam().why), GetParam().askAgain);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Ser2netOwnCloseTest,
    ::testing::Values(
        OwnCloseCase{"InUseAfterOwnClose", true,
                     "the device server closed the connection: already in use by another client",
                     true},
        OwnCloseCase{"InUseNeverClosed", false,
                     "the device server closed the connection: already in use by another client",
                     false},
        OwnCloseCase{"RefusedAfterOwnClose", true, "the connection was refused", false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace panel
