// A session asked to take each answer once it has ended: when each code's answer is told, on
// virtual time, against a far end that answers on a script; and a session that was not asked
// still waits out every reply window.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>

#include "core/code_session.h"
#include "testkit/controller_rig.h"

namespace panel::test {
namespace {

using namespace std::chrono_literals;
using Told = std::vector<std::string>;

// A piece of an answer, this long after the code's write.
struct Piece {
    std::chrono::milliseconds after;
    std::string bytes;
};

struct EndedCase {
    const char* name;
    friend void PrintTo(const EndedCase& c, std::ostream* os) { *os << c.name; }
    std::vector<std::string> codes;
    std::map<std::string, std::vector<Piece>> script;  // the far end's answer to each code
    bool completeWhenEnded = true;
    Told told;  // "<ms since start> <code> <answer bytes>" or "... -" for none, then the end
    Told late = {};
    std::optional<std::chrono::milliseconds> quiet = {};  // in place of kQuiet
    std::optional<long long> openAt = {};                 // the open settles then, not at once
    std::string held = {};                                // given by the line as it opens
};

constexpr auto kQuiet = CodeSession::kQuietBeforeFirstCode.count();
constexpr auto kGap = CodeSession::kQuietAfterEndedAnswer.count();
constexpr auto kWindow = kLayoutPair.replyWindow.count();
// A wait of no length is served on the virtual clock's next step.
constexpr long long kTurn = 1;

std::string at(long long ms, const std::string& what) {
    return std::to_string(ms) + ' ' + what;
}

class EndedAnswerTest : public ::testing::TestWithParam<EndedCase>, private SessionObserver {
protected:
    void run(const EndedCase& c) {
        session = std::make_unique<CodeSession>(
            port, timers.all(), quiet,
            SessionRequest{c.codes, {}, 19200, c.completeWhenEnded, c.quiet},
            SessionEvents{[this](const CodeAnswer& a) {
                              told.push_back(at(clock.now().count(),
                                                a.command + (a.replied ? " " + a.bytes : " -")));
                          },
                          [this](SessionEnd end, const std::string&) {
                              told.push_back(at(clock.now().count(),
                                                "end " + std::to_string(static_cast<int>(end))));
                          }});
        session->setSessionObserver(this);
        if (c.openAt) port.openLater();
        session->start();
        std::vector<std::pair<std::chrono::milliseconds, std::string>> due;
        std::size_t seen = 0;
        for (int step = 0; step < 5000 && !ended(); ++step) {
            for (; seen < port.writes().size(); ++seen) {
                std::string code = port.writes()[seen];
                code.pop_back();  // its CR
                for (const Piece& piece :
                     c.script.count(code) ? c.script.at(code) : std::vector<Piece>{})
                    due.emplace_back(clock.now() + piece.after, piece.bytes);
            }
            if (c.openAt && clock.now().count() == *c.openAt) {
                port.settleOpen();
                if (!c.held.empty()) port.receive(c.held);
            }
            for (auto& [when, bytes] : due)
                if (when == clock.now()) port.receive(bytes);
            clock.advance(1ms);
        }
    }
    bool ended() const { return !told.empty() && told.back().find(" end ") != std::string::npos; }
    void record(const SessionEvent& e) override {
        if (e.kind == SessionEventKind::Late) late.emplace_back(e.data);
    }

    VirtualClock clock;
    FakeTimers timers{clock};
    FakeTimer& quiet = clock.makeTimer("Quiet");
    FakePort port;
    std::unique_ptr<CodeSession> session;
    Told told;
    Told late;
};

TEST_P(EndedAnswerTest, TellsEachAnswerWhenItEndsOrItsWindowCloses) {
    const EndedCase& c = GetParam();
    run(c);
    EXPECT_EQ(told, c.told);
    EXPECT_EQ(late, c.late);
    EXPECT_FALSE(port.isOpen());
}

// Codes go out at kQuiet, then kGap after each ended answer, or at the window's close; the last
// answer ends the session as it ends.
INSTANTIATE_TEST_SUITE_P(
    Table, EndedAnswerTest,
    ::testing::Values(
        EndedCase{"AQueryEndsAtItsCr",
                  {"CR0", "CR1", "CR3"},
                  {{"CR0", {{2ms, "00\r"}}}, {"CR1", {{2ms, "1\r"}}}, {"CR3", {{3ms, "01234\r"}}}},
                  true,
                  {at(kQuiet + 2 + kGap, "CR0 00\r"), at(kQuiet + 2 * (2 + kGap), "CR1 1\r"),
                   at(kQuiet + 2 * (2 + kGap) + 3 + kTurn, "CR3 01234\r"),
                   at(kQuiet + 2 * (2 + kGap) + 3 + kTurn, "end 0")}},
        EndedCase{"ACommandEndsAtItsAck",
                  {"C00"},
                  {{"C00", {{1ms, "\x06"}}}},
                  true,
                  {at(kQuiet + 1 + kTurn, "C00 \x06"), at(kQuiet + 1 + kTurn, "end 0")}},
        EndedCase{"ACommandRefusedEndsAtItsCr",
                  {"C00"},
                  {{"C00", {{1ms, "?\r"}}}},
                  true,
                  {at(kQuiet + 1 + kTurn, "C00 ?\r"), at(kQuiet + 1 + kTurn, "end 0")}},
        EndedCase{"ASplitAnswerEndsAtItsLastPieceOnly",
                  {"CR3"},
                  {{"CR3", {{1ms, "01"}, {20ms, "23"}, {40ms, "4\r"}}}},
                  true,
                  {at(kQuiet + 40 + kTurn, "CR3 01234\r"), at(kQuiet + 40 + kTurn, "end 0")}},
        EndedCase{"ASilentProjectorTakesTheFullWindow",
                  {"CR0", "CR1"},
                  {{"CR1", {{1ms, "1\r"}}}},
                  true,
                  {at(kQuiet + kWindow, "CR0 -"), at(kQuiet + kWindow + 1 + kTurn, "CR1 1\r"),
                   at(kQuiet + kWindow + 1 + kTurn, "end 1")}},
        EndedCase{"AnAnswerWithoutItsEndTakesTheFullWindow",
                  {"CR0"},
                  {{"CR0", {{1ms, "00"}}}},
                  true,
                  {at(kQuiet + kWindow, "CR0 00"), at(kQuiet + kWindow, "end 0")}},
        EndedCase{"AnAckDoesNotEndAQuery",
                  {"CR0"},
                  {{"CR0", {{1ms, "\x06"}}}},
                  true,
                  {at(kQuiet + kWindow, "CR0 \x06"), at(kQuiet + kWindow, "end 0")}},
        EndedCase{"BytesBehindTheEndInTheSameReadAreLate",
                  {"CR0", "CR1"},
                  {{"CR0", {{1ms, "00\r\n"}}}, {"CR1", {{1ms, "1\r"}}}},
                  true,
                  {at(kQuiet + 1 + kGap, "CR0 00\r"), at(kQuiet + 1 + kGap + 1 + kTurn, "CR1 1\r"),
                   at(kQuiet + 1 + kGap + 1 + kTurn, "end 0")},
                  {"\n"}},
        EndedCase{"BytesAfterTheEndAreNoAnswerToTheNextCode",
                  {"CR0", "CR1"},
                  {{"CR0", {{1ms, "00\r"}, {3ms, "40\r"}}}, {"CR1", {{2ms, "1\r"}}}},
                  true,
                  {at(kQuiet + 1 + kGap, "CR0 00\r"), at(kQuiet + 1 + kGap + 2 + kTurn, "CR1 1\r"),
                   at(kQuiet + 1 + kGap + 2 + kTurn, "end 0")},
                  {"40\r"}},
        // The quiet runs while the line opens: the first code waits for the later of the two.
        EndedCase{"AnOpenWithinTheQuietDelaysNothing",
                  {"CR0"},
                  {{"CR0", {{1ms, "00\r"}}}},
                  true,
                  {at(kQuiet + 1 + kTurn, "CR0 00\r"), at(kQuiet + 1 + kTurn, "end 0")},
                  {},
                  {},
                  kQuiet - 10},
        EndedCase{"AnOpenLongerThanTheQuietIsWaitedFor",
                  {"CR0"},
                  {{"CR0", {{1ms, "00\r"}}}},
                  true,
                  {at(80 + kTurn + 1 + kTurn, "CR0 00\r"), at(80 + kTurn + 1 + kTurn, "end 0")},
                  {},
                  {},
                  80},
        EndedCase{"WhatTheLineHeldComesWithTheOpenAndIsNoAnswer",
                  {"CR0"},
                  {{"CR0", {{1ms, "00\r"}}}},
                  true,
                  {at(80 + kTurn + 1 + kTurn, "CR0 00\r"), at(80 + kTurn + 1 + kTurn, "end 0")},
                  {},
                  {},
                  80,
                  "40\r"},
        EndedCase{"AShorterQuietAsked",
                  {"CR0"},
                  {{"CR0", {{1ms, "00\r"}}}},
                  true,
                  {at(20 + 1 + kTurn, "CR0 00\r"), at(20 + 1 + kTurn, "end 0")},
                  {},
                  20ms},
        // The window and the shell: every answer waits for its window, and what comes late in
        // it is still its own.
        EndedCase{"NotAskedEveryWindowIsWaitedOut",
                  {"CR0", "CR1"},
                  {{"CR0", {{1ms, "00\r"}, {3ms, "\n"}}}, {"CR1", {{2ms, "1\r"}}}},
                  false,
                  {at(kQuiet + kWindow, "CR0 00\r\n"), at(kQuiet + 2 * kWindow, "CR1 1\r"),
                   at(kQuiet + 2 * kWindow, "end 0")}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace panel::test
