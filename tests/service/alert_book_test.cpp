// The alerts' conditions: each opens once when it starts, is cleared once when it ends, and opens
// again only after that.
#include <gtest/gtest.h>

#include <QJsonArray>

#include "service/alert_book.h"

namespace panel {
namespace {

// One exchange's end as the fleet shows it: the row busy, then not.
struct Step {
    Reading reading;
    const char* status = "";
    std::optional<int> lampHours = std::nullopt;
    const char* scheduleProblem = nullptr;  // a scheduled action's end instead of a poll
};

struct BookCase {
    const char* name;
    std::vector<Step> steps;
    std::vector<std::string> told;  // "KIND raised|cleared" in order
};

class AlertBookTest : public ::testing::TestWithParam<BookCase> {};

TEST_P(AlertBookTest, TellsEachStartAndClearOnce) {
    AlertBook book;
    book.setSettings(AlertSettings{3, 2000});
    std::vector<std::string> told;
    book.changed = [&](const AlertMessage& m) {
        EXPECT_EQ(m.projector, QStringLiteral("Hall A"));
        told.push_back(m.kind.toStdString() + (m.raised ? " raised" : " cleared"));
    };
    ProjectorRow row;
    row.projector.name = QStringLiteral("Hall A");
    for (const Step& s : GetParam().steps) {
        if (s.scheduleProblem) {
            book.scheduleOutcome(row.projector.name, QString::fromUtf8(s.scheduleProblem));
            continue;
        }
        row.busy = true;
        book.rowChanged(row);
        row.busy = false;
        row.reading = s.reading;
        row.status = QString::fromUtf8(s.status);
        row.lampHours = s.lampHours;
        book.rowChanged(row);
        book.rowChanged(row);  // a change that is no exchange's end is no reading
    }
    EXPECT_EQ(told, GetParam().told);
}

constexpr Reading kOk = Reading::Answered;
constexpr Reading kNone = Reading::NoAnswer;

INSTANTIATE_TEST_SUITE_P(
    Cases, AlertBookTest,
    ::testing::Values(
        BookCase{"NoAnswerAfterThreePolls",
                 {{kOk, " Power ON"}, {kNone}, {kNone}, {kNone}, {kNone}, {kOk, " Power ON"}},
                 {"no-answer raised", "no-answer cleared"}},
        BookCase{
            "TwoMissesAreNoAlert", {{kNone}, {kNone}, {kOk, " Power ON"}, {kNone}, {kNone}}, {}},
        BookCase{"InUseIsNoMiss",
                 {{kNone}, {kNone}, {Reading::InUse}, {Reading::PortFailed}},
                 {"no-answer raised"}},
        BookCase{"LampFaultOnceWhileItLasts",
                 {{kOk, " Cooling down & sutandby (All Lamp FAIL)"},
                  {kOk, " Cooling down & sutandby (All Lamp FAIL)"},
                  {kNone},
                  {kOk, " Cooling down (All Lamp FAIL)"},
                  {kOk, " Stand by"}},
                 {"lamp-fault raised", "lamp-fault cleared"}},
        BookCase{"AgainAfterClearing",
                 {{kOk, " Power Fail"}, {kOk, " Stand by"}, {kOk, " Power Fail"}},
                 {"power-fault raised", "power-fault cleared", "power-fault raised"}},
        BookCase{"TemperatureButNotOnceRecovered",
                 {{kOk, " Temperature Warning"}, {kOk, " Temperature Warning and recoverd"}},
                 {"temperature-fault raised", "temperature-fault cleared"}},
        BookCase{"LampHoursOverTheThreshold",
                 {{kOk, " Power ON", 2000},
                  {kOk, " Power ON", 2001},
                  {kOk, " Power ON", 2002},
                  {kOk, " Power ON", std::nullopt},
                  {kOk, " Power ON", 12}},
                 {"lamp-hours raised", "lamp-hours cleared"}},
        BookCase{"AScheduledActionThatFailed",
                 {{kOk, "", std::nullopt, "no answer"},
                  {kOk, "", std::nullopt, "in use"},
                  {kOk, "", std::nullopt, ""}},
                 {"schedule-failed raised", "schedule-failed cleared"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AlertBook, AProjectorTakenOutOfTheFileHasItsAlertsCleared) {
    AlertBook book;
    int cleared = 0;
    book.changed = [&](const AlertMessage& m) { cleared += m.raised ? 0 : 1; };
    book.scheduleOutcome(QStringLiteral("Hall A"), QStringLiteral("no answer"));
    book.scheduleOutcome(QStringLiteral("Hall B"), QStringLiteral("no answer"));
    book.keepOnly({QStringLiteral("Hall B")});
    EXPECT_EQ(cleared, 1);
    EXPECT_EQ(book.openCount(), 1U);
    EXPECT_EQ(book.listing().value("alerts").toArray().size(), 1);
}

}  // namespace
}  // namespace panel
