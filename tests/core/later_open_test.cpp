// Opens that finish later, as a network line's do: start-up opens once, and every selection is
// answered when its open settles.
#include "testkit/controls.h"
#include "tests/core/controller_fixture.h"

namespace panel::test {
namespace {

using Log = std::vector<std::string>;

class LaterOpenTest : public ControllerFixture {
protected:
    void SetUp() override { port.openLater(); }
};

struct SettleCase {
    const char* name;
    bool startUp;  // else the operator selects COM2 from an open COM1
    PortResult outcome;
    Log log;
    std::vector<std::string> modal;
    int portAfter;
};

class SettleTest : public LaterOpenTest, public ::testing::WithParamInterface<SettleCase> {};

TEST_P(SettleTest, TheSelectionIsAnsweredWhenTheOpenSettles) {
    const SettleCase& c = GetParam();
    controller.load();
    if (!c.startUp) {
        port.settleOpen();
        port.clearLog();
        click(controls::kPortSelector);
        click(controls::kCom2);
    }
    EXPECT_TRUE(port.isOpening());
    EXPECT_TRUE(view.modalFailures.empty()) << "nothing is said before the open settles";
    port.settleOpen(c.outcome);
    EXPECT_EQ(port.log(), c.log);
    EXPECT_EQ(view.modalFailures, c.modal);
    EXPECT_EQ(port.isOpen(), !c.outcome);
    EXPECT_EQ(port.commPort(), c.portAfter);
    EXPECT_EQ(view.frame8Visible, !c.startUp && c.outcome.has_value());
    EXPECT_TRUE(view.problems.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, SettleTest,
    ::testing::Values(
        // Start-up does not close and reopen a line still connecting.
        SettleCase{"StartUpOpens",
                   true,
                   std::nullopt,
                   Log{"port 1", "settings 19200,N,8,1", "open"},
                   {},
                   1},
        SettleCase{"StartUpFails",
                   true,
                   PortError{"url: the connection was refused"},
                   Log{"port 1", "settings 19200,N,8,1", "open", "port 2"},
                   {"url: the connection was refused"},
                   2},
        SettleCase{"SelectionOpens", false, std::nullopt, Log{"close", "port 2", "open"}, {}, 2},
        SettleCase{"SelectionFails",
                   false,
                   PortError{"url: no answer within 3 s"},
                   Log{"close", "port 2", "open", "port 1"},
                   {"url: no answer within 3 s"},
                   1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LaterOpenTest, AClickWhileConnectingIsAClickOnAClosedLine) {
    controller.load();
    click(controls::kPowerOn);
    EXPECT_TRUE(port.writes().empty());
    EXPECT_EQ(view.problems.size(), 1u);
    EXPECT_TRUE(port.isOpening()) << "the click does not cancel the open";
    port.settleOpen();
    port.clearLog();
    click(controls::kPowerOn);
    EXPECT_EQ(port.writes(), (Log{"C00\r"})) << "only the click after the open is sent";
}

TEST_F(LaterOpenTest, ASelectionWhileConnectingCancelsTheFirstOpen) {
    controller.load();
    port.clearLog();
    click(controls::kCom2);
    EXPECT_EQ(port.log(), (Log{"close", "port 2", "open"}));
    port.settleOpen();
    EXPECT_TRUE(view.modalFailures.empty());
    EXPECT_EQ(port.commPort(), 2);
}

TEST_F(LaterOpenTest, ALineReopenedBySelfIsToldAgainWhenItIsLostAgain) {
    controller.load();
    port.settleOpen();
    for (int loss = 0; loss < 2; ++loss) {
        port.hangUp(PortError{"the device server closed the connection"});
        port.reopenBySelf();
    }
    EXPECT_EQ(view.problems.size(), 2u);
    EXPECT_TRUE(view.modalFailures.empty()) << "a line back by itself needs no answer";
}

TEST_F(LaterOpenTest, AReopenThatMeetsANewObstacleIsToldWithoutABox) {
    controller.load();
    port.settleOpen();
    port.hangUp(PortError{"The device was disconnected"});
    port.reopenBySelf(PortError{"Permission denied"});
    port.reopenBySelf(PortError{"/dev/fake1: busy"});
    EXPECT_EQ(view.problems,
              (std::vector<std::string>{"/dev/fake1: The device was disconnected",
                                        "/dev/fake1: Permission denied", "/dev/fake1: busy"}));
    EXPECT_TRUE(view.modalFailures.empty());
}

}  // namespace
}  // namespace panel::test
