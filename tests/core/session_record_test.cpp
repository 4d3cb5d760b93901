// The session as the controller reports it: command, reply and meaning, and the line coming and
// going.
#include <gmock/gmock.h>

#include "testkit/controls.h"
#include "tests/core/controller_fixture.h"

namespace panel::test {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

class SessionRecordTest : public ControllerFixture, private SessionObserver {
protected:
    void SetUp() override {
        controller.setSessionObserver(this);  // from start-up on
        ControllerFixture::SetUp();
    }
    void record(const SessionEvent& e) override {
        static constexpr const char* kNames[] = {"open", "sent",     "received", "answer", "speed",
                                                 "lost", "reopened", "closed",   "note",   "late"};
        seen.push_back(std::string(kNames[static_cast<int>(e.kind)]) + ' ' +
                       std::to_string(e.port) + ' ' + std::string(e.data));
    }
    std::vector<std::string> seen;
};

TEST_F(SessionRecordTest, AnExchangeReadsAsCommandReplyMeaning) {
    click(controls::kStatus);
    port.receive("00");
    port.receive("\r");
    clock.advance(500ms);
    click(controls::kPowerOn);
    clock.advance(500ms);
    EXPECT_THAT(seen,
                ElementsAre("open 1 19200,N,8,1", "sent 1 CR0\r", "received 1 00", "received 1 \r",
                            "answer 1  Power ON", "sent 1 C00\r", "answer 1  X X X X"));
}

TEST_F(SessionRecordTest, AFloodIsRecordedWholePastWhatRecvDataHolds) {
    const std::string flood(kRecvDataLimit + 100, 'Z');
    port.receive(flood);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1], "received 1 " + flood);
}

TEST_F(SessionRecordTest, TheLineGoingAndComingBack) {
    port.hangUp({"gone"});
    click(controls::kStatus);  // nothing goes out, so no answer is due either
    clock.advance(500ms);
    port.reopenBySelf();
    click(controls::kBaud9600);
    click(controls::kCom2);
    port.failOn(FakePort::Op::Output, {"write failed"});
    click(controls::kPowerOn);
    port.clearFailure(FakePort::Op::Output);
    click(controls::kCom1);
    click(controls::kEnd);
    EXPECT_THAT(seen, ElementsAre("open 1 19200,N,8,1", "lost 1 gone", "reopened 1 19200,N,8,1",
                                  "speed 1 9600,N,8,1", "closed 1 ", "open 2 9600,N,8,1",
                                  "lost 2 write failed", "open 1 9600,N,8,1", "closed 1 "));
}

}  // namespace
}  // namespace panel::test
