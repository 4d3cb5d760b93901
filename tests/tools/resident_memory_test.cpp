// The memory figures read from /proc/<pid>/status, as the soaks, the measure and the tests use
// them.
#include "testkit/resident_memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace panel::test {
namespace {

struct StatusCase {
    const char* name;
    friend void PrintTo(const StatusCase& c, std::ostream* os) { *os << c.name; }
    const char* process;
    const char* key;
    bool found;
};

class StatusKiBTest : public ::testing::TestWithParam<StatusCase> {};

TEST_P(StatusKiBTest, ReadsTheFigureOrZero) {
    const std::int64_t kib = StatusKiB(GetParam().process, GetParam().key);
    if (GetParam().found)
        EXPECT_GT(kib, 0);
    else
        EXPECT_EQ(kib, 0);
}

INSTANTIATE_TEST_SUITE_P(Table, StatusKiBTest,
                         ::testing::Values(StatusCase{"Resident", "self", "VmRSS", true},
                                           StatusCase{"Peak", "self", "VmHWM", true},
                                           StatusCase{"OnlyAWholeKey", "self", "VmRS", false},
                                           StatusCase{"UnknownKey", "self", "NoSuchFigure", false},
                                           StatusCase{"NoSuchProcess", "0", "VmRSS", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ResidentKiBTest, GrowsWithMemoryTouched) {
    const std::int64_t before = ResidentKiB();
    constexpr std::size_t kSize = 16 << 20;
    const auto block = std::make_unique<char[]>(kSize);
    std::memset(block.get(), 1, kSize);
    EXPECT_GT(ResidentKiB(), before + 8 * 1024);
    EXPECT_EQ(block[kSize - 1], 1);
}

}  // namespace
}  // namespace panel::test
