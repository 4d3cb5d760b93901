// The timer contract, run on the fake timers of the virtual clock (the Qt adapter runs the same
// cases).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "testkit/virtual_clock.h"
#include "tests/support/timer_contract_cases.h"

namespace panel::test {
namespace timer_contract {
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}
}  // namespace timer_contract

namespace {

using timer_contract::Case;
using timer_contract::Step;

class FakeTimerContract : public testing::TestWithParam<Case> {};

TEST_P(FakeTimerContract, TicksInTheExpectedOrder) {
    const Case& c = GetParam();
    VirtualClock clock;
    FakeTimer* timers[] = {&clock.makeTimer("A"), &clock.makeTimer("B"), &clock.makeTimer("C")};
    auto timerOf = [&](char name) -> Timer& { return *timers[name - 'A']; };

    std::string ticks;
    std::vector<std::string> failures;
    std::map<char, int> count;
    for (char name : {'A', 'B', 'C'}) {
        timerOf(name).setTickHandler([&, name] {
            ticks += name;
            const int n = ++count[name];
            for (const Step& s : c.steps) {
                if (s.onTick == name && s.tick == n)
                    timer_contract::apply(s, timerOf(s.timer), failures);
            }
        });
    }

    std::vector<Step> timed;
    std::copy_if(c.steps.begin(), c.steps.end(), std::back_inserter(timed),
                 [](const Step& s) { return s.onTick == 0; });
    std::stable_sort(timed.begin(), timed.end(),
                     [](const Step& a, const Step& b) { return a.at < b.at; });
    for (const Step& s : timed) {
        clock.advance(std::chrono::milliseconds{s.at} - clock.now());
        timer_contract::apply(s, timerOf(s.timer), failures);
    }
    clock.advance(std::chrono::milliseconds{c.endAt} - clock.now());

    EXPECT_EQ(ticks, c.ticks);
    EXPECT_TRUE(failures.empty()) << failures.front();
}

INSTANTIATE_TEST_SUITE_P(Cases, FakeTimerContract, testing::ValuesIn(timer_contract::cases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace panel::test
