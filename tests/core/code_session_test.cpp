// The one session that the shell and the fleet drive a projector through: what it tells, in what
// order, for each way a line can open, answer, fail or be lost.
#include "core/code_session.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "testkit/controller_rig.h"

namespace panel::test {
namespace {

using namespace std::chrono_literals;
using Told = std::vector<std::string>;

enum class Opening { AtOnce, Later, LaterFails, Refused };

struct SessionCase {
    const char* name;
    friend void PrintTo(const SessionCase& c, std::ostream* os) { *os << c.name; }
    std::vector<std::string> codes;
    int speed = 19200;
    Opening opening = Opening::AtOnce;
    std::map<std::string, std::string> replies;  // what the far end answers to a code
    std::optional<FakePort::Op> failing = {};    // an operation the port refuses
    std::string lostAfter = {};                  // the device vanishes after this code's write
    Told told = {};                              // answers and the end, in order
    std::string settings = "19200,N,8,1";        // the line's at the end
    std::string early = {};                      // held by the line, delivered as it opens
};

// The clock moves on in steps, the far end answering each write, until the session has ended.
class CodeSessionTest : public ::testing::TestWithParam<SessionCase> {
protected:
    void run(const SessionCase& c) {
        if (c.opening != Opening::AtOnce && c.opening != Opening::Refused) port.openLater();
        if (c.opening == Opening::Refused) port.makeUnopenable(1, PortError{"No such file"});
        if (c.failing) port.failOn(*c.failing, PortError{"refused"});
        session = std::make_unique<CodeSession>(
            port, timers.all(), quiet, SessionRequest{c.codes, {}, c.speed},
            SessionEvents{[this](const CodeAnswer& a) {
                              told.push_back(a.command + (a.replied ? " <" + a.bytes : " -"));
                          },
                          [this](SessionEnd end, const std::string& problem) {
                              told.push_back("end " + std::to_string(static_cast<int>(end)) +
                                             (problem.empty() ? "" : " " + problem));
                          }});
        session->start();
        if (c.opening == Opening::Later) port.settleOpen();
        if (c.opening == Opening::LaterFails) port.settleOpen(PortError{"/dev/fake1: refused"});
        if (!c.early.empty()) port.receive(c.early);
        std::size_t answered = 0;
        for (int step = 0; step < 400 && !ended(); ++step) {
            for (; answered < port.writes().size(); ++answered) {
                const std::string code = port.writes()[answered].substr(0, 3);
                if (code == c.lostAfter) port.hangUp(PortError{"gone"});
                if (auto reply = c.replies.find(code); reply != c.replies.end())
                    port.receive(reply->second);
            }
            clock.advance(50ms);
        }
    }
    bool ended() const { return !told.empty() && told.back().starts_with("end"); }

    VirtualClock clock;
    FakeTimers timers{clock};
    FakeTimer& quiet = clock.makeTimer("Quiet");
    FakePort port;
    std::unique_ptr<CodeSession> session;
    Told told;
};

TEST_P(CodeSessionTest, TellsEachAnswerThenTheEndOnceWithTheLineClosed) {
    const SessionCase& c = GetParam();
    run(c);
    EXPECT_EQ(told, c.told);
    EXPECT_FALSE(port.isOpen() || port.isOpening());
    EXPECT_EQ(port.settings(), c.settings);
    clock.advance(10s);
    EXPECT_EQ(told, c.told) << "nothing is told after the end";
}

// "end 0" is every code answered, "end 1" some unanswered, "end 2" the port failed.
INSTANTIATE_TEST_SUITE_P(Table, CodeSessionTest,
                         ::testing::Values(SessionCase{"EveryCodeAnswered",
                                                       {"CR0", "C00"},
                                                       19200,
                                                       Opening::AtOnce,
                                                       {{"CR0", "00\r"}, {"C00", "\x06"}},
                                                       {},
                                                       {},
                                                       {"CR0 <00\r", "C00 <\x06", "end 0"}},
                                           SessionCase{"ASilentCodeIsUnansweredAndTheNextStillGoes",
                                                       {"C00", "CR0"},
                                                       19200,
                                                       Opening::AtOnce,
                                                       {{"CR0", "00\r"}},
                                                       {},
                                                       {},
                                                       {"C00 -", "CR0 <00\r", "end 1"}},
                                           SessionCase{"ALaterOpenIsWaitedFor",
                                                       {"CR0"},
                                                       19200,
                                                       Opening::Later,
                                                       {{"CR0", "00\r"}},
                                                       {},
                                                       {},
                                                       {"CR0 <00\r", "end 0"}},
                                           SessionCase{"AnOpenRefusedAtOnceEndsBeforeAnyCode",
                                                       {"CR0"},
                                                       19200,
                                                       Opening::Refused,
                                                       {},
                                                       {},
                                                       {},
                                                       {"end 2 /dev/fake1: No such file"}},
                                           SessionCase{"ALaterOpenFailureNamesTheDeviceOnce",
                                                       {"CR0"},
                                                       19200,
                                                       Opening::LaterFails,
                                                       {},
                                                       {},
                                                       {},
                                                       {"end 2 /dev/fake1: refused"}},
                                           SessionCase{"ALineLostMidwayEndsWithoutItsAnswer",
                                                       {"CR0", "C00", "CR1"},
                                                       19200,
                                                       Opening::AtOnce,
                                                       {{"CR0", "00\r"}},
                                                       {},
                                                       "C00",
                                                       {"CR0 <00\r", "end 2 /dev/fake1: gone"}},
                                           SessionCase{"AFailedWriteEnds",
                                                       {"CR0"},
                                                       19200,
                                                       Opening::AtOnce,
                                                       {},
                                                       FakePort::Op::Output,
                                                       {},
                                                       {"end 2 /dev/fake1: refused"}},
                                           SessionCase{"SlowSpeedThroughTheWindowsOption",
                                                       {"CR0"},
                                                       9600,
                                                       Opening::AtOnce,
                                                       {{"CR0", "00\r"}},
                                                       {},
                                                       {},
                                                       {"CR0 <00\r", "end 0"},
                                                       "9600,N,8,1"},
                                           SessionCase{"ARefusedSpeedEndsAsTheWindowTellsIt",
                                                       {"CR0"},
                                                       9600,
                                                       Opening::AtOnce,
                                                       {},
                                                       FakePort::Op::SetSettings,
                                                       {},
                                                       {"end 2 /dev/fake1: refused"},
                                                       "9600,N,8,1"},
                                           SessionCase{.name = "HeldBytesBeforeAnOpenAtOnce",
                                                       .codes = {"CR0"},
                                                       .replies = {{"CR0", "00\r"}},
                                                       .told = {"CR0 <00\r", "end 0"},
                                                       .early = "1\r"},
                                           SessionCase{.name = "HeldBytesBeforeALaterOpen",
                                                       .codes = {"CR0"},
                                                       .opening = Opening::Later,
                                                       .replies = {{"CR0", "00\r"}},
                                                       .told = {"CR0 <00\r", "end 0"},
                                                       .early = "\x06"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CodeSessionTest, KeepsEverythingReceivedForARefusalReadAfterTheEnd) {
    run(SessionCase{.name = "",
                    .codes = {"CR0", "CR1"},
                    .replies = {{"CR0", "a"}, {"CR1", "b"}},
                    .early = "held"});
    EXPECT_EQ(session->received(), "heldab");
}

TEST_F(CodeSessionTest, DestroyedBeforeItsEndItClosesTheLineAndTellsNothing) {
    port.openLater();
    session = std::make_unique<CodeSession>(
        port, timers.all(), quiet, SessionRequest{{"CR0"}, {}, 19200},
        SessionEvents{{}, [this](SessionEnd, const std::string&) { told.push_back("end"); }});
    session->start();
    ASSERT_TRUE(port.isOpening());
    session.reset();
    EXPECT_FALSE(port.isOpening());
    EXPECT_TRUE(told.empty());
}

}  // namespace
}  // namespace panel::test
