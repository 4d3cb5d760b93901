#include "tools/projector-sim/responder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sim {
namespace {

using namespace std::chrono_literals;

constexpr Micros kAt = 7'000'000us;

struct Seen {
    Micros at;
    std::string frame;
    friend bool operator==(const Seen&, const Seen&) = default;
};

class ResponderTest : public testing::Test {
protected:
    explicit ResponderTest(ShapeSettings shape = {}, bool silent = false)
        : model_(ModelSettings{}, kAt),
          shaper_(shape, 1),
          responder_(model_, shaper_, silent, [this](Micros at, std::string_view frame) {
              seen_.push_back({at, std::string(frame)});
          }) {}

    ProjectorModel model_;
    ReplyShaper shaper_;
    std::vector<Seen> seen_;
    Responder responder_;
};

TEST_F(ResponderTest, EveryFrameIsRecordedWithItsReadTimeAndAnswered) {
    responder_.receive("CR0\rC0", kAt);
    responder_.receive("0\rCR0\r", kAt + 1ms);
    EXPECT_EQ(seen_, (std::vector<Seen>{{kAt, "CR0"}, {kAt + 1ms, "C00"}, {kAt + 1ms, "CR0"}}));
    EXPECT_EQ(responder_.takeDue(kAt + 1ms),
              "80\r\x06"
              "40\r");
    EXPECT_EQ(responder_.framesReceived(), 3u);
}

TEST_F(ResponderTest, NothingIsAnsweredUntilTheCrArrives) {
    responder_.receive("CR", kAt);
    EXPECT_FALSE(responder_.nextDue());
    EXPECT_TRUE(seen_.empty());
}

class SilentResponderTest : public ResponderTest {
protected:
    SilentResponderTest() : ResponderTest({}, true) {}
};

TEST_F(SilentResponderTest, NeverAnswersButStillRecordsAndObeys) {
    responder_.receive("C00\rCR0\r", kAt);
    EXPECT_FALSE(responder_.nextDue());
    EXPECT_EQ(seen_.size(), 2u);
    EXPECT_EQ(model_.power(kAt), Power::Warming);
}

class LateResponderTest : public ResponderTest {
protected:
    LateResponderTest() : ResponderTest({30ms, false, 0}) {}
};

TEST_F(LateResponderTest, AnswerFallsDueAfterTheLatency) {
    responder_.receive("CR1\r", kAt);
    EXPECT_EQ(responder_.nextDue(), kAt + 30ms);
    EXPECT_EQ(responder_.takeDue(kAt + 30ms), "1\r");
}

}  // namespace
}  // namespace sim
