// The schedule at work on a clock the test sets: a start just before a run, a service that was
// down over a run, a clock set back or jumping ahead; each run told on the event stream and in
// the session log.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <iostream>

#include "service/schedule_clock.h"
#include "service/scheduler.h"
#include "tests/fleet/sim_bank.h"

namespace panel {
namespace {

QDateTime at(const char* iso) {
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate).toUTC();
}

struct SchedulerCase {
    const char* name;
    const char* rule;
    const char* alive;  // the state file's last word, or none
    const char* start;
    std::vector<const char*> rechecks;
    std::vector<std::string> told;  // "RESULT DUE" of each run event, in order
    const char* nextRun;            // after the last recheck
};

class SchedulerTest : public ::testing::TestWithParam<SchedulerCase> {};

TEST_P(SchedulerTest, RunsOnTimeAndTellsWhatWasMissed) {
    const SchedulerCase& c = GetParam();
    QTemporaryDir dir;
    const QString state = dir.filePath(QStringLiteral("schedule.state"));
    if (*c.alive) {
        QFile file(state);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("{\"alive\":\"") + c.alive + "\"}");
    }
    ActionLog log("projector-paneld 1");
    const QString logPath = dir.filePath(QStringLiteral("session.log"));
    ASSERT_FALSE(log.start(logPath.toStdString(), {}));
    // A line that is never there: each run fails at the port, which is not what is looked at here.
    Fleet fleet(
        {Projector{QStringLiteral("Hall A"), dir.filePath(QStringLiteral("no-tty")), 19200, 0}});
    QDateTime now = at(c.start);
    Scheduler scheduler(fleet, log, [&] { return now; });
    std::vector<std::string> told;
    scheduler.event = [&](const QJsonObject& e) {
        const QString result = e.value("result").toString();
        if (result == QLatin1String("started") || result == QLatin1String("missed"))
            told.push_back(result.toStdString() + ' ' + e.value("due").toString().toStdString());
    };
    RuleRead rule = parseScheduleRule(QString::fromLatin1(c.rule), 3);
    ASSERT_TRUE(rule.rule);
    scheduler.setRules({*rule.rule}, QTimeZone("Europe/Berlin"), state);
    for (const char* t : c.rechecks) {
        now = at(t);
        scheduler.recheck();
    }
    EXPECT_EQ(told, c.told);
    const QJsonObject listed = scheduler.listing().value("rules").toArray()[0].toObject();
    EXPECT_EQ(at(listed.value("next_run").toString().toLatin1().constData()), at(c.nextRun));
    scheduler.stop();
    // The state tells the next start when this one last looked.
    QFile file(state);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(at(QJsonDocument::fromJson(file.readAll())
                     .object()
                     .value("alive")
                     .toString()
                     .toLatin1()
                     .constData()),
              now);
    QFile logFile(logPath);
    ASSERT_TRUE(logFile.open(QIODevice::ReadOnly));
    const QByteArray logged = logFile.readAll();
    for (const std::string& line : told)
        EXPECT_TRUE(logged.contains(line.starts_with("missed") ? "\tnote\tmissed the run of "
                                                               : "\tnote\truns "))
            << logged.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Cases, SchedulerTest,
                         ::testing::Values(SchedulerCase{"StartedTwoSecondsBeforeARun",
                                                         "daily 23:30 power off Hall A",
                                                         "",
                                                         "2026-06-10T23:29:58+02:00",
                                                         {"2026-06-10T23:29:59.500+02:00",
                                                          "2026-06-10T23:30:00.200+02:00"},
                                                         {"started 2026-06-10T21:30:00.000Z"},
                                                         "2026-06-11T21:30:00Z"},
                                           SchedulerCase{"DownOverARunIsMissedNotRunLate",
                                                         "Mon-Fri 07:45 power on Hall A",
                                                         "2026-06-03T07:00:00+02:00",
                                                         "2026-06-03T09:00:00+02:00",
                                                         {"2026-06-03T09:00:30+02:00"},
                                                         {"missed 2026-06-03T05:45:00.000Z"},
                                                         "2026-06-04T05:45:00Z"},
                                           SchedulerCase{"UpAgainBeforeTheRunRunsIt",
                                                         "Mon-Fri 07:45 power on Hall A",
                                                         "2026-06-03T07:00:00+02:00",
                                                         "2026-06-03T07:30:00+02:00",
                                                         {"2026-06-03T07:45:01+02:00"},
                                                         {"started 2026-06-03T05:45:00.000Z"},
                                                         "2026-06-04T05:45:00Z"},
                                           SchedulerCase{"AClockSetBackRunsNoRuleTwice",
                                                         "Mon-Fri 07:45 power on Hall A",
                                                         "",
                                                         "2026-06-03T07:44:00+02:00",
                                                         {"2026-06-03T07:45:00+02:00",
                                                          "2026-06-03T07:20:00+02:00",
                                                          "2026-06-03T07:45:00+02:00"},
                                                         {"started 2026-06-03T05:45:00.000Z"},
                                                         "2026-06-04T05:45:00Z"},
                                           SchedulerCase{"AClockJumpingAheadOverARunMissesIt",
                                                         "Mon-Fri 07:45 power on Hall A",
                                                         "",
                                                         "2026-06-03T07:40:00+02:00",
                                                         {"2026-06-03T09:00:00+02:00"},
                                                         {"missed 2026-06-03T05:45:00.000Z"},
                                                         "2026-06-04T05:45:00Z"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Runs on a clock shifted to 200 ms before each one's minute: each reaches the simulator once,
// and the delay from the minute to the frame's last byte there is told (not asserted). Five runs
// here; PANEL_SCHEDULE_RUNS=20 for the figure in the README.
TEST(SchedulerOnASimulator, EachRunReachesTheSimulatorOnce) {
    const std::size_t runs =
        std::clamp(qEnvironmentVariableIntValue("PANEL_SCHEDULE_RUNS"), 5, 100);
    test::SimBank sims{1};
    ASSERT_TRUE(sims.ok());
    ActionLog log("projector-paneld 1");
    Fleet fleet({Projector{QStringLiteral("Hall A"), sims.link(0), 19200, 0}});
    qint64 shiftMs = 0;
    Scheduler scheduler(fleet, log,
                        [&] { return QDateTime::currentDateTimeUtc().addMSecs(shiftMs); });
    const ScheduleRule rule =
        *parseScheduleRule(QStringLiteral("daily 07:45 codes CR4 to Hall A"), 1).rule;
    const QTimeZone zone = QTimeZone::utc();
    QDateTime due = nextRun(rule, QDateTime::currentDateTimeUtc(), zone);
    QElapsedTimer monotonic;
    monotonic.start();
    // Where the clock stands `lead` before `due`, and when that is on CLOCK_MONOTONIC.
    const auto shiftTo = [&](const QDateTime& run) {
        const QDateTime real = QDateTime::currentDateTimeUtc();
        const qint64 mono = monotonic.msecsSinceReference() + monotonic.elapsed();
        shiftMs = real.msecsTo(run) - 200;
        return mono + 200;
    };
    std::vector<qint64> delays;
    qint64 dueMono = shiftTo(due);
    scheduler.setRules({rule}, zone, {});
    for (std::size_t i = 0; i < runs; ++i) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return sims.log(0).count("CR4") == i + 1; }, 20000))
            << "run " << i;
        delays.push_back(sims.log(0).times("CR4").back() / 1000 - dueMono);
        // The next run meets an idle line, as a rule's run does once a day.
        ASSERT_TRUE(QTest::qWaitFor([&] { return !fleet.rows()[0].busy; }, 20000));
        if (i + 1 == runs) break;
        due = due.addDays(1);
        dueMono = shiftTo(due);
        scheduler.recheck();  // as the check each minute would, after a jump of the clock
    }
    QTest::qWait(400);
    EXPECT_EQ(sims.log(0).count("CR4"), runs);
    std::sort(delays.begin(), delays.end());
    std::cout << "[ figure ] rule's minute to the frame at the simulator, " << runs
              << " runs: median " << delays[runs / 2] << " ms, 95th " << delays[runs * 95 / 100]
              << " ms, most " << delays.back() << " ms, least " << delays.front() << " ms\n";
}

// A projector warming up is tried again until it is on, or until the time for it is up.
TEST(SchedulerOnASimulator, AProjectorWarmingUpIsTriedAgainThenReported) {
    struct Case {
        const char* name;
        const char* warmup;
        std::chrono::milliseconds retryFor;
        const char* problem;  // the start of the outcome's
        std::size_t offs;     // C01 frames at the simulator
    };
    using std::chrono::milliseconds;
    const Case cases[]{{"OnInTime", "1", milliseconds(8000), "", 1},
                       {"StillWarming", "60", milliseconds(1500), "still warming up after 1 s", 0}};
    for (const Case& c : cases) {
        test::SimBank sims{1, {"--warmup", c.warmup}};
        ASSERT_TRUE(sims.ok());
        ActionLog log("projector-paneld 1");
        Fleet fleet({Projector{QStringLiteral("Hall A"), sims.link(0), 19200, 0}});
        fleet.setPollInterval(std::chrono::seconds(1));
        fleet.startPolling();
        fleet.power({0}, PowerCommand::On);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return phaseOf(fleet.rows()[0].status) == PowerPhase::WarmingUp; }, 20000))
            << c.name;
        QDateTime now = QDateTime::currentDateTimeUtc();
        Scheduler scheduler(fleet, log, [&] { return now; });
        scheduler.retryEvery = milliseconds(300);
        scheduler.retryFor = c.retryFor;
        std::optional<QString> problem;
        scheduler.outcome = [&](const QString&, const QString& p) { problem = p; };
        const QTime minute(now.time().hour(), now.time().minute());
        const QString text = QStringLiteral("daily %1 power off Hall A")
                                 .arg(minute.addSecs(60).toString(QStringLiteral("HH:mm")));
        scheduler.setRules({*parseScheduleRule(text, 1).rule}, QTimeZone::utc(), {});
        now = QDateTime(now.date().addDays(minute.hour() == 23 && minute.minute() == 59 ? 1 : 0),
                        minute.addSecs(60), Qt::UTC);
        scheduler.recheck();
        ASSERT_TRUE(QTest::qWaitFor([&] { return problem.has_value(); }, 20000)) << c.name;
        EXPECT_TRUE(*c.problem ? problem->startsWith(QLatin1String(c.problem)) : problem->isEmpty())
            << c.name << ": " << problem->toStdString();
        EXPECT_EQ(sims.log(0).count("C01"), c.offs) << c.name;
    }
}

}  // namespace
}  // namespace panel
