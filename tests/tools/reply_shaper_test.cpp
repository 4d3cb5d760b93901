#include "tools/projector-sim/reply_shaper.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sim {
namespace {

using namespace std::chrono_literals;

constexpr Micros kT = 5'000'000us;

struct Delivery {
    Micros at;
    std::string bytes;
    friend bool operator==(const Delivery&, const Delivery&) = default;
    friend void PrintTo(const Delivery& d, std::ostream* os) {
        *os << "(" << d.at.count() << "us, \"" << testing::PrintToString(d.bytes) << "\")";
    }
};

// Drains the shaper by jumping from one due time to the next, as the event loop does.
std::vector<Delivery> drain(ReplyShaper& shaper) {
    std::vector<Delivery> out;
    while (const auto due = shaper.nextDue()) {
        EXPECT_EQ(shaper.takeDue(*due - 1us), "") << "bytes handed out before they were due";
        out.push_back({*due, shaper.takeDue(*due)});
    }
    return out;
}

struct ShapeCase {
    const char* name;
    ShapeSettings settings;
    std::vector<std::pair<Micros, std::string>> answers;  // (frame time, answer)
    std::vector<Delivery> expected;
    friend void PrintTo(const ShapeCase& c, std::ostream* os) { *os << c.name; }
};

class ReplyShaperTest : public testing::TestWithParam<ShapeCase> {};

TEST_P(ReplyShaperTest, DeliversEachPieceAtItsTime) {
    ReplyShaper shaper(GetParam().settings, 1);
    for (const auto& [when, answer] : GetParam().answers) shaper.schedule(answer, when);
    EXPECT_EQ(drain(shaper), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ReplyShaperTest,
    testing::Values(
        ShapeCase{"NoFaultAnswersAtOnce", {}, {{kT, "80\r"}}, {{kT, "80\r"}}},
        ShapeCase{"AckAlone", {}, {{kT, "\x06"}}, {{kT, "\x06"}}},
        ShapeCase{
            "LatencyDelaysTheWholeAnswer", {50ms, false, 0}, {{kT, "80\r"}}, {{kT + 50ms, "80\r"}}},
        ShapeCase{"SplitSendsHalvesApart",
                  {0ms, true, 0},
                  {{kT, "80\r"}},
                  {{kT, "8"}, {kT + ReplyShaper::kSplitGap, "0\r"}}},
        ShapeCase{"SplitLongAnswer",
                  {0ms, true, 0},
                  {{kT, "PROJECTOR\r"}},
                  {{kT, "PROJE"}, {kT + ReplyShaper::kSplitGap, "CTOR\r"}}},
        ShapeCase{"SplitLeavesOneByteWhole", {0ms, true, 0}, {{kT, "\x06"}}, {{kT, "\x06"}}},
        ShapeCase{"SplitAfterLatency",
                  {100ms, true, 0},
                  {{kT, "?\r"}},
                  {{kT + 100ms, "?"}, {kT + 100ms + ReplyShaper::kSplitGap, "\r"}}},
        ShapeCase{"LaterAnswerWaitsForTheTailOfASplitOne",
                  {0ms, true, 0},
                  {{kT, "80\r"}, {kT + 5ms, "40\r"}},
                  {{kT, "8"},
                   {kT + ReplyShaper::kSplitGap, "0\r4"},
                   {kT + 2 * ReplyShaper::kSplitGap, "0\r"}}},
        ShapeCase{"AnswersKeepTheirOrder",
                  {10ms, false, 0},
                  {{kT, "1\r"}, {kT + 1ms, "2\r"}},
                  {{kT + 10ms, "1\r"}, {kT + 11ms, "2\r"}}},
        ShapeCase{"EmptyAnswerSendsNothing", {}, {{kT, ""}}, {}}),
    [](const auto& info) { return info.param.name; });

std::string noisy(double rate, std::uint64_t seed, const std::string& answer) {
    ReplyShaper shaper(ShapeSettings{0ms, false, rate}, seed);
    shaper.schedule(answer, kT);
    return shaper.takeDue(kT);
}

TEST(ReplyShaperNoise, RateZeroLeavesAnswersAlone) {
    EXPECT_EQ(noisy(0.0, 7, "00\r"), "00\r");
}

TEST(ReplyShaperNoise, RateOneAddsOneByteBeforeEveryByte) {
    const std::string answer = "PROJECTOR-SIM V1.00\r";
    const std::string out = noisy(1.0, 7, answer);
    ASSERT_EQ(out.size(), 2 * answer.size());
    for (std::size_t i = 0; i < answer.size(); ++i) EXPECT_EQ(out[2 * i + 1], answer[i]);
}

TEST(ReplyShaperNoise, SameSeedSameNoiseOtherSeedOtherNoise) {
    const std::string answer(200, 'A');
    EXPECT_EQ(noisy(0.3, 42, answer), noisy(0.3, 42, answer));
    EXPECT_NE(noisy(0.3, 42, answer), noisy(0.3, 43, answer));
}

TEST(ReplyShaperNoise, RateIsTheShareOfBytesPreceded) {
    const std::string answer(20000, '\x06');  // noise bytes other than ACK stand out
    const std::string out = noisy(0.25, 3, answer);
    const double added = static_cast<double>(out.size() - answer.size()) / answer.size();
    EXPECT_NEAR(added, 0.25, 0.02);
}

}  // namespace
}  // namespace sim
