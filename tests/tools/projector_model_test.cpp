#include "tools/projector-sim/projector_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/expected_catalogue.h"

namespace sim {
namespace {

using namespace std::chrono_literals;

constexpr Micros kModelStart = 1'000'000'000us;  // an arbitrary monotonic reading

Micros at(Micros offset) {
    return kModelStart + offset;
}

std::string cr(std::string text) {
    return text + '\r';
}
const std::string kAckAlone(1, '\x06');

struct Step {
    Micros when;
    std::string frame;
};

struct AnswerCase {
    const char* name;
    std::vector<Step> before;  // frames sent first, in order
    Step query;
    std::string expected;
    bool noSignal = false;
    bool lampFault = false;
    friend void PrintTo(const AnswerCase& c, std::ostream* os) { *os << c.name; }
};

class ModelAnswerTest : public testing::TestWithParam<AnswerCase> {};

TEST_P(ModelAnswerTest, AnswersQueryAfterScript) {
    const auto& c = GetParam();
    ModelSettings settings;  // warm-up and cool-down of 3 s each
    settings.noSignal = c.noSignal;
    settings.lampFault = c.lampFault;
    ProjectorModel model(settings, kModelStart);
    for (const auto& step : c.before) model.answer(step.frame, at(step.when));
    EXPECT_EQ(model.answer(c.query.frame, at(c.query.when)), c.expected);
}

// A failed lamp: the status names it and the projector never strikes one.
INSTANTIATE_TEST_SUITE_P(
    LampFault, ModelAnswerTest,
    testing::Values(AnswerCase{"StandbyWithAllLampsFailed", {}, {0s, "CR0"}, cr("81"), false, true},
                    AnswerCase{
                        "PowerOnIsIgnored", {{0s, "C00"}}, {1s, "CR0"}, cr("81"), false, true},
                    AnswerCase{"NoLampLit", {{0s, "C00"}}, {4s, "CR7"}, cr("00"), false, true}),
    [](const auto& info) { return info.param.name; });

// Power sequencing over the warm-up and cool-down, read through CR0.
INSTANTIATE_TEST_SUITE_P(
    PowerStatus, ModelAnswerTest,
    testing::Values(
        AnswerCase{"StandbyAtStart", {}, {0s, "CR0"}, cr("80")},
        AnswerCase{"CountDownRightAfterPowerOn", {{1s, "C00"}}, {1s, "CR0"}, cr("40")},
        AnswerCase{"CountDownUntilWarmupEnds", {{1s, "C00"}}, {3999999us, "CR0"}, cr("40")},
        AnswerCase{"PowerOnOnceWarmupEnds", {{1s, "C00"}}, {4s, "CR0"}, cr("00")},
        AnswerCase{"CoolingRightAfterPowerOff", {{0s, "C00"}, {5s, "C01"}}, {5s, "CR0"}, cr("20")},
        AnswerCase{
            "CoolingUntilCooldownEnds", {{0s, "C00"}, {5s, "C01"}}, {7999999us, "CR0"}, cr("20")},
        AnswerCase{"StandbyOnceCooldownEnds", {{0s, "C00"}, {5s, "C01"}}, {8s, "CR0"}, cr("80")},
        AnswerCase{"PowerOffDuringWarmupCools", {{0s, "C00"}, {1s, "C01"}}, {2s, "CR0"}, cr("20")},
        AnswerCase{"PowerOnWhileCoolingIsIgnored",
                   {{0s, "C00"}, {5s, "C01"}, {6s, "C00"}},
                   {8500ms, "CR0"},
                   cr("80")},
        AnswerCase{"SecondPowerOnDoesNotRestartWarmup",
                   {{0s, "C00"}, {2s, "C00"}},
                   {3500ms, "CR0"},
                   cr("00")},
        AnswerCase{"PowerOffInStandbyChangesNothing", {{0s, "C01"}}, {1s, "CR0"}, cr("80")},
        AnswerCase{"PowerOnAgainAfterFullCycle",
                   {{0s, "C00"}, {5s, "C01"}, {9s, "C00"}},
                   {10s, "CR0"},
                   cr("40")},
        AnswerCase{"JunkCommandChangesNothing", {{0s, "c00"}, {1s, "C00 "}}, {5s, "CR0"}, cr("80")},
        AnswerCase{"EarlierTimeCountsAsLatest", {{0s, "C00"}, {5s, "CR0"}}, {1s, "CR0"}, cr("00")}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    InputMode, ModelAnswerTest,
    testing::Values(AnswerCase{"Computer1AtStart", {}, {0s, "CR1"}, cr("1")},
                    AnswerCase{"C06GivesTwo", {{0s, "C06"}}, {1s, "CR1"}, cr("2")},
                    AnswerCase{"C07GivesThree", {{0s, "C07"}}, {1s, "CR1"}, cr("3")},
                    AnswerCase{"C04GivesFour", {{0s, "C04"}}, {1s, "CR1"}, cr("4")},
                    AnswerCase{"C08GivesFour", {{0s, "C08"}}, {1s, "CR1"}, cr("4")},
                    AnswerCase{
                        "C05GoesBackToOne", {{0s, "C07"}, {1s, "C05"}}, {2s, "CR1"}, cr("1")},
                    AnswerCase{"ReversalIsNormalInStandby", {}, {0s, "CR4"}, cr("11")},
                    AnswerCase{"ReversalIsNormalWhenOn", {{0s, "C00"}}, {4s, "CR4"}, cr("11")}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    LampMode, ModelAnswerTest,
    testing::Values(AnswerCase{"OffInStandby", {}, {0s, "CR7"}, cr("00")},
                    AnswerCase{"OffWhileCountingDown", {{0s, "C00"}}, {1s, "CR7"}, cr("00")},
                    AnswerCase{"OnWhenPoweredOn", {{0s, "C00"}}, {3s, "CR7"}, cr("01")},
                    AnswerCase{
                        "OffWhileCooling", {{0s, "C00"}, {4s, "C01"}}, {5s, "CR7"}, cr("00")}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    LampHours, ModelAnswerTest,
    testing::Values(AnswerCase{"FiveDigitsAtStart", {}, {0s, "CR3"}, cr("01234")},
                    AnswerCase{"StandbyTimeDoesNotCount", {}, {10h, "CR3"}, cr("01234")},
                    AnswerCase{"WarmupDoesNotCount", {{0s, "C00"}}, {3600s, "CR3"}, cr("01234")},
                    AnswerCase{"AnHourOnCountsOne", {{0s, "C00"}}, {3603s, "CR3"}, cr("01235")},
                    AnswerCase{"HoursCountUpWhileOn", {{0s, "C00"}}, {3s + 5h, "CR3"}, cr("01239")},
                    AnswerCase{"TwoHalfHoursAddUp",
                               {{0s, "C00"}, {1803s, "C01"}, {2h, "C00"}},
                               {2h + 1803s, "CR3"},
                               cr("01235")},
                    AnswerCase{"CoolingStopsTheCount",
                               {{0s, "C00"}, {1803s, "C01"}},
                               {3h, "CR3"},
                               cr("01234")}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    MuteAndSignal, ModelAnswerTest,
    testing::Values(
        AnswerCase{"StandbyInStandby", {}, {0s, "CRA"}, cr("FF")},
        AnswerCase{"StandbyWhileCountingDown", {{0s, "C00"}}, {1s, "CRA"}, cr("FF")},
        AnswerCase{"NoMuteWhenOn", {{0s, "C00"}}, {3s, "CRA"}, cr("00")},
        AnswerCase{"PictureMute", {{0s, "C00"}, {3s, "C0D"}}, {4s, "CRA"}, cr("01")},
        AnswerCase{"SoundMute", {{0s, "C00"}, {3s, "C0B"}}, {4s, "CRA"}, cr("02")},
        AnswerCase{"BothMutes", {{0s, "C00"}, {3s, "C0D"}, {3s, "C0B"}}, {4s, "CRA"}, cr("03")},
        AnswerCase{
            "PictureMuteUndone", {{0s, "C00"}, {3s, "C0D"}, {4s, "C0E"}}, {5s, "CRA"}, cr("00")},
        AnswerCase{
            "SoundMuteUndone", {{0s, "C00"}, {3s, "C0B"}, {4s, "C0C"}}, {5s, "CRA"}, cr("00")},
        AnswerCase{"UndoingPictureKeepsSound",
                   {{0s, "C00"}, {3s, "C0D"}, {3s, "C0B"}, {4s, "C0E"}},
                   {5s, "CRA"},
                   cr("02")},
        AnswerCase{
            "MuteSetInStandbyShowsOnceOn", {{0s, "C0D"}, {1s, "C00"}}, {4s, "CRA"}, cr("01")},
        AnswerCase{
            "StandbyWhileCooling", {{0s, "C00"}, {3s, "C0D"}, {4s, "C01"}}, {5s, "CRA"}, cr("FF")},
        AnswerCase{"PowerCycleClearsMutes",
                   {{0s, "C00"}, {3s, "C0D"}, {3s, "C0B"}, {4s, "C01"}, {8s, "C00"}},
                   {11s, "CRA"},
                   cr("00")},
        AnswerCase{"NoSignalWhenOn", {{0s, "C00"}}, {3s, "CRA"}, cr("80"), true},
        AnswerCase{"NoSignalHidesMutes", {{0s, "C00"}, {3s, "C0D"}}, {4s, "CRA"}, cr("80"), true},
        AnswerCase{"NoSignalStillStandbyWhenOff", {}, {0s, "CRA"}, cr("FF"), true}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Identification, ModelAnswerTest,
    testing::Values(AnswerCase{"InStandby", {}, {0s, "CR9"}, cr("PROJECTOR-SIM V1.00")},
                    AnswerCase{"WhenOn", {{0s, "C00"}}, {4s, "CR9"}, cr("PROJECTOR-SIM V1.00")}),
    [](const auto& info) { return info.param.name; });

// Every control command the panel sends, one-shot and press-and-hold, from the expected catalogue
// (its queries, "CR...", aside), so that a code missing from the simulator shows up.
std::vector<std::string> controlCodes() {
    std::vector<std::string> codes;
    for (const auto& c : panel::expected::kOneShots)
        if (!std::string_view(c.code).starts_with("CR")) codes.emplace_back(c.code);
    for (const auto& c : panel::expected::kHolds) codes.emplace_back(c.code);
    return codes;
}
const std::vector<std::string> kControlCodes = controlCodes();

class ControlCodeTest : public testing::TestWithParam<std::string> {};

TEST_P(ControlCodeTest, AnsweredWithAckAloneInEveryPowerState) {
    struct State {
        const char* name;
        std::vector<Step> before;
        Micros probe;
    };
    const State states[] = {{"standby", {}, 0s},
                            {"counting down", {{0s, "C00"}}, 1s},
                            {"on", {{0s, "C00"}}, 4s},
                            {"cooling", {{0s, "C00"}, {4s, "C01"}}, 5s}};
    for (const auto& state : states) {
        ProjectorModel model(ModelSettings{}, kModelStart);
        for (const auto& step : state.before) model.answer(step.frame, at(step.when));
        EXPECT_EQ(model.answer(GetParam(), at(state.probe)), kAckAlone) << state.name;
    }
}

INSTANTIATE_TEST_SUITE_P(PanelCatalogue, ControlCodeTest, testing::ValuesIn(kControlCodes),
                         [](const auto& info) {
                             std::string name;
                             for (const char c : info.param) name += std::isalnum(c) ? c : '_';
                             return name;
                         });

TEST(ModelCatalogue, KnowsExactlyThePanelsControlCodes) {
    const auto codes = ProjectorModel::controlCodes();
    std::vector<std::string> mine(codes.begin(), codes.end());
    auto theirs = kControlCodes;
    std::sort(mine.begin(), mine.end());
    std::sort(theirs.begin(), theirs.end());
    EXPECT_EQ(mine, theirs);
}

struct JunkCase {
    const char* name;
    std::string frame;
    friend void PrintTo(const JunkCase& c, std::ostream* os) { *os << c.name; }
};

class JunkFrameTest : public testing::TestWithParam<JunkCase> {};

TEST_P(JunkFrameTest, AnsweredWithQuestionMarkAndCr) {
    ProjectorModel model(ModelSettings{}, kModelStart);
    EXPECT_EQ(model.answer(GetParam().frame, kModelStart), cr("?"));
    EXPECT_EQ(model.power(kModelStart + 10s), Power::Standby);
    EXPECT_EQ(model.input(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    NotInTheCatalogue, JunkFrameTest,
    testing::Values(JunkCase{"Empty", ""}, JunkCase{"LowerCaseQuery", "cr0"},
                    JunkCase{"MixedCaseQuery", "Cr0"}, JunkCase{"LowerCaseCommand", "c00"},
                    JunkCase{"LowerCaseHex", "C0d"}, JunkCase{"TrailingSpace", "C00 "},
                    JunkCase{"LeadingSpace", " CR0"},
                    JunkCase{"DoubleSpaceInQuery", "CR  PRESSURE"},
                    JunkCase{"LowerCaseWord", "CR pressure"}, JunkCase{"NoSpace", "CRPRESSURE"},
                    JunkCase{"DoubleSpaceInWordedCommand", "CF FANMODE  L1"},
                    JunkCase{"UnknownFanMode", "CF FANMODE L3"}, JunkCase{"ShortCode", "C0"},
                    JunkCase{"LongCode", "C000"}, JunkCase{"UnknownQuery", "CR2"},
                    JunkCase{"UnknownLetterQuery", "CRB"}, JunkCase{"TrailingLf", "C00\n"},
                    JunkCase{"LeadingLf", "\nC06"}, JunkCase{"LeadingNul", std::string("\0C06", 4)},
                    JunkCase{"AckByte", "\x06"}, JunkCase{"HighByte", "C0\xff"}),
    [](const auto& info) { return info.param.name; });

TEST(ModelTiming, ZeroWarmupIsOnAtOnce) {
    ModelSettings settings;
    settings.warmup = 0s;
    settings.cooldown = 0s;
    ProjectorModel model(settings, kModelStart);
    model.answer("C00", kModelStart);
    EXPECT_EQ(model.answer("CR0", kModelStart), cr("00"));
    model.answer("C01", kModelStart);
    EXPECT_EQ(model.answer("CR0", kModelStart), cr("80"));
}

TEST(ModelTiming, LampHoursStopAtFiveDigits) {
    ModelSettings settings;
    settings.lampHoursAtStart = 99998;
    ProjectorModel model(settings, kModelStart);
    model.answer("C00", kModelStart);
    EXPECT_EQ(model.answer("CR3", kModelStart + 10h), cr("99999"));
}

// The panel shows reply characters 1-5, 8-11 and 13-17 of CR6: only a zero hundreds digit of the
// second reading may fall out of view, so every reading must stay below 100.
TEST(ModelSensors, TemperaturesKeepTheirShapeAndStayBelowAHundred) {
    const std::regex shape(R"(0\d\d\.\d 0\d\d\.\d 0\d\d\.\d\r)");
    ProjectorModel model(ModelSettings{}, kModelStart);
    model.answer("C00", kModelStart);
    for (Micros t = 0s; t < 10h; t += 7min) {
        const std::string reply = model.answer("CR6", at(t));
        EXPECT_TRUE(std::regex_match(reply, shape)) << reply << " at " << t.count();
    }
}

TEST(ModelSensors, TemperaturesRiseWhileLitAndFallAfter) {
    ProjectorModel model(ModelSettings{}, kModelStart);
    const auto cold = model.temperatures(kModelStart);
    model.answer("C00", kModelStart);
    const auto hot = model.temperatures(at(20min));
    model.answer("C01", at(20min));
    const auto cooled = model.temperatures(at(60min));
    for (std::size_t i = 0; i < cold.size(); ++i) {
        EXPECT_GT(hot[i], cold[i] + 5.0) << "sensor " << i;
        EXPECT_LT(cooled[i], hot[i] - 5.0) << "sensor " << i;
    }
}

TEST(ModelSensors, TemperaturesMoveSlowly) {
    ProjectorModel model(ModelSettings{}, kModelStart);
    model.answer("C00", kModelStart);
    auto last = model.temperatures(kModelStart);
    for (Micros t = 1s; t < 30min; t += 1s) {
        const auto now = model.temperatures(at(t));
        for (std::size_t i = 0; i < now.size(); ++i)
            EXPECT_LT(std::abs(now[i] - last[i]), 0.5) << "sensor " << i << " at " << t.count();
        last = now;
    }
}

TEST(ModelSensors, PressureStaysNearFiveHundredTwelve) {
    ProjectorModel model(ModelSettings{}, kModelStart);
    const std::regex shape(R"(5\d\d\r)");
    for (Micros t = 0s; t < 2h; t += 13s) {
        const std::string reply = model.answer("CR PRESSURE", at(t));
        ASSERT_TRUE(std::regex_match(reply, shape)) << reply;
        const int reading = std::stoi(reply);
        EXPECT_GE(reading, 509);
        EXPECT_LE(reading, 515);
    }
}

}  // namespace
}  // namespace sim
