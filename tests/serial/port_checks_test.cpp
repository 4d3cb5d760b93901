// The answers both port adapters give alike: the port numbers they take and when.
#include "serial/port_checks.h"

#include <gtest/gtest.h>

#include <string>

namespace panel {
namespace {

struct CommPortCase {
    const char* name;
    friend void PrintTo(const CommPortCase& c, std::ostream* os) { *os << c.name; }
    int port;
    bool open;
    const char* refusal;  // nullptr: taken
};

class CommPortCheckTest : public ::testing::TestWithParam<CommPortCase> {};

TEST_P(CommPortCheckTest, TakesOneOrTwoWhileClosed) {
    const PortResult result = CheckCommPort(GetParam().port, GetParam().open);
    if (!GetParam().refusal) {
        EXPECT_FALSE(result) << result->description;
        return;
    }
    ASSERT_TRUE(result);
    EXPECT_EQ(result->description, GetParam().refusal);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommPortCheckTest,
    ::testing::Values(CommPortCase{"OneClosed", 1, false, nullptr},
                      CommPortCase{"TwoClosed", 2, false, nullptr},
                      CommPortCase{"ZeroClosed", 0, false, "There is no port 0 (only 1 and 2)"},
                      CommPortCase{"ThreeOpen", 3, true, "There is no port 3 (only 1 and 2)"},
                      CommPortCase{"TwoOpen", 2, true,
                                   "The port number cannot change while it is open"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace panel
