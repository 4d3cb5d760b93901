#include "tools/projector-sim/flood_source.h"

#include <gtest/gtest.h>

#include <string>

namespace sim {
namespace {

using namespace std::chrono_literals;

constexpr Micros kStart = 2'000'000us;

struct PaceCase {
    const char* name;
    std::uint64_t rate;
    Micros after;
    std::size_t bytes;
    friend void PrintTo(const PaceCase& c, std::ostream* os) { *os << c.name; }
};

class FloodPaceTest : public testing::TestWithParam<PaceCase> {};

TEST_P(FloodPaceTest, OwesRateTimesElapsedRoundedDown) {
    FloodSource flood(GetParam().rate, kStart);
    EXPECT_EQ(flood.take(kStart + GetParam().after).size(), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Rates, FloodPaceTest,
                         testing::Values(PaceCase{"NothingAtStart", 1000, 0us, 0},
                                         PaceCase{"NothingBeforeTheFirstSlot", 10, 99999us, 0},
                                         PaceCase{"FirstByteAtItsSlot", 10, 100ms, 1},
                                         PaceCase{"OneSecond", 9600, 1s, 9600},
                                         PaceCase{"PartSecond", 9600, 250ms, 2400},
                                         PaceCase{"LongRunHighRate", 10'000'000, 1h,
                                                  FloodSource::kMaxBatch},
                                         PaceCase{"OddRate", 7, 1s, 7}),
                         [](const auto& info) { return info.param.name; });

TEST(FloodSource, SlowRateBytesFallDueEvenlySpaced) {
    FloodSource flood(10, kStart);
    for (int i = 1; i <= 25; ++i) {
        const Micros due = flood.nextDue();
        EXPECT_EQ(due, kStart + i * 100ms);
        EXPECT_EQ(flood.take(due - 1us), "");
        EXPECT_EQ(flood.take(due).size(), 1u);
    }
}

TEST(FloodSource, FastRateWakesOncePerMillisecond) {
    FloodSource flood(1'000'000, kStart);
    EXPECT_EQ(flood.nextDue(), kStart + 1ms);
    EXPECT_EQ(flood.take(kStart + 1ms).size(), 1000u);
    EXPECT_EQ(flood.nextDue(), kStart + 2ms);
}

TEST(FloodSource, PatternRunsOnAcrossTakes) {
    FloodSource flood(1000, kStart);
    std::string stream;
    for (Micros t = 1ms; t <= 200ms; t += 7ms) stream += flood.take(kStart + t);
    ASSERT_GT(stream.size(), FloodSource::kPattern.size() * 3);
    for (std::size_t i = 0; i < stream.size(); ++i)
        ASSERT_EQ(stream[i], FloodSource::kPattern[i % FloodSource::kPattern.size()]) << i;
    EXPECT_NE(FloodSource::kPattern.find('\r'), std::string_view::npos);
}

TEST(FloodSource, BacklogAfterAStallIsDroppedNotBurst) {
    FloodSource flood(100'000, kStart);
    EXPECT_EQ(flood.take(kStart + 10s).size(), FloodSource::kMaxBatch);
    EXPECT_EQ(flood.taken(), 1'000'000u);
    EXPECT_EQ(flood.take(kStart + 10s + 10ms).size(), 1000u);
}

TEST(FloodSource, SkippedBytesAreNeverSentAndThePaceGoesOn) {
    FloodSource flood(1000, kStart);
    flood.skip(kStart + 5s);
    EXPECT_EQ(flood.take(kStart + 5s), "");
    EXPECT_EQ(flood.nextDue(), kStart + 5s + 1ms);
    EXPECT_EQ(flood.take(kStart + 5s + 10ms).size(), 10u);
    flood.skip(kStart + 1s);  // a skip into the past takes nothing back
    EXPECT_EQ(flood.taken(), 5010u);
}

}  // namespace
}  // namespace sim
