#include "tools/projector-sim/sim_options.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace sim {
namespace {

ParsedOptions parse(const std::vector<std::string_view>& args) {
    return parseOptions(args);
}

struct GoodCase {
    const char* name;
    std::vector<std::string_view> args;
    std::function<void(SimOptions&)> expect;  // applied to the defaults
    friend void PrintTo(const GoodCase& c, std::ostream* os) { *os << c.name; }
};

class GoodOptionsTest : public testing::TestWithParam<GoodCase> {};

TEST_P(GoodOptionsTest, ParsesToTheExpectedSettings) {
    const auto parsed = parse(GetParam().args);
    ASSERT_EQ(parsed.error, "");
    SimOptions expected;
    GetParam().expect(expected);
    EXPECT_EQ(parsed.options, expected);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, GoodOptionsTest,
    testing::Values(
        GoodCase{"NoArgumentsGiveDefaults", {}, [](SimOptions&) {}},
        GoodCase{"Link",
                 {"--link", "/tmp/projector-com1"},
                 [](SimOptions& o) { o.link = "/tmp/projector-com1"; }},
        GoodCase{"ValueAfterEquals", {"--link=/tmp/x"}, [](SimOptions& o) { o.link = "/tmp/x"; }},
        GoodCase{"WarmupAndCooldownTakeDecimals",
                 {"--warmup", "0.5", "--cooldown=0"},
                 [](SimOptions& o) {
                     o.warmupSeconds = 0.5;
                     o.cooldownSeconds = 0;
                 }},
        GoodCase{"Flags",
                 {"--no-signal", "--no-reply", "--split", "--lamp-fault"},
                 [](SimOptions& o) {
                     o.noSignal = true;
                     o.lampFault = true;
                     o.noReply = true;
                     o.split = true;
                 }},
        GoodCase{"Latency", {"--latency", "250"}, [](SimOptions& o) { o.latencyMs = 250; }},
        GoodCase{"NoiseBounds", {"--noise", "1"}, [](SimOptions& o) { o.noiseRate = 1; }},
        GoodCase{"NoiseFraction", {"--noise=0.01"}, [](SimOptions& o) { o.noiseRate = 0.01; }},
        GoodCase{"Flood", {"--flood", "9600"}, [](SimOptions& o) { o.floodBytesPerSecond = 9600; }},
        GoodCase{"HangupAfter",
                 {"--hangup-after", "1.5"},
                 [](SimOptions& o) { o.hangupAfterSeconds = 1.5; }},
        GoodCase{"Log", {"--log", "frames.log"}, [](SimOptions& o) { o.logPath = "frames.log"; }},
        GoodCase{"LogSpeed", {"--log-speed"}, [](SimOptions& o) { o.logSpeed = true; }},
        GoodCase{"SeedZeroIsASeed", {"--seed", "0"}, [](SimOptions& o) { o.seed = 0; }},
        GoodCase{"LargestSeed",
                 {"--seed", "18446744073709551615"},
                 [](SimOptions& o) { o.seed = 18446744073709551615ull; }},
        GoodCase{"Help", {"--help"}, [](SimOptions& o) { o.help = true; }},
        GoodCase{"ShortHelp", {"-h"}, [](SimOptions& o) { o.help = true; }},
        GoodCase{"LaterValueWins",
                 {"--latency", "1", "--latency", "2"},
                 [](SimOptions& o) { o.latencyMs = 2; }}),
    [](const auto& info) { return info.param.name; });

struct BadCase {
    const char* name;
    std::vector<std::string_view> args;
    std::string_view errorMentions;
    friend void PrintTo(const BadCase& c, std::ostream* os) { *os << c.name; }
};

class BadOptionsTest : public testing::TestWithParam<BadCase> {};

TEST_P(BadOptionsTest, RefusedWithAReasonNamingTheCulprit) {
    const auto parsed = parse(GetParam().args);
    EXPECT_NE(parsed.error.find(GetParam().errorMentions), std::string::npos) << parsed.error;
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, BadOptionsTest,
    testing::Values(BadCase{"UnknownOption", {"--loud"}, "--loud"},
                    BadCase{"PositionalArgument", {"/dev/pts/3"}, "/dev/pts/3"},
                    BadCase{"MissingValue", {"--latency"}, "--latency"},
                    BadCase{"EmptyLink", {"--link="}, "--link"},
                    BadCase{"NegativeWarmup", {"--warmup", "-1"}, "--warmup"},
                    BadCase{"WordForSeconds", {"--cooldown", "three"}, "three"},
                    BadCase{"TrailingJunk", {"--hangup-after", "2s"}, "2s"},
                    BadCase{"InfiniteWarmup", {"--warmup", "inf"}, "inf"},
                    BadCase{"NotANumber", {"--warmup", "nan"}, "nan"},
                    BadCase{"FractionalLatency", {"--latency", "1.5"}, "1.5"},
                    BadCase{"NegativeLatency", {"--latency", "-5"}, "-5"},
                    BadCase{"NoiseAboveOne", {"--noise", "1.01"}, "1.01"},
                    BadCase{"NegativeNoise", {"--noise", "-0.1"}, "-0.1"},
                    BadCase{"ZeroFlood", {"--flood", "0"}, "--flood"},
                    BadCase{"HugeFlood", {"--flood", "100000000"}, "--flood"},
                    BadCase{"NegativeSeed", {"--seed", "-1"}, "--seed"},
                    BadCase{"FlagWithValue", {"--split=yes"}, "--split"}),
    [](const auto& info) { return info.param.name; });

TEST(HelpText, DocumentsEveryOptionAndTheAckConvention) {
    const std::string help = helpText("projector-sim");
    for (const char* option :
         {"--link", "--warmup", "--cooldown", "--no-signal", "--no-reply", "--latency", "--split",
          "--noise", "--flood", "--hangup-after", "--log", "--log-speed", "--seed", "--help"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
    EXPECT_NE(help.find("ACK (code 6) alone"), std::string::npos);
    EXPECT_NE(help.find("\"CF INPUT COMPUTER2 ANALOG\""), std::string::npos);
    EXPECT_NE(help.find("CR PRESSURE"), std::string::npos);
}

}  // namespace
}  // namespace sim
