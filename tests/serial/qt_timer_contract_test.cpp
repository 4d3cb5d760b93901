// The Qt timer adapter against the scripted timer contract, on real time: ticks compared by order.
#include "serial/qt_timer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <map>
#include <memory>

#include "tests/support/timer_contract_cases.h"

namespace panel {
namespace test::timer_contract {
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}
}  // namespace test::timer_contract

namespace {

using namespace std::chrono_literals;

using namespace test::timer_contract;

class QtTimerContractTest : public ::testing::TestWithParam<Case> {};

TEST_P(QtTimerContractTest, TicksInTheScriptedOrder) {
    const Case& c = GetParam();
    std::map<char, std::unique_ptr<QtTimer>> timers;
    std::map<char, int> tickCounts;
    std::string ticks;
    std::vector<std::string> failures;

    for (const char* name = kTimerNames; *name; ++name) {
        const char id = *name;
        timers[id] = std::make_unique<QtTimer>();
        timers[id]->setTickHandler([&, id] {
            ticks += id;
            const int tick = ++tickCounts[id];
            for (const Step& step : c.steps)
                if (step.onTick == id && step.tick == tick)
                    apply(step, *timers.at(step.timer), failures);
        });
    }

    std::map<int, std::vector<const Step*>> timed;
    for (const Step& step : c.steps)
        if (!step.onTick) timed[step.at].push_back(&step);

    QObject context;
    QEventLoop loop;
    // Scheduled first, so that a step and the end keep their places among the timers under test
    // even when the process is held up: Qt delivers overdue timers in the order they fell due.
    for (const auto& [at, steps] : timed) {
        if (at == 0) continue;
        QTimer::singleShot(at, Qt::PreciseTimer, &context, [&, steps = steps] {
            for (const Step* step : steps) apply(*step, *timers.at(step->timer), failures);
        });
    }
    QTimer::singleShot(c.endAt, Qt::PreciseTimer, &context, [&] {
        for (auto& [id, timer] : timers) timer->setEnabled(false);
        loop.quit();
    });
    if (timed.count(0))
        for (const Step* step : timed.at(0)) apply(*step, *timers.at(step->timer), failures);
    loop.exec();

    EXPECT_EQ(ticks, c.ticks);
    EXPECT_THAT(failures, ::testing::IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Contract, QtTimerContractTest, ::testing::ValuesIn(cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(QtTimerTest, TickDueDuringAHandlerComesAfterItReturns) {
    QtTimer slow;
    QtTimer quick;
    std::string order;
    QEventLoop loop;
    slow.setInterval(50ms);
    quick.setInterval(100ms);
    slow.setTickHandler([&] {
        slow.setEnabled(false);
        order += "(";
        QElapsedTimer busy;
        busy.start();
        while (busy.elapsed() < 150) {
        }  // `quick` falls due meanwhile
        order += ")";
    });
    quick.setTickHandler([&] {
        quick.setEnabled(false);
        order += "q";
        loop.quit();
    });
    slow.setEnabled(true);
    quick.setEnabled(true);
    QTimer::singleShot(2000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(order, "()q");
}

}  // namespace
}  // namespace panel
