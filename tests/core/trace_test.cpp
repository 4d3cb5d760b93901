#include "core/trace.h"

#include <gtest/gtest.h>

#include <string>

namespace panel {
namespace {

struct TraceCase {
    const char* name;
    std::string text;
    std::string trace;
    friend void PrintTo(const TraceCase& c, std::ostream* os) { *os << c.name; }
};

class RenderTraceTest : public testing::TestWithParam<TraceCase> {};

TEST_P(RenderTraceTest, RendersEachCharacterAsItsToken) {
    EXPECT_EQ(RenderTrace(GetParam().text), GetParam().trace);
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, RenderTraceTest,
    testing::Values(
        TraceCase{"Empty", "", " "}, TraceCase{"PowerOnFrame", "C00\r", " C 0 0 CR "},
        TraceCase{"TwoZerosAndCr", "00\r", " 0 0 CR "}, TraceCase{"CrLf", "\r\n", " CR LF "},
        TraceCase{"Dc4HasNoTrailingSpace",
                  "\x14"
                  "1",
                  " &1 "},
        TraceCase{"Ack", "\x06", " ACK "}, TraceCase{"SpaceIsDoubled", " ", "   "},
        TraceCase{"LowestAndHighestPrintable", " z", "   z "},
        TraceCase{"LettersKeepTheirCase", "Az", " A z "},
        TraceCase{"BracesTildeAndDel", "{|}~\x7f", " ? ? ? ? ? "},
        TraceCase{"TabNulAndOtherControls", std::string("\t\0\x1f\x01\x15", 5), " ? ? ? ? ? "},
        TraceCase{"HighCodes", "\x80\xa0\xff", " ? ? ? "},
        TraceCase{"WordedCommand", "CF FANMODE L1\r", " C F   F A N M O D E   L 1 CR "}),
    [](const auto& info) { return info.param.name; });

TEST(RenderTrace, EveryCodeHasExactlyOneToken) {
    for (int c = 0; c < 256; ++c) {
        const std::string trace = RenderTrace(std::string(1, static_cast<char>(c)));
        std::string expected;
        if (c == 6)
            expected = " ACK ";
        else if (c == 20)
            expected = " &";
        else if (c == 13)
            expected = " CR ";
        else if (c == 10)
            expected = " LF ";
        else if (c >= 32 && c <= 122)
            expected = std::string(" ") + static_cast<char>(c) + " ";
        else
            expected = " ? ";
        EXPECT_EQ(trace, expected) << "code " << c;
    }
}

TEST(RenderTrace, OrdinaryCharacterStandsAtEvenPosition) {
    const std::string text = "0123456789ABCDEFGHIJ";
    const std::string trace = RenderTrace(text);
    ASSERT_EQ(trace.size(), 1 + 2 * text.size());
    for (std::size_t k = 1; k <= text.size(); ++k) {
        EXPECT_EQ(trace[2 * k - 1], text[k - 1]);  // position 2k, counting from 1
        EXPECT_EQ(trace[2 * k], ' ');
    }
}

TEST(AppendTrace, GrowingTextTracesLikeTheWhole) {
    const std::string whole = std::string(
                                  "0\x06\x14"
                                  "A\r\n\xff ",
                                  8) +
                              "CR9";
    for (std::size_t split = 0; split <= whole.size(); ++split) {
        std::string trace = RenderTrace(whole.substr(0, split));
        AppendTrace(trace, whole.substr(split));
        EXPECT_EQ(trace, RenderTrace(whole)) << "split at " << split;
    }
}

}  // namespace
}  // namespace panel
