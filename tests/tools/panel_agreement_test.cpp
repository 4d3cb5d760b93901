// The simulator's answers read through the panel's own catalogue, trace and decoders: what the
// operator would see in the decoded-reply label for each answer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/catalogue.h"
#include "core/replies.h"
#include "core/trace.h"
#include "tests/support/expected_replies.h"
#include "tools/projector-sim/projector_model.h"

namespace sim {
namespace {

using namespace std::chrono_literals;

constexpr Micros kStart = 3'000'000'000us;

std::string framed(std::string_view code) {
    return std::string(code) + '\r';
}

// The decoded-reply label after `answer` came in for `query`, or "(unchanged)".
std::string decoded(std::string_view query, const std::string& answer) {
    const auto result = panel::DecodeReply(framed(query), "", panel::RenderTrace(answer));
    return result.caption.value_or("(unchanged)");
}

TEST(PanelCatalogueAgreement, EveryButtonCodeGetsAckOrADecodableAnswer) {
    std::vector<std::string_view> codes;
    for (const auto& row : panel::OneShotCatalogue()) codes.push_back(row.code);
    for (const auto& row : panel::HoldCatalogue()) codes.push_back(row.code);
    for (const auto code : codes) {
        ProjectorModel model(ModelSettings{}, kStart);
        const std::string answer = model.answer(code, kStart);
        if (ProjectorModel::isQueryCode(code)) {
            EXPECT_NE(decoded(code, answer), "(unchanged)") << code;
        } else {
            EXPECT_EQ(answer, std::string(1, kAck)) << code;
        }
    }
}

struct Step {
    Micros when;
    std::string_view frame;
};

struct LabelCase {
    const char* name;
    std::vector<Step> before;
    Step query;
    std::string label;
    bool noSignal = false;
    friend void PrintTo(const LabelCase& c, std::ostream* os) { *os << c.name; }
};

class PanelLabelTest : public testing::TestWithParam<LabelCase> {};

TEST_P(PanelLabelTest, PanelShowsTheStateTheSimulatorIsIn) {
    const auto& c = GetParam();
    ModelSettings settings;
    settings.noSignal = c.noSignal;
    ProjectorModel model(settings, kStart);
    for (const auto& step : c.before) model.answer(step.frame, kStart + step.when);
    EXPECT_EQ(decoded(c.query.frame, model.answer(c.query.frame, kStart + c.query.when)), c.label);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, PanelLabelTest,
    testing::Values(
        LabelCase{"StatusStandby", {}, {0s, "CR0"}, panel::expected::Caption("CR0", "80")},
        LabelCase{
            "StatusCountDown", {{0s, "C00"}}, {1s, "CR0"}, panel::expected::Caption("CR0", "40")},
        LabelCase{
            "StatusPowerOn", {{0s, "C00"}}, {3s, "CR0"}, panel::expected::Caption("CR0", "00")},
        LabelCase{"StatusCooling",
                  {{0s, "C00"}, {3s, "C01"}},
                  {4s, "CR0"},
                  panel::expected::Caption("CR0", "20")},
        LabelCase{"InputComputer1", {}, {0s, "CR1"}, panel::expected::Caption("CR1", "1")},
        LabelCase{
            "InputComputer2", {{0s, "C06"}}, {0s, "CR1"}, panel::expected::Caption("CR1", "2")},
        LabelCase{"InputVideo", {{0s, "C07"}}, {0s, "CR1"}, panel::expected::Caption("CR1", "3")},
        LabelCase{"InputFour", {{0s, "C04"}}, {0s, "CR1"}, panel::expected::Caption("CR1", "4")},
        LabelCase{"Reversal", {}, {0s, "CR4"}, panel::expected::Caption("CR4", "11")},
        LabelCase{"LampHours", {}, {0s, "CR3"}, " 0 1 2 3 4 CR  Hour Use"},
        LabelCase{"MuteStandby", {}, {0s, "CRA"}, panel::expected::Caption("CRA", "FF")},
        LabelCase{"MuteOff", {{0s, "C00"}}, {3s, "CRA"}, panel::expected::Caption("CRA", "00")},
        LabelCase{"MutePicture",
                  {{0s, "C00"}, {3s, "C0D"}},
                  {3s, "CRA"},
                  panel::expected::Caption("CRA", "01")},
        LabelCase{"MuteSound",
                  {{0s, "C00"}, {3s, "C0B"}},
                  {3s, "CRA"},
                  panel::expected::Caption("CRA", "02")},
        LabelCase{"MuteBoth",
                  {{0s, "C00"}, {3s, "C0B"}, {3s, "C0D"}},
                  {3s, "CRA"},
                  panel::expected::Caption("CRA", "03")},
        LabelCase{
            "NoSignal", {{0s, "C00"}}, {3s, "CRA"}, panel::expected::Caption("CRA", "80"), true},
        LabelCase{"LampOff", {}, {0s, "CR7"}, panel::expected::Caption("CR7", "00")},
        LabelCase{"LampOn", {{0s, "C00"}}, {3s, "CR7"}, panel::expected::Caption("CR7", "01")},
        LabelCase{"Identification", {}, {0s, "CR9"}, " P R O J E C T O R - S I M   V 1 . 0 0 CR "}),
    [](const auto& info) { return info.param.name; });

// Spaced out as the trace shows it: each character after a space.
std::string spaced(std::string_view text) {
    std::string out;
    for (const char c : text) (out += ' ') += c;
    return out;
}

TEST(PanelSensorAgreement, TemperatureLabelShowsAllThreeReadings) {
    ProjectorModel model(ModelSettings{}, kStart);
    model.answer("C00", kStart);
    for (Micros t = 0s; t < 2h; t += 11min) {
        const std::string answer = model.answer("CR6", kStart + t);
        ASSERT_EQ(answer.size(), 18u) << answer;
        // The panel drops the second reading's first character: it must be a leading zero.
        EXPECT_EQ(answer[6], '0') << answer;
        const std::string expected = "  S1=" + spaced(answer.substr(0, 5)) +
                                     " C  ,   S2= " + spaced(answer.substr(7, 4)) +
                                     " C , S3=" + spaced(answer.substr(12, 5)) + " C";
        EXPECT_EQ(decoded("CR6", answer), expected);
    }
}

TEST(PanelSensorAgreement, PressureLabelShowsTheReadingConverted) {
    ProjectorModel model(ModelSettings{}, kStart);
    for (Micros t = 0s; t < 2h; t += 17min) {
        const int reading = model.pressure(kStart + t);
        const auto pressure = panel::PressureFromReading(reading);
        ASSERT_TRUE(pressure) << reading;
        EXPECT_EQ(decoded("CR PRESSURE", model.answer("CR PRESSURE", kStart + t)),
                  std::to_string(pressure->hpa) + " hPa");
    }
}

}  // namespace
}  // namespace sim
