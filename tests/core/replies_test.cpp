#include "core/replies.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/trace.h"
#include "tests/support/expected_replies.h"

namespace panel {
namespace {

// What Label22 would show after `reply` answered `query` (nothing when no decoder set it).
std::optional<std::string> DecodeAnswer(const std::string& query, const std::string& reply) {
    return DecodeReply(query + "\r", "", RenderTrace(reply)).caption;
}

class DecoderRowTest : public testing::TestWithParam<expected::Reply> {};

TEST_P(DecoderRowTest, ReplySetsItsCaption) {
    const expected::Reply& c = GetParam();
    const std::string reply = std::string(c.code) + "\r";
    EXPECT_EQ(DecodeAnswer(c.query, reply), c.caption);
    // The characters after the code do not matter.
    EXPECT_EQ(DecodeAnswer(c.query, reply + "99\r"), c.caption);
}

INSTANTIATE_TEST_SUITE_P(EveryTableRow, DecoderRowTest, testing::ValuesIn(expected::kReplies),
                         [](const auto& info) { return info.param.name; });

struct MissCase {
    const char* name;
    const char* query;
    std::string reply;
    friend void PrintTo(const MissCase& c, std::ostream* os) { *os << c.name; }
};

class DecoderMissTest : public testing::TestWithParam<MissCase> {};

TEST_P(DecoderMissTest, NonMatchingReplySetsNothing) {
    EXPECT_EQ(DecodeAnswer(GetParam().query, GetParam().reply), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    TableDecoders, DecoderMissTest,
    testing::Values(
        MissCase{"StatusUnknownCode", "CR0", "99\r"}, MissCase{"StatusIncomplete", "CR0", "0"},
        MissCase{"StatusLeadingSpace", "CR0", " 00\r"},
        MissCase{"StatusLeadingAck", "CR0",
                 "\x06"
                 "00\r"},
        MissCase{"StatusLeadingCr", "CR0", "\r00\r"}, MissCase{"StatusEmpty", "CR0", ""},
        MissCase{"InputUnknown", "CR1", "5\r"}, MissCase{"InputLeadingSpace", "CR1", " 1\r"},
        MissCase{"InputLeadingLf", "CR1", "\n1\r"}, MissCase{"ReversalUnknown", "CR4", "22\r"},
        MissCase{"ReversalLeadingTab", "CR4", "\t11\r"}, MissCase{"MuteLowerCase", "CRA", "ff\r"},
        MissCase{"MuteMixedCase", "CRA", "Ff\r"}, MissCase{"MuteLeadingSpace", "CRA", " 00\r"},
        MissCase{"LampUnknown", "CR7", "21\r"},
        MissCase{"LampLeadingDc4", "CR7",
                 "\x14"
                 "00\r"},
        MissCase{"LampIncomplete", "CR7", "2"}),
    [](const auto& info) { return info.param.name; });

TEST(DecoderSelection, OnlyTheExactQueryFrameSelectsADecoder) {
    const std::string trace = RenderTrace("00\r");
    struct Frame {
        const char* sendData;
        bool decodes;
    };
    for (const Frame& f :
         {Frame{"CR0\r", true}, Frame{"C00\r", false}, Frame{"cr0\r", false},
          Frame{"CR0 \r", false}, Frame{" CR0\r", false}, Frame{"CR0", false},
          Frame{"CR0\r\r", false}, Frame{"CR0\n", false}, Frame{"", false}, Frame{"\r", false}}) {
        EXPECT_EQ(DecodeReply(f.sendData, "", trace).caption.has_value(), f.decodes)
            << '"' << f.sendData << '"';
    }
}

TEST(DecoderSelection, PressureQueryMustMatchCaseAndSpacing) {
    const std::string trace = RenderTrace("512\r");
    EXPECT_EQ(DecodeReply("CR PRESSURE\r", "", trace).caption, "650 hPa");
    for (const char* typed :
         {"cr pressure\r", "CR  PRESSURE\r", "CR PRESSURE \r", "CRPRESSURE\r", "CR Pressure\r"}) {
        EXPECT_FALSE(DecodeReply(typed, "", trace).caption) << typed;
    }
}

TEST(DecoderSelection, CommandPrefixIsPartOfTheQueryFrame) {
    const std::string trace = RenderTrace("00\r");
    EXPECT_EQ(DecodeReply("#CR0\r", "#", trace).caption, expected::Caption("CR0", "00"));
    EXPECT_FALSE(DecodeReply("CR0\r", "#", trace).caption);
}

TEST(LampHours, ShowsTheFirst38TraceCharactersAndHourUse) {
    EXPECT_EQ(DecodeAnswer("CR3", "1234\r"), " 1 2 3 4 CR  Hour Use");
    EXPECT_EQ(DecodeAnswer("CR3", ""), "  Hour Use");
    // 19 reply characters fill the 38 positions; the rest is cut.
    EXPECT_EQ(DecodeAnswer("CR3", "ABCDEFGHIJKLMNOPQRSTUVWXYZ\r"),
              " A B C D E F G H I J K L M N O P Q R S Hour Use");
    // Control tokens are shown as they stand.
    EXPECT_EQ(DecodeAnswer("CR3",
                           "\x06"
                           "01234\r"),
              " ACK 0 1 2 3 4 CR  Hour Use");
}

TEST(Temperatures, CutsThreePiecesFromTheTrace) {
    EXPECT_EQ(DecodeAnswer("CR6", "ABCDEFGHIJKLMNOPQ"),
              "  S1= A B C D E C  ,   S2=  H I J K C , S3= M N O P Q C");
    EXPECT_EQ(DecodeAnswer("CR6", "034.5 041.0 038.2\r"),
              "  S1= 0 3 4 . 5 C  ,   S2=  4 1 . 0 C , S3= 0 3 8 . 2 C");
}

TEST(Temperatures, ShortTracesLeaveLaterPiecesEmpty) {
    EXPECT_EQ(DecodeAnswer("CR6", "12345\r"), "  S1= 1 2 3 4 5 C  ,   S2=  C , S3= C");
    EXPECT_EQ(DecodeAnswer("CR6", "1\r"), "  S1= 1 CR  C  ,   S2=  C , S3= C");
    EXPECT_EQ(DecodeAnswer("CR6", ""), "  S1=  C  ,   S2=  C , S3= C");
    // A trace that reaches into the second piece only.
    EXPECT_EQ(DecodeAnswer("CR6", "ABCDEFGH"), "  S1= A B C D E C  ,   S2=  H  C , S3= C");
}

TEST(RawReply, ShowsTheWholeTrace) {
    const std::string reply = "PROJECTOR SIM\r\n\x06";
    EXPECT_EQ(DecodeAnswer("CR9", reply), RenderTrace(reply));
    EXPECT_EQ(DecodeAnswer("CR9", ""), " ");
}

struct PressureCase {
    const char* name;
    std::string reply;
    std::optional<std::string> caption;
    std::optional<std::int16_t> value;
    friend void PrintTo(const PressureCase& c, std::ostream* os) { *os << c.name; }
};

class PressureTest : public testing::TestWithParam<PressureCase> {};

TEST_P(PressureTest, ReadingGivesPressure) {
    const Decoded d = DecodeReply("CR PRESSURE\r", "", RenderTrace(GetParam().reply));
    EXPECT_EQ(d.caption, GetParam().caption);
    EXPECT_EQ(d.pressureValue, GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Readings, PressureTest,
    testing::Values(PressureCase{"Typical", "512\r", "650 hPa", 650},
                    PressureCase{"Thousand", "1000\r", "1169 hPa", 1169},
                    PressureCase{"TenBitMaximum", "1023\r", "1194 hPa", 1194},
                    PressureCase{"Zero", "0\r", "106 hPa", 106},
                    PressureCase{"NoDigits", "\r", "106 hPa", 106},
                    PressureCase{"EmptyReply", "", "106 hPa", 106},
                    PressureCase{"SignWithoutDigits", "-\r", "106 hPa", 106},
                    PressureCase{"LowestCarried", "-6553\r", "-6865 hPa", -6865},
                    PressureCase{"HighestCarried", "6553\r", "7077 hPa", 7077},
                    PressureCase{"JustAboveTheRange", "6554\r", std::nullopt, std::nullopt},
                    PressureCase{"JustBelowTheRange", "-6554\r", std::nullopt, std::nullopt},
                    PressureCase{"HalfRoundsDownToEven", "6553.5\r", std::nullopt, std::nullopt},
                    PressureCase{"HalfBelowTheEdgeRoundsToEven", "6552.5\r", "7076 hPa", 7076},
                    PressureCase{"HalfRoundsUpToEven", "511.5\r", "650 hPa", 650},
                    PressureCase{"Hexadecimal",
                                 "\x14"
                                 "H200\n",
                                 "650 hPa", 650},
                    PressureCase{"HexadecimalLowerDigits",
                                 "\x14"
                                 "H3ff\n",
                                 "1194 hPa", 1194},
                    // The "C" of the CR token is a hexadecimal digit: &H200C is out of range.
                    PressureCase{"HexadecimalRunsIntoCrToken",
                                 "\x14"
                                 "H200\r",
                                 std::nullopt, std::nullopt},
                    PressureCase{"Octal",
                                 "\x14"
                                 "O1000\r",
                                 "650 hPa", 650},
                    PressureCase{"AmpersandWithoutRadix",
                                 "\x14"
                                 "X512\r",
                                 "106 hPa", 106},
                    PressureCase{"Exponent", "5.12E2\r", "650 hPa", 650},
                    PressureCase{"ExponentWithD", "5120D-1\r", "650 hPa", 650},
                    PressureCase{"ExponentWithoutDigits", "512E\r", "650 hPa", 650},
                    PressureCase{"SecondPointEndsTheNumber", "512.4.9\r", "650 hPa", 650},
                    PressureCase{"Huge", "99999999999999999999\r", std::nullopt, std::nullopt},
                    PressureCase{"Overflowing", "1E999\r", std::nullopt, std::nullopt},
                    PressureCase{"Underflowing", "1E-999\r", "106 hPa", 106},
                    // The magnitude counts the zeros after the point (about 1E-396) and the
                    // digits before it (about 1E+396), whatever the exponent says.
                    PressureCase{"TinyDespitePositiveExponent",
                                 "0." + std::string(400, '0') + "1E5\r", "106 hPa", 106},
                    PressureCase{"TinyWithLeadingZeros", "000." + std::string(400, '0') + "1E5\r",
                                 "106 hPa", 106},
                    PressureCase{"HugeDespiteNegativeExponent",
                                 "1" + std::string(400, '0') + "E-5\r", std::nullopt, std::nullopt},
                    PressureCase{"NegativeTinyReadsAsZero", "-0." + std::string(400, '0') + "9E3\r",
                                 "106 hPa", 106},
                    // In the trace an LF is the token "LF ", whose letter ends the number.
                    PressureCase{"LeadingLinefeedReadsAsNoDigits", "\n512\r", "106 hPa", 106}),
    [](const auto& info) { return info.param.name; });

TEST(ReadNumber, SkipsBlanksWhereverTheyStand) {
    EXPECT_EQ(ReadNumber(" 5 1 2 CR "), 512);
    EXPECT_EQ(ReadNumber("  - 1 2 . 5 E + 1"), -125);
    EXPECT_EQ(ReadNumber("\t\n 7"), 7);
    EXPECT_EQ(ReadNumber("& H F F"), 255);
    EXPECT_EQ(ReadNumber(".5"), 0.5);
    EXPECT_EQ(ReadNumber("+"), 0);
    EXPECT_EQ(ReadNumber("CR"), 0);
    EXPECT_EQ(ReadNumber("&O8"), 0);
    EXPECT_TRUE(std::isinf(ReadNumber("-1E999")));
    EXPECT_LT(ReadNumber("-1E999"), 0);
}

TEST(PressureFromReading, RoundsHalvesToEvenAtBothSteps) {
    EXPECT_EQ(PressureFromReading(2.5)->reading, 2);
    EXPECT_EQ(PressureFromReading(3.5)->reading, 4);
    EXPECT_EQ(PressureFromReading(-2.5)->reading, -2);
    EXPECT_FALSE(PressureFromReading(NAN));
    EXPECT_FALSE(PressureFromReading(INFINITY));
    EXPECT_FALSE(PressureFromReading(1e300));
}

TEST(PressureFromReading, EveryCarriedReadingStaysInItsRange) {
    for (int r = -6553; r <= 6553; ++r) {
        auto p = PressureFromReading(r);
        ASSERT_TRUE(p) << r;
        EXPECT_EQ(p->reading, r);
        EXPECT_GE(p->hpa, -6865);
        EXPECT_LE(p->hpa, 7077);
    }
}

struct EndCase {
    const char* name;
    const char* sent;
    std::string received;
    std::optional<std::size_t> end;
};

class AnswerEndTest : public testing::TestWithParam<EndCase> {};

TEST_P(AnswerEndTest, AnAnswerEndsAtWhatTheDecoderKnowsToEndIt) {
    EXPECT_EQ(AnswerEnd(GetParam().sent, "", GetParam().received), GetParam().end);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AnswerEndTest,
    testing::Values(EndCase{"QueryAtItsCr", "CR0\r", "00\r", 3},
                    EndCase{"QueryNotYet", "CR3\r", "0123", std::nullopt},
                    EndCase{"QueryAtItsFirstCr", "CR1\r", "1\r2\r", 2},
                    EndCase{"QueryNotEndedByAck", "CR0\r", "\x06", std::nullopt},
                    EndCase{"WordedQueryAtItsCr", "CR PRESSURE\r", "512\r", 4},
                    EndCase{"CommandAtItsAck", "C00\r", "\x06", 1},
                    EndCase{"CommandAckBeforeMore", "C00\r",
                            "\x06"
                            "00\r",
                            1},
                    EndCase{"CommandRefusedAtItsCr", "C00\r", "?\r", 2},
                    EndCase{"TypedCommandAtItsAck", "CF FANMODE L1\r", "\x06", 1},
                    EndCase{"NothingYet", "C00\r", "", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AnswerEnd, TheCommandPrefixStandsBeforeTheQuery) {
    EXPECT_EQ(AnswerEnd("01CR0\r", "01", "\x06"), std::nullopt);
    EXPECT_EQ(AnswerEnd("01C00\r", "01", "\x06"), 1U);
}

}  // namespace
}  // namespace panel
