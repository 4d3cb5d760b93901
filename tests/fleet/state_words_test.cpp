// A projector's state: the fleet window's words and the machine word beside them, from one table.
#include <gtest/gtest.h>

#include "fleet/state_words.h"

namespace panel {
namespace {

struct StateCase {
    const char* name;
    Reading reading;
    const char* status;
    bool busy;
    const char* machine;
    const char* text;
    bool heldSinceLoss = false;
};

class StateWordsTest : public ::testing::TestWithParam<StateCase> {};

TEST_P(StateWordsTest, GivesTheWindowsWordsAndTheMachineWord) {
    const StateCase& c = GetParam();
    ProjectorRow row;
    row.reading = c.reading;
    row.status = QString::fromUtf8(c.status);
    row.busy = c.busy;
    row.reason = QStringLiteral("nothing came back");
    row.heldSinceLoss = c.heldSinceLoss;
    const StateWords words = stateWords(row);
    EXPECT_EQ(words.machine.toStdString(), c.machine);
    EXPECT_EQ(words.text.toStdString(), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StateWordsTest,
    ::testing::Values(
        StateCase{"NotAsked", Reading::NotYet, "", false, "unknown", "not asked yet"},
        StateCase{"Asking", Reading::NotYet, "", true, "unknown", "asking…"},
        StateCase{"On", Reading::Answered, "Power ON", false, "on", "Power ON"},
        StateCase{"NoKeyInputIsOn", Reading::Answered, "NO Key input", false, "on", "NO Key input"},
        StateCase{"Standby", Reading::Answered, "Stand by", false, "standby", "Stand by"},
        StateCase{"PowerManagementIsStandby", Reading::Answered, "Lamp OFF by PWR Management",
                  false, "standby", "Lamp OFF by PWR Management"},
        StateCase{"Warming", Reading::Answered, "Count down", false, "warming",
                  "warming up (Count down)"},
        StateCase{"Cooling", Reading::Answered, "Cooling down", false, "cooling",
                  "cooling down (Cooling down)"},
        StateCase{"CoolingWithAFaultIsCooling", Reading::Answered, "Cooling down (All Lamp FAIL)",
                  false, "cooling", "cooling down (Cooling down (All Lamp FAIL))"},
        StateCase{"PowerFail", Reading::Answered, "Power Fail", false, "fault", "Power Fail"},
        StateCase{"Temperature", Reading::Answered, "Temperature Warning", false, "fault",
                  "Temperature Warning"},
        StateCase{"Recovered", Reading::Answered, "Temperature Warning and recoverd", false, "on",
                  "Temperature Warning and recoverd"},
        StateCase{"Undecoded", Reading::Answered, "unknown answer: 9 9 CR", false, "unknown",
                  "unknown answer: 9 9 CR"},
        StateCase{"NoAnswer", Reading::NoAnswer, "", false, "no-answer",
                  "no answer: nothing came back"},
        StateCase{"PortFailed", Reading::PortFailed, "", false, "no-answer",
                  "no answer: nothing came back"},
        StateCase{"InUse", Reading::InUse, "", false, "in-use",
                  "in use (another client has the line)"},
        StateCase{"InUseSinceALoss", Reading::InUse, "", false, "in-use",
                  "in use (the device server still holds a connection, maybe ours from before the "
                  "line was lost)\nnothing came back",
                  true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StateWords, EachMachineWordOnce) {
    const std::vector<QString> words = machineWords();
    const std::vector<QString> expected{"unknown", "on",    "standby",   "warming",
                                        "cooling", "fault", "no-answer", "in-use"};
    EXPECT_EQ(words, expected);
}

}  // namespace
}  // namespace panel
