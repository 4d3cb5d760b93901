// The schedule's rules as written, and their runs as instants: weekdays, both clock changes of
// two zones, a minute that does not exist, a start just before a run, a service down over one.
#include <gtest/gtest.h>

#include "service/schedule_clock.h"
#include "service/schedule_config.h"
#include "service/schedule_rule.h"

namespace panel {
namespace {

ScheduleRule rule(const char* text) {
    RuleRead read = parseScheduleRule(QString::fromUtf8(text), 1);
    EXPECT_TRUE(read.rule) << text << ": " << read.problem.toStdString();
    return read.rule.value_or(ScheduleRule{});
}

QDateTime utc(const char* iso) {
    QDateTime t = QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate);
    EXPECT_TRUE(t.isValid()) << iso;
    return t.toUTC();
}

struct NextCase {
    const char* name;
    const char* rule;
    const char* zone;
    const char* after;     // an instant, with its offset
    const char* expected;  // the next run, UTC
};

class NextRunTest : public ::testing::TestWithParam<NextCase> {};

TEST_P(NextRunTest, IsTheFirstRunAfterTheInstant) {
    const NextCase& c = GetParam();
    const QTimeZone zone(c.zone);
    ASSERT_TRUE(zone.isValid()) << c.zone;
    EXPECT_EQ(nextRun(rule(c.rule), utc(c.after), zone), utc(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NextRunTest,
    ::testing::Values(
        // 2026-06-05 is a Friday.
        NextCase{"WeekdaysFridayEveningToMonday", "Mon-Fri 07:45 power on A", "Europe/Berlin",
                 "2026-06-05T08:00:00+02:00", "2026-06-08T05:45:00Z"},
        NextCase{"WeekdaysLaterTheSameDay", "Mon-Fri 07:45 power on A", "Europe/Berlin",
                 "2026-06-03T07:00:00+02:00", "2026-06-03T05:45:00Z"},
        NextCase{"WeekendsOnly", "Sat,Sun 09:00 power on A", "Europe/Berlin",
                 "2026-06-01T12:00:00+02:00", "2026-06-06T07:00:00Z"},
        NextCase{"ARangeOverTheWeekEnd", "Fri-Mon 12:00 power on A", "Europe/Berlin",
                 "2026-06-02T12:00:00+02:00", "2026-06-05T10:00:00Z"},
        NextCase{"AtTheRunItselfIsTheNextOne", "daily 23:30 power off all", "Europe/Berlin",
                 "2026-06-10T23:30:00+02:00", "2026-06-11T21:30:00Z"},
        NextCase{"StartedTwoSecondsBefore", "daily 23:30 power off all", "Europe/Berlin",
                 "2026-06-10T23:29:58+02:00", "2026-06-10T21:30:00Z"},
        // Berlin: 02:00 becomes 03:00 on 2026-03-29, 03:00 becomes 02:00 on 2026-10-25.
        NextCase{"BerlinTheDayBeforeSpring", "daily 02:30 power on A", "Europe/Berlin",
                 "2026-03-27T12:00:00Z", "2026-03-28T01:30:00Z"},
        NextCase{"BerlinSkippedMinuteRunsAtTheGapsEnd", "daily 02:30 power on A", "Europe/Berlin",
                 "2026-03-28T23:00:00+01:00", "2026-03-29T01:00:00Z"},
        NextCase{"BerlinSkippedMinuteRunsOnce", "daily 02:30 power on A", "Europe/Berlin",
                 "2026-03-29T01:00:00Z", "2026-03-30T00:30:00Z"},
        NextCase{"BerlinSundaysOnlyOnTheDayOfTheGap", "Sun 02:30 power on A", "Europe/Berlin",
                 "2026-03-23T12:00:00Z", "2026-03-29T01:00:00Z"},
        NextCase{"BerlinSpringMinuteAfterTheGap", "daily 03:00 power on A", "Europe/Berlin",
                 "2026-03-28T23:00:00+01:00", "2026-03-29T01:00:00Z"},
        NextCase{"BerlinTwiceRunsAtTheFirst", "daily 02:30 power on A", "Europe/Berlin",
                 "2026-10-24T12:00:00Z", "2026-10-25T00:30:00Z"},
        NextCase{"BerlinTwiceNotAgainAtTheSecond", "daily 02:30 power on A", "Europe/Berlin",
                 "2026-10-25T00:30:00Z", "2026-10-26T01:30:00Z"},
        // New York: 02:00 becomes 03:00 on 2026-03-08, 02:00 becomes 01:00 on 2026-11-01.
        NextCase{"NewYorkSkippedMinuteRunsAtTheGapsEnd", "daily 02:30 power on A",
                 "America/New_York", "2026-03-07T12:00:00-05:00", "2026-03-08T07:00:00Z"},
        NextCase{"NewYorkSkippedMinuteRunsOnce", "daily 02:30 power on A", "America/New_York",
                 "2026-03-08T07:00:00Z", "2026-03-09T06:30:00Z"},
        NextCase{"NewYorkTwiceRunsAtTheFirst", "daily 01:30 power on A", "America/New_York",
                 "2026-10-31T12:00:00Z", "2026-11-01T05:30:00Z"},
        NextCase{"NewYorkTwiceNotAgainAtTheSecond", "daily 01:30 power on A", "America/New_York",
                 "2026-11-01T05:30:00Z", "2026-11-02T06:30:00Z"},
        NextCase{"NewYorkWeekdaysOverTheChange", "weekdays 07:00 power on A", "America/New_York",
                 "2026-03-06T12:00:00Z", "2026-03-09T11:00:00Z"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScheduleClock, AServiceDownOverARunIsToldOfItOnceAndNotOfTheNext) {
    const QTimeZone berlin("Europe/Berlin");
    const ScheduleRule r = rule("Mon-Fri 07:45 power on A");
    struct Case {
        const char* name;
        const char* from;
        const char* to;
        std::vector<const char*> missed;
    };
    const Case cases[]{
        {"DownOverOne",
         "2026-06-03T07:00:00+02:00",
         "2026-06-03T09:00:00+02:00",
         {"2026-06-03T05:45:00Z"}},
        {"UpAgainBeforeIt", "2026-06-03T07:00:00+02:00", "2026-06-03T07:44:59+02:00", {}},
        {"DownOverAWeekend",
         "2026-06-05T07:50:00+02:00",
         "2026-06-08T07:45:00+02:00",
         {"2026-06-08T05:45:00Z"}},
        {"DownFromTheRunItself", "2026-06-03T07:45:00+02:00", "2026-06-03T08:00:00+02:00", {}},
    };
    for (const Case& c : cases) {
        std::vector<QDateTime> expected;
        for (const char* t : c.missed) expected.push_back(utc(t));
        EXPECT_EQ(runsBetween(r, utc(c.from), utc(c.to), berlin), expected) << c.name;
    }
}

struct RuleCase {
    const char* name;
    const char* text;
    const char* problem;  // the start of it; empty when the rule is good
    const char* days = "";
    const char* action = "";
    std::vector<const char*> projectors = {};
};

class RuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(RuleTest, ReadsTheRuleOrSaysWhy) {
    const RuleCase& c = GetParam();
    const RuleRead read = parseScheduleRule(QString::fromUtf8(c.text), 7);
    if (*c.problem) {
        EXPECT_FALSE(read.rule);
        EXPECT_TRUE(read.problem.startsWith(QString::fromUtf8(c.problem)))
            << read.problem.toStdString();
        return;
    }
    ASSERT_TRUE(read.rule) << read.problem.toStdString();
    EXPECT_EQ(read.rule->line, 7);
    EXPECT_EQ(daysText(*read.rule).toStdString(), c.days);
    EXPECT_EQ(actionText(*read.rule).toStdString(), c.action);
    std::vector<std::string> names;
    for (const QString& n : read.rule->projectors) names.push_back(n.toStdString());
    if (read.rule->all) names.push_back("(all)");
    EXPECT_EQ(names, std::vector<std::string>(c.projectors.begin(), c.projectors.end()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RuleTest,
    ::testing::Values(
        RuleCase{"NamesWithSpaces",
                 "Mon-Fri 07:45 power on Hall A, Hall B",
                 "",
                 "Mon,Tue,Wed,Thu,Fri",
                 "power on",
                 {"Hall A", "Hall B"}},
        RuleCase{"All", "daily 23:30 power off all", "", "daily", "power off", {"(all)"}},
        RuleCase{"CodesEndAtTo",
                 "Sat 08:00 codes C00 C0D to Hall A",
                 "",
                 "Sat",
                 "codes C00 C0D",
                 {"Hall A"}},
        RuleCase{"UnicodeName", "Sun 9:05 power on 講堂 1", "", "Sun", "power on", {"講堂 1"}},
        RuleCase{"WrappingRange", "Sat-Mon 06:00 power on A", "", "Mon,Sat,Sun", "power on", {"A"}},
        RuleCase{"NoTime", "daily power on A", "a rule is"},
        RuleCase{"BadDay", "Mon-Fry 07:45 power on A", "'Mon-Fry' are no days"},
        RuleCase{"BadHour", "daily 24:00 power on A", "24:00 is no time"},
        RuleCase{"UnknownAction", "daily 07:00 switch on A", "a rule is"},
        RuleCase{"NoProjector", "daily 07:00 power on ", "a rule is"},
        RuleCase{"EmptyName", "daily 07:00 power on A,,B", "an empty projector name"},
        RuleCase{"CodesWithoutTo", "daily 07:00 codes C00 Hall A", "codes need 'to'"},
        RuleCase{"ControlCharacterInACode", "daily 07:00 codes C00\x01 to A",
                 "'C00\x01' is no code"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScheduleConfig, ARuleNamingAnUnknownProjectorPointsAtItsLine) {
    ScheduleConfig config;
    ASSERT_FALSE(addScheduleRule(config, QStringLiteral("daily 07:00 power on Hall A, Hall Z"), 4));
    ASSERT_FALSE(addScheduleRule(config, QStringLiteral("daily 08:00 power on all"), 5));
    ASSERT_FALSE(addScheduleRule(config, QStringLiteral("daily 09:00 power on Hall Y"), 6));
    const std::vector<QString> problems = unknownProjectors(
        config, {QStringLiteral("Hall A")}, QStringLiteral("s.ini"), QStringLiteral("p.ini"));
    const std::vector<QString> expected{
        QStringLiteral("s.ini:4: the rule names 'Hall Z', which is not in p.ini"),
        QStringLiteral("s.ini:6: the rule names 'Hall Y', which is not in p.ini")};
    EXPECT_EQ(problems, expected);
    EXPECT_TRUE(setTimeZone(config, QStringLiteral("Mars/Olympus")));
    EXPECT_FALSE(setTimeZone(config, QStringLiteral("America/New_York")));
}

}  // namespace
}  // namespace panel
