// The fleet takes each answer once it has ended, against simulators on pseudo-terminals: a poll of
// a projector answering at once is over long before three reply windows, a silent one still takes
// them; and an exchange left as the shell leaves it waits out its windows.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>

#include "core/catalogue.h"
#include "fleet/fleet.h"
#include "tests/fleet/sim_bank.h"

namespace panel {
namespace {

constexpr int kEndedPatienceMs = 10000;
// The poll's three queries, each with the window a click of its button waits.
constexpr auto kThreeWindows = 3 * kLayoutPair.replyWindow;

struct EndedPollCase {
    const char* name;
    friend void PrintTo(const EndedPollCase& c, std::ostream* os) { *os << c.name; }
    std::vector<std::string> simOptions;
    Reading reading;
    bool withinTheWindows;  // the poll ends before three reply windows have passed
    const char* status = "";
    std::optional<int> lampHours = {};
};

class FleetEndedAnswerTest : public ::testing::TestWithParam<EndedPollCase> {};

TEST_P(FleetEndedAnswerTest, APollEndsWithItsLastAnswer) {
    const EndedPollCase& c = GetParam();
    test::SimBank sims(1, c.simOptions);
    ASSERT_TRUE(sims.ok());
    Fleet fleet({{"P", sims.link(0), 19200, 1}});
    std::optional<std::chrono::milliseconds> wall;
    fleet.cycleFinished = [&](std::chrono::milliseconds ms) { wall = ms; };
    fleet.pollNow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return wall.has_value(); }, kEndedPatienceMs));
    const ProjectorRow& row = fleet.rows()[0];
    EXPECT_EQ(row.reading, c.reading);
    EXPECT_EQ(*wall < kThreeWindows, c.withinTheWindows) << wall->count() << " ms";
    if (c.reading != Reading::Answered) return;
    EXPECT_EQ(row.status.toStdString(), c.status);
    EXPECT_EQ(row.lampHours, c.lampHours);
    EXPECT_EQ(row.input, QStringLiteral("Computer 1"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, FleetEndedAnswerTest,
    ::testing::Values(
        EndedPollCase{"AnsweringAtOnce", {}, Reading::Answered, true, "Stand by", 1234},
        // Each answer in two pieces 20 ms apart: read whole, at its end.
        EndedPollCase{"AnswersSplit", {"--split"}, Reading::Answered, true, "Stand by", 1234},
        EndedPollCase{"Silent", {"--no-reply"}, Reading::NoAnswer, false}),
    [](const auto& info) { return std::string(info.param.name); });

struct EndedExchangeCase {
    const char* name;
    friend void PrintTo(const EndedExchangeCase& c, std::ostream* os) { *os << c.name; }
    bool completeWhenEnded;
    bool withinTheWindow;
};

class ExchangeWindowTest : public ::testing::TestWithParam<EndedExchangeCase> {};

// The shell's projectors go through the same exchange with the default request.
TEST_P(ExchangeWindowTest, TheShellsExchangeWaitsItsWindow) {
    test::SimBank sims(1);
    ASSERT_TRUE(sims.ok());
    ExchangeRequest request{sims.link(0), 19200, {"CR0"}, {}, nullptr};
    request.completeWhenEnded = GetParam().completeWhenEnded;
    std::optional<ExchangeResult> result;
    QElapsedTimer clock;
    clock.start();
    ProjectorExchange exchange(std::move(request), [&](const ExchangeResult& r) { result = r; });
    exchange.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, kEndedPatienceMs));
    const auto took = std::chrono::milliseconds(clock.elapsed());
    ASSERT_EQ(result->end, ExchangeEnd::AllAnswered);
    ASSERT_EQ(result->answers.size(), 1U);
    EXPECT_EQ(result->answers[0].decoded, " Stand by");
    EXPECT_EQ(took < kLayoutPair.replyWindow, GetParam().withinTheWindow) << took.count() << " ms";
}

INSTANTIATE_TEST_SUITE_P(Table, ExchangeWindowTest,
                         ::testing::Values(EndedExchangeCase{"AsTheShellLeavesIt", false, false},
                                           EndedExchangeCase{"AsTheFleetAsks", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace panel
