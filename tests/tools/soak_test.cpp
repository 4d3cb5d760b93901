// The soak's own judgement: the frame ledger must catch every way a frame can go wrong and pass
// every way the line may honestly lose one; the operator and the faults must replay by seed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testkit/fake_port.h"
#include "tools/soak/counting_port.h"
#include "tools/soak/fault_plan.h"
#include "tools/soak/frame_ledger.h"
#include "tools/soak/operator_script.h"
#include "tools/soak/twin_ticks.h"
#include "tools/soak/wait_schedule.h"

namespace panel::soak {
namespace {

constexpr std::int64_t kMs = 1000;

ExpectedFrames click(std::string frame, std::int64_t at, int op, int baud = 19200) {
    return {std::move(frame), baud, at, at, 1, 1, 0, op};
}

ExpectedFrames hold(std::string frame, std::int64_t pressed, std::int64_t released, int fewest,
                    int most, std::int64_t periodMs, int op) {
    return {std::move(frame), 19200, pressed, released, fewest, most, periodMs * kMs, op};
}

LoggedFrame logged(std::string frame, std::int64_t at, int baud = 19200) {
    return {at, baud, std::move(frame)};
}

struct LedgerCase {
    const char* name;
    std::vector<ExpectedFrames> sent;
    std::vector<LoggedFrame> arrived;
    std::int64_t speedChange = 0;  // 0: none
    std::int64_t lineDown = 0;     // 0: the simulator is stopped at the end, after everything;
                                   // -1: an outage from 1.5 s to 2 s first
    std::string broken;            // a part of the report; empty when every rule holds
    friend void PrintTo(const LedgerCase& c, std::ostream* os) { *os << c.name; }
};

class FrameLedgerTest : public testing::TestWithParam<LedgerCase> {};

TEST_P(FrameLedgerTest, JudgesTheLogAgainstTheOperations) {
    const LedgerCase& c = GetParam();
    FrameLedger ledger;
    for (const ExpectedFrames& frames : c.sent) ledger.expect(frames);
    if (c.speedChange) ledger.speedChanged(c.speedChange);
    std::string broken;
    for (const LoggedFrame& frame : c.arrived) {
        broken = ledger.take(frame);
        if (!broken.empty()) break;
    }
    if (c.lineDown < 0) {  // a device server's outage from 1.5 s to 2 s, then served again
        ledger.lineDown(1'500 * kMs);
        ledger.lineUp(2'000 * kMs);
    }
    ledger.lineDown(c.lineDown > 0 ? c.lineDown : 100'000 * kMs);
    if (broken.empty()) broken = ledger.settle(100'000 * kMs, true, 10'000 * kMs);
    if (c.broken.empty()) {
        EXPECT_EQ(broken, "");
    } else {
        EXPECT_NE(broken.find(c.broken), std::string::npos) << broken;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FrameLedgerTest,
    testing::Values(
        LedgerCase{"ClicksInOrder",
                   {click("C00", 10, 1), click("CR0", 20, 2)},
                   {logged("C00", 11), logged("CR0", 21)},
                   0,
                   0,
                   ""},
        LedgerCase{"DuplicateFrame",
                   {click("C00", 10, 1)},
                   {logged("C00", 11), logged("C00", 12)},
                   0,
                   0,
                   "no operation sent it"},
        LedgerCase{"FrameWithNoOperation", {}, {logged("C01", 5)}, 0, 0, "never opened"},
        LedgerCase{"MissingFrame",
                   {click("C00", 10, 1), click("CR0", 20, 2)},
                   {logged("CR0", 21)},
                   0,
                   0,
                   "operation #1's \"C00\""},
        LedgerCase{"NeverArrivedLongBeforeTheLineWent",
                   {click("C00", 10 * kMs, 1)},
                   {},
                   0,
                   0,
                   "arrived before the simulator went"},
        LedgerCase{"LostInTheSecondBeforeTheLineWent",
                   {click("C00", 10 * kMs, 1), click("C01", 9'500 * kMs, 2)},
                   {logged("C00", 11 * kMs)},
                   0,
                   10'000 * kMs,
                   ""},
        LedgerCase{"WrongSpeed",
                   {click("C00", 10, 1, 9600)},
                   {logged("C00", 11, 19200)},
                   0,
                   0,
                   "arrived at 19200 baud; 9600 was selected"},
        LedgerCase{"OldSpeedReadAfterAChange",
                   {click("C00", 10, 1, 19200)},
                   {logged("C00", 30, 9600)},
                   20,
                   0,
                   ""},
        LedgerCase{
            "HoldWithinItsBounds",
            {hold("C09", 0, 1'100 * kMs, 4, 6, 250, 1), click("C00", 1'200 * kMs, 2)},
            {logged("C09", 1), logged("C09", 250 * kMs), logged("C09", 500 * kMs),
             logged("C09", 750 * kMs), logged("C09", 1'000 * kMs), logged("C00", 1'201 * kMs)},
            0,
            0,
            ""},
        LedgerCase{"HoldShortOfItsFewest",
                   {hold("C09", 0, 1'100 * kMs, 4, 6, 250, 1), click("C00", 1'200 * kMs, 2)},
                   {logged("C09", 1), logged("C09", 250 * kMs), logged("C00", 1'201 * kMs)},
                   0,
                   0,
                   "2 arrived, then \"C00\""},
        LedgerCase{"HoldBeyondItsMost",
                   {hold("C3C", 0, 20 * kMs, 1, 3, 5, 1)},
                   {logged("C3C", 1), logged("C3C", 5 * kMs), logged("C3C", 10 * kMs),
                    logged("C3C", 15 * kMs)},
                   0,
                   0,
                   "no operation sent it"},
        LedgerCase{"RepeatPastOnePeriodAfterTheRelease",
                   {hold("C20", 0, 100 * kMs, 1, 4, 50, 1)},
                   {logged("C20", 1), logged("C20", 800 * kMs)},
                   0,
                   0,
                   "after the release, past one period"},
        LedgerCase{"TwoHoldsOfOneButtonKeptApart",
                   {hold("C0A", 0, 300 * kMs, 1, 3, 250, 1),
                    hold("C0A", 400 * kMs, 450 * kMs, 1, 2, 250, 2)},
                   {logged("C0A", 1), logged("C0A", 250 * kMs), logged("C0A", 401 * kMs)},
                   0,
                   0,
                   ""},
        LedgerCase{"OnlyTheOutageWindowMayLoseFrames",
                   {click("C00", 1'000 * kMs, 1), click("C01", 5'000 * kMs, 2)},
                   {logged("C00", 1'001 * kMs)},
                   0,
                   -1,
                   "operation #2's \"C01\""},
        LedgerCase{"HoldCutByTheLineGoingDown",
                   {hold("C30", 0, 2'000 * kMs, 7, 10, 250, 1)},
                   {logged("C30", 1), logged("C30", 250 * kMs)},
                   0,
                   600 * kMs,
                   ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FrameLedgerSettle, AFrameOverdueOnALiveLineIsMissingAndAFreshOneIsNot) {
    FrameLedger ledger;
    ledger.expect(click("CR0", 1'000 * kMs, 7));
    EXPECT_EQ(ledger.settle(5'000 * kMs, false, 10'000 * kMs), "");
    EXPECT_FALSE(ledger.caughtUp());
    EXPECT_NE(ledger.settle(12'000 * kMs, false, 10'000 * kMs).find("operation #7"),
              std::string::npos);
}

TEST(FrameLedgerSettle, KeepsOnlyWhatMayStillBeReadHoweverLongTheLineServes) {
    FrameLedger ledger;
    for (int op = 1; op <= 1000; ++op) {
        ledger.expect(click("C00", op * kMs, op));
        ledger.speedChanged(op * kMs);
        ledger.lineDown(op * kMs);
        ledger.lineUp(op * kMs);
        ASSERT_EQ(ledger.take(logged("C00", op * kMs + 1)), "");
        ASSERT_EQ(ledger.settle(op * kMs + 2, false, 10'000 * kMs), "");
    }
    EXPECT_LE(ledger.retained(), 3u);
    // What it kept still names the last operation before an unexpected frame.
    EXPECT_NE(ledger.take(logged("C01", 1'001 * kMs)).find("operation #1000"), std::string::npos);
}

// The port's own writes tell a frame never sent from one lost on the way.
struct WrittenCase {
    const char* name;
    int written;    // of the hold's frames, the port wrote this many
    int arrived;    // and the simulator read this many
    bool complete;  // the simulator has gone (an outage at 1.9 s cut the hold)
    std::string broken;
    std::size_t lostOnTheWay;
    std::size_t lostUnwritten;
    friend void PrintTo(const WrittenCase& c, std::ostream* os) { *os << c.name; }
};

class FrameLedgerWrites : public testing::TestWithParam<WrittenCase> {};

TEST_P(FrameLedgerWrites, SaysWhetherTheMissingFramesWereWritten) {
    const WrittenCase& c = GetParam();
    FrameLedger ledger;
    ledger.expect(hold("C30", 0, 2'000 * kMs, 5, 7, 250, 3));
    for (int i = 0; i < c.written; ++i) ASSERT_TRUE(ledger.wrote("C30", i * 250 * kMs));
    for (int i = 0; i < c.arrived; ++i) ASSERT_EQ(ledger.take(logged("C30", i * 250 * kMs)), "");
    if (c.complete) ledger.lineDown(1'900 * kMs);
    const std::string broken = ledger.settle(20'000 * kMs, c.complete, 10'000 * kMs);
    if (c.broken.empty())
        EXPECT_EQ(broken, "");
    else
        EXPECT_NE(broken.find(c.broken), std::string::npos) << broken;
    EXPECT_EQ(ledger.lostOnTheWay(), c.lostOnTheWay);
    EXPECT_EQ(ledger.lostUnwritten(), c.lostUnwritten);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FrameLedgerWrites,
    testing::Values(WrittenCase{"NeverWritten", 4, 4, false,
                                "4 arrived in 20000 ms (the port wrote 4: never sent)", 0, 0},
                    WrittenCase{"WrittenAndLost", 6, 4, false,
                                "(the port wrote 6: 2 lost on the way)", 0, 0},
                    WrittenCase{"CutByTheLineSomeWritten", 3, 2, true, "", 1, 2},
                    WrittenCase{"CutByTheLineAllWritten", 5, 1, true, "", 4, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FrameLedgerWrites, AWriteCountsForTheNewestOperationAlreadySendingItsFrame) {
    FrameLedger ledger;
    ledger.expect(click("C00", 1'000 * kMs, 1));
    ledger.expect(click("C01", 2'000 * kMs, 2));
    ledger.expect(click("C00", 3'000 * kMs, 3));
    EXPECT_TRUE(ledger.wrote("C00", 1'001 * kMs));  // #1's: #3 had not begun
    EXPECT_FALSE(ledger.wrote("C02", 3'001 * kMs));
    EXPECT_FALSE(ledger.wrote("C01", 1'500 * kMs));  // before #2 began
    ASSERT_EQ(ledger.take(logged("C00", 1'002 * kMs)), "");
    // #2 and #3 were never written.
    const std::string broken = ledger.settle(20'000 * kMs, false, 10'000 * kMs);
    EXPECT_NE(broken.find("operation #2's \"C01\": 0 arrived in 18000 ms (the port wrote 0: never "
                          "sent)"),
              std::string::npos)
        << broken;
}

TEST(FrameLedgerWrites, AFrameSentAfterTheLinesOwnReopenIsNamedSo) {
    FrameLedger ledger;
    ExpectedFrames frames = click("C00", 1'000 * kMs, 9);
    frames.afterReopen = true;
    ledger.expect(frames);
    EXPECT_NE(ledger.settle(20'000 * kMs, false, 10'000 * kMs)
                  .find("operation #9's \"C00\", sent after the panel reopened the line by itself"),
              std::string::npos);
}

// The watcher's back-off as the soak follows it: 1, 2, 4, 8, 16, then 30 s.
std::int64_t watcherStep(int attempt) {
    constexpr std::int64_t kSteps[] = {1, 2, 4, 8, 16};
    return (attempt < 5 ? kSteps[attempt] : 30) * 1'000'000;
}

TEST(WaitSchedule, TheStepInForceFollowsTheTriesOfTheCurrentWait) {
    WaitSchedule schedule(watcherStep);
    EXPECT_FALSE(schedule.waiting());
    schedule.began(10'000 * kMs);
    // Tries at 1 s, then 2 s and 4 s after each failure; the last is still under way at 17.5 s.
    for (const std::int64_t at : {11'000, 13'000, 17'000}) schedule.tried(at * kMs);
    const struct {
        std::int64_t at;
        std::int64_t stepS;
    } expected[] = {{5'000, 1},  {10'000, 1}, {10'999, 1}, {11'000, 2},
                    {12'999, 2}, {13'000, 4}, {17'500, 8}};
    for (const auto& row : expected)
        EXPECT_EQ(schedule.stepAt(row.at * kMs), row.stepS * 1'000'000) << "at " << row.at;
    EXPECT_EQ(schedule.beganAt(), 10'000 * kMs);

    // Five more failures reach the last step; a new wait starts from the first again.
    for (int i = 1; i <= 5; ++i) schedule.tried((17'000 + i) * kMs);
    EXPECT_EQ(schedule.stepAt(30'000 * kMs), 30'000 * kMs);
    schedule.began(40'000 * kMs);
    EXPECT_EQ(schedule.stepAt(40'000 * kMs), 1'000 * kMs);
    schedule.tried(41'000 * kMs);
    // The wait ends before the reopen is told: its course is still there to judge it by.
    schedule.ended();
    schedule.tried(42'000 * kMs);  // no wait: nothing to follow
    EXPECT_FALSE(schedule.waiting());
    EXPECT_EQ(schedule.stepAt(42'000 * kMs), 2'000 * kMs);
    EXPECT_EQ(schedule.course(39'000 * kMs), "began at 1000 ms, tried at 2000 ms");
}

// The panel's port counted: what it wrote, and when it closed or opened by itself, each told to
// the soak before the panel hears of it.
class RecordingListener final : public PortListener {
public:
    explicit RecordingListener(std::vector<std::string>& events) : events_(events) {}
    void onComm(int) override { events_.push_back("panel: comm"); }
    void onPortFailure(const PortError&) override { events_.push_back("panel: failure"); }
    void onPortOpened() override { events_.push_back("panel: opened"); }
    void onOpenFailed(const PortError&) override { events_.push_back("panel: open failed"); }

private:
    std::vector<std::string>& events_;
};

TEST(CountingPort, CountsWhatThePortWroteAndTellsTheSoakFirst) {
    test::FakePort inner;
    std::vector<std::string> events;
    CountingPort port(
        inner,
        {[&](std::string_view bytes) { events.push_back("wrote " + std::string(bytes)); },
         [&] { events.push_back("soak: lost"); }, [&] { events.push_back("soak: opened"); }});
    RecordingListener listener(events);
    port.setListener(&listener);

    EXPECT_TRUE(port.output("C00\r"));  // closed: refused, not counted
    ASSERT_FALSE(port.setOpen(true));
    EXPECT_FALSE(port.output("C00\r"));
    inner.failOn(test::FakePort::Op::Output, {"write failed"});
    EXPECT_TRUE(port.output("C01\r"));  // refused while open: not written, not lost
    inner.clearFailure(test::FakePort::Op::Output);
    inner.hangUp({"gone"});
    inner.reopenBySelf({PortError{"busy"}});
    inner.reopenBySelf();
    EXPECT_FALSE(port.output("C0A\r"));

    EXPECT_EQ(port.writes(), 2u);
    EXPECT_EQ(port.bytesWritten(), 8u);
    EXPECT_EQ(events, (std::vector<std::string>{"wrote C00\r", "soak: lost", "panel: failure",
                                                "panel: open failed", "soak: opened",
                                                "panel: opened", "wrote C0A\r"}));
}

// The fewest frames a hold's twin timer promises: one a tick, less one a stall.
TEST(TwinTicks, AStallTheTwinSawMayHaveCostThePanelsTimerATick) {
    const struct {
        const char* name;
        std::vector<std::int64_t> ticksMs;  // a 5 ms twin started at 0
        int late;
        int fewest;
    } cases[] = {
        {"none", {}, 0, 1},
        {"onTime", {5, 10, 15, 20}, 0, 4},
        {"aLittleLate", {7, 12, 19, 20}, 0, 4},
        {"stalledOnce", {5, 10, 23, 28}, 1, 3},
        {"stalledFirstAndLater", {9, 14, 30, 35, 50}, 3, 2},
        {"stalledThroughout", {12, 30}, 2, 1},
    };
    for (const auto& c : cases) {
        TwinTicks twin(0, 5 * kMs);
        for (const std::int64_t at : c.ticksMs) twin.tick(at * kMs);
        EXPECT_EQ(twin.count(), static_cast<int>(c.ticksMs.size())) << c.name;
        EXPECT_EQ(twin.late(), c.late) << c.name;
        EXPECT_EQ(twin.fewestFrames(), c.fewest) << c.name;
    }
}

TEST(FrameLedgerParse, ReadsTheSimulatorsSpeedStampedLines) {
    const auto frame = ParseLogLine("123 9600 CF INPUT HDMI HDMI");
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->at, 123);
    EXPECT_EQ(frame->baud, 9600);
    EXPECT_EQ(frame->frame, "CF INPUT HDMI HDMI");
    EXPECT_EQ(ParseLogLine("123 9600 ")->frame, "");
    for (const char* bad : {"123 CR0", "x 9600 CR0", "123", ""})
        EXPECT_FALSE(ParseLogLine(bad)) << bad;
}

TEST(OperatorScript, TheSameSeedReplaysTheSameOperationsAndAnotherDoesNot) {
    OperatorScript first(12345);
    OperatorScript again(12345);
    OperatorScript other(54321);
    int differ = 0;
    int kinds[kOpKinds] = {};
    for (int i = 0; i < 2000; ++i) {
        const Op op = first.next();
        EXPECT_EQ(Describe(op), Describe(again.next()));
        differ += Describe(op) != Describe(other.next());
        ++kinds[static_cast<int>(op.kind)];
        if (op.kind == OpKind::Hold) {
            EXPECT_GE(op.holdMs, 0);
            EXPECT_LE(op.holdMs, 2000);
        }
        if (op.kind == OpKind::Manual) {
            EXPECT_EQ(op.text.find_first_of("\r\n"), std::string::npos);
            for (const char c : op.text)
                if (!OperatorScript::typeable(static_cast<unsigned char>(c))) {
                    EXPECT_TRUE(op.paste);
                }
        }
    }
    EXPECT_GT(differ, 1000);
    for (const int count : kinds) EXPECT_GT(count, 50);
}

TEST(OperatorScript, ManualTextsReachEveryHighByte) {
    OperatorScript script(7);
    bool seen[256] = {};
    for (int i = 0; i < 20000; ++i) {
        const Op op = script.next();
        if (op.kind == OpKind::Manual)
            for (const char c : op.text) seen[static_cast<unsigned char>(c)] = true;
    }
    for (int c = 128; c < 256; ++c) EXPECT_TRUE(seen[c]) << c;
}

TEST(FaultPlan, TheSameSeedGivesTheSameFaultsAndEveryKindComes) {
    for (const bool network : {false, true}) {
        FaultPlan first(99, network);
        FaultPlan again(99, network);
        int kinds[kFaultKinds] = {};
        for (int i = 0; i < 500; ++i) {
            const Fault fault = first.next();
            EXPECT_EQ(Describe(fault), Describe(again.next()));
            EXPECT_TRUE(fault.line == 1 || fault.line == 2);
            ++kinds[static_cast<int>(fault.kind)];
        }
        for (int kind = 0; kind < kFaultKinds; ++kind)
            EXPECT_EQ(kinds[kind] > 20, network || kind < kLocalFaultKinds) << kind;
    }
}

TEST(FaultPlan, AServerRestartIsReportedAsOneNotAsTheSimulators) {
    EXPECT_EQ(Describe(Fault{2, 0, FaultKind::DeviceServer, {}, 0}), "restart COM2's ser2net");
    EXPECT_EQ(Describe(Fault{1, 0, FaultKind::Split, {"--split"}, 0}),
              "restart COM1 sim (split) --split");
}

}  // namespace
}  // namespace panel::soak
