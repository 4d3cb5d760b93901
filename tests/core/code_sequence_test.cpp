// Which reply window and clearing delay each code gets when the shell or the fleet sends it.
#include "core/code_sequence.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace panel {
namespace {

struct WindowCase {
    const char* name;
    friend void PrintTo(const WindowCase& c, std::ostream* os) { *os << c.name; }
    const char* code;
    std::optional<int> waitMs;
    IntervalPair expected;
};

class CodeIntervalsTest : public ::testing::TestWithParam<WindowCase> {};

TEST_P(CodeIntervalsTest, AsAClickFromStartUpElseTheManualEntryElseWait) {
    EXPECT_EQ(codeIntervals(GetParam().code, GetParam().waitMs), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, CodeIntervalsTest,
                         ::testing::Values(
                             // A button that sets no pair sends with the start-up pair.
                             WindowCase{"StatusQuery", "CR0", {}, Pair(500, 1000)},
                             WindowCase{"PowerOn", "C00", {}, Pair(500, 1000)},
                             WindowCase{"PictureMode", "C11", {}, Pair(2000, 2500)},
                             WindowCase{
                                 "InputSignalWorded", "CF INPUT HDMI HDMI", {}, Pair(5000, 5500)},
                             // No one-shot button: the manual entry's pair.
                             WindowCase{"HeldButtonsCode", "C09", {}, Pair(2000, 2500)},
                             WindowCase{"TypedQuery", "CR PRESSURE", {}, Pair(2000, 2500)},
                             WindowCase{"CaseCounts", "cr0", {}, Pair(2000, 2500)},
                             WindowCase{"Empty", "", {}, Pair(2000, 2500)},
                             WindowCase{"WaitOverridesAButtonsPair", "C50", 1200, Pair(1200, 1700)},
                             WindowCase{"WaitZero", "CR0", 0, Pair(0, 500)}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace panel
