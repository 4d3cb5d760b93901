// The operator's reach as the window driver judges it: a control in view and uncovered, one below
// the window's edge, one covered by the port selector, one hidden.
#include "testkit/window_driver.h"

#include <chrono>

#include "testkit/controls.h"
#include "tests/ui/form_fixture.h"

namespace panel::test {
namespace {

enum class Stage { AtStart, FullPanel, SelectorOpen };

struct ReachCase {
    const char* name;
    friend void PrintTo(const ReachCase& c, std::ostream* os) { *os << c.name; }
    Stage stage;
    const char* control;
    bool reachable;
    bool inWindow;
};

class Driver : public WindowDriver {
public:
    explicit Driver(Form1& form) { drive(form, std::chrono::seconds(5)); }
};

class WindowDriverReachTest : public FormTest, public ::testing::WithParamInterface<ReachCase> {};

TEST_P(WindowDriverReachTest, TellsWhatAClickWouldReach) {
    Driver driver(*form);
    if (GetParam().stage != Stage::AtStart) {
        ASSERT_TRUE(driver.openFullPanel());
    }
    if (GetParam().stage == Stage::SelectorOpen) driver.click(controls::kPortSelector);
    EXPECT_EQ(driver.reachable(GetParam().control), GetParam().reachable);
    EXPECT_EQ(driver.inWindow(GetParam().control), GetParam().inWindow);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WindowDriverReachTest,
    ::testing::Values(
        ReachCase{"PowerOnAtStart", Stage::AtStart, controls::kPowerOn, true, true},
        ReachCase{"SendBelowTheEdgeAtStart", Stage::AtStart, controls::kSend, false, false},
        ReachCase{"SendInTheFullPanel", Stage::FullPanel, controls::kSend, true, true},
        ReachCase{"HiddenOption", Stage::FullPanel, controls::kCom1, false, true},
        ReachCase{"PortButtonUnderItsSelector", Stage::SelectorOpen, controls::kPortSelector, false,
                  true},
        ReachCase{"OptionOnTheSelector", Stage::SelectorOpen, controls::kCom2, true, true},
        ReachCase{"NoSuchControl", Stage::FullPanel, controls::kNoSuchControl, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace panel::test
