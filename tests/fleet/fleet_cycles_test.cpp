// The fleet's poll cycles over lines of the test's own: each cycle ends once, when all of its
// lines have finished, however polls overlap; and a query left unanswered says so in its cell.
#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>
#include <algorithm>
#include <map>
#include <memory>

#include "fleet/fleet.h"
#include "testkit/pseudo_terminal.h"
#include "ui/fleet_table_model.h"

namespace panel {
namespace {

constexpr int kCyclePatienceMs = 10000;

// The far end of a pseudo-terminal that answers the codes it knows and ignores the rest.
class ScriptedProjector {
public:
    explicit ScriptedProjector(std::map<std::string, std::string> answers)
        : answers_(std::move(answers)) {
        QObject::connect(&poll_, &QTimer::timeout, [this] { answer(); });
        poll_.start(10);
    }
    bool ok() const { return line_.ok(); }
    QString path() const { return line_.path(); }

private:
    void answer() {
        heard_ += line_.drain(std::chrono::milliseconds(2));
        for (std::size_t end; (end = heard_.find('\r')) != std::string::npos;) {
            const auto known = answers_.find(heard_.substr(0, end));
            if (known != answers_.end()) line_.write(known->second);
            heard_.erase(0, end + 1);
        }
    }

    test::PseudoTerminal line_;
    std::map<std::string, std::string> answers_;
    std::string heard_;
    QTimer poll_;
};

bool idle(const Fleet& fleet) {
    return std::none_of(fleet.rows().begin(), fleet.rows().end(),
                        [](const ProjectorRow& row) { return row.busy; });
}

enum class Again { AtOnce, WhileTheSlowLinePolls, AfterTheCycle };

struct CycleCase {
    const char* name;
    Again again;  // when "Poll now" is pressed a second time
    int cycles;
};

class FleetCycleTest : public ::testing::TestWithParam<CycleCase> {};

TEST_P(FleetCycleTest, EachCycleEndsOnceWhenAllItsLinesHaveFinished) {
    ScriptedProjector silent({});  // every query waits out its reply window
    ASSERT_TRUE(silent.ok());
    Fleet fleet({{"Slow", silent.path(), 19200, 1},
                 {"Gone1", "/nonexistent/projector1", 19200, 2},
                 {"Gone2", "/nonexistent/projector2", 19200, 3}});
    std::vector<bool> slowBusyAtEnd;
    fleet.cycleFinished = [&](std::chrono::milliseconds) {
        slowBusyAtEnd.push_back(fleet.rows()[0].busy);
    };
    fleet.pollNow();
    const auto gonesDone = [&] {
        return fleet.rows()[1].reading == Reading::PortFailed && !fleet.rows()[1].busy &&
               fleet.rows()[2].reading == Reading::PortFailed && !fleet.rows()[2].busy;
    };
    switch (GetParam().again) {
        case Again::AtOnce:
            break;
        case Again::WhileTheSlowLinePolls:
            ASSERT_TRUE(QTest::qWaitFor(gonesDone, kCyclePatienceMs));
            ASSERT_TRUE(fleet.rows()[0].busy);
            break;
        case Again::AfterTheCycle:
            ASSERT_TRUE(QTest::qWaitFor([&] { return !slowBusyAtEnd.empty(); }, kCyclePatienceMs));
            break;
    }
    fleet.pollNow();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return static_cast<int>(slowBusyAtEnd.size()) >= GetParam().cycles && idle(fleet); },
        kCyclePatienceMs));
    QTest::qWait(200);
    EXPECT_EQ(static_cast<int>(slowBusyAtEnd.size()), GetParam().cycles);
    EXPECT_FALSE(slowBusyAtEnd.back()) << "the last cycle ended before the slow line";
}

INSTANTIATE_TEST_SUITE_P(
    Table, FleetCycleTest,
    ::testing::Values(CycleCase{"AgainBeforeAnyLineStarts", Again::AtOnce, 1},
                      CycleCase{"AgainWhileTheSlowLinePolls", Again::WhileTheSlowLinePolls, 2},
                      CycleCase{"AgainAfterTheCycle", Again::AfterTheCycle, 2}),
    [](const auto& info) { return std::string(info.param.name); });

struct PartialCase {
    const char* name;
    std::map<std::string, std::string> answers;
    const char* state;
    const char* input;
    const char* lamp;  // the start of the cell
};

class FleetPartialAnswerTest : public ::testing::TestWithParam<PartialCase> {};

TEST_P(FleetPartialAnswerTest, AQueryWithoutAnAnswerSaysSoInItsCell) {
    ScriptedProjector projector(GetParam().answers);
    ASSERT_TRUE(projector.ok());
    Fleet fleet({{"P", projector.path(), 19200, 1}});
    FleetTableModel model(fleet);
    bool ended = false;
    fleet.cycleFinished = [&](std::chrono::milliseconds) { ended = true; };
    fleet.pollNow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended; }, kCyclePatienceMs));
    EXPECT_EQ(fleet.rows()[0].reading, Reading::Answered);
    const auto cell = [&](int column) { return model.index(0, column).data().toString(); };
    EXPECT_EQ(cell(FleetTableModel::State), QString::fromUtf8(GetParam().state));
    EXPECT_EQ(cell(FleetTableModel::Input), QString::fromUtf8(GetParam().input));
    EXPECT_TRUE(cell(FleetTableModel::LampHours).startsWith(QString::fromUtf8(GetParam().lamp)))
        << cell(FleetTableModel::LampHours).toStdString();
}

const std::map<std::string, std::string> kAll{{"CR0", "80\r"}, {"CR1", "1\r"}, {"CR3", "01234\r"}};

std::map<std::string, std::string> allBut(const char* code,
                                          std::map<std::string, std::string> with = {}) {
    std::map<std::string, std::string> answers = kAll;
    answers.erase(code);
    answers.insert(with.begin(), with.end());
    return answers;
}

INSTANTIATE_TEST_SUITE_P(
    Table, FleetPartialAnswerTest,
    ::testing::Values(
        PartialCase{"EveryQueryAnswered", kAll, "Stand by", "Computer 1", "1234"},
        PartialCase{"StatusUnanswered", allBut("CR0"), "no answer", "Computer 1", "1234"},
        PartialCase{"InputUnanswered", allBut("CR1"), "Stand by", "no answer", "1234"},
        PartialCase{"LampUnanswered", allBut("CR3"), "Stand by", "Computer 1", "no answer"},
        PartialCase{"LampGarbled", allBut("CR3", {{"CR3", "12x4\r"}}), "Stand by", "Computer 1",
                    "unknown answer:"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace panel
