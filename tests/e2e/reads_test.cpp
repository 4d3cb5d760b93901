// The read buttons and the typed queries against the simulator: each reply decoded into Label22,
// whether it arrives whole or in two pieces; and the power cycle as STATUS reports it.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <chrono>
#include <tuple>

#include "testkit/controls.h"
#include "tests/e2e/sim_fixture.h"

namespace panel::e2e {
namespace {

using namespace std::chrono_literals;

struct Read {
    const char* name;
    const char* button;  // or nullptr: typed into Text1 and sent with SEND
    const char* code;    // the frame the simulator must receive, without its CR
    std::string shown;   // in Label22
    bool pattern;        // `shown` is a regular expression: the simulator's reading drifts
};
void PrintTo(const Read& read, std::ostream* out) {
    *out << read.name;
}

// The simulator starts in standby with the lamp at 01234 hours, input 1, no reversal.
const Read kReads[] = {
    {"Status", controls::kStatus, "CR0", expected::Caption("CR0", "80"), false},
    {"LampTime", controls::kLampTime, "CR3", " 0 1 2 3 4 CR  Hour Use", false},
    {"Temperatures", controls::kTemperature, "CR6",
     R"(  S1= \d \d \d \. \d C  ,   S2=  \d \d \. \d C , S3= \d \d \d \. \d C)", true},
    {"InputMode", controls::kInputMode, "CR1", expected::Caption("CR1", "1"), false},
    {"Reversal", controls::kSetting, "CR4", expected::Caption("CR4", "11"), false},
    {"LampMode", controls::kLampMode, "CR7", expected::Caption("CR7", "00"), false},
    {"MuteAndSignal", nullptr, "CRA", expected::Caption("CRA", "FF"), false},
    {"Identification", nullptr, "CR9", " P R O J E C T O R - S I M   V 1 . 0 0 CR ", false},
    // Readings 509 to 515 come out as 647 to 653 hPa.
    {"Pressure", nullptr, "CR PRESSURE", "6(4[7-9]|5[0-3]) hPa", true},
};

enum class Delivery { Whole, Split };
void PrintTo(Delivery delivery, std::ostream* out) {
    *out << (delivery == Delivery::Split ? "in two pieces" : "whole");
}

class ReadTest : public SimFixture,
                 public ::testing::WithParamInterface<std::tuple<Delivery, Read>> {};

TEST_P(ReadTest, ReplyIsDecodedIntoLabel22) {
    const auto& [delivery, read] = GetParam();
    start(delivery == Delivery::Split ? std::vector<std::string>{"--split"}
                                      : std::vector<std::string>{});
    if (read.button)
        rig->click(read.button);
    else
        rig->send(QString::fromLatin1(read.code));

    const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        read.pattern ? QString::fromStdString(read.shown)
                     : QRegularExpression::escape(QString::fromStdString(read.shown))));
    EXPECT_TRUE(PanelRig::waitFor([&] { return pattern.match(rig->text("Label22")).hasMatch(); }))
        << "Label22 " << rig->text("Label22").toStdString() << ", Label12 "
        << rig->text("Label12").toStdString();
    EXPECT_EQ(log->count(read.code), 1u);
    EXPECT_TRUE(rig->prompts().problems.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Simulator, ReadTest,
                         ::testing::Combine(::testing::Values(Delivery::Whole, Delivery::Split),
                                            ::testing::ValuesIn(kReads)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) == Delivery::Split
                                                    ? "Split"
                                                    : "Whole") +
                                    std::get<1>(info.param).name;
                         });

// Waits until `after` has passed since `since`, with the event loop running.
void waitUntil(std::chrono::steady_clock::time_point since, std::chrono::milliseconds after) {
    (void)PanelRig::waitFor([&] { return std::chrono::steady_clock::now() >= since + after; });
}

class PowerTest : public SimFixture {};

TEST_F(PowerTest, PowerOnCountsDownThenIsOnAndTheLampAndMutesFollow) {
    constexpr auto kWarmup = 2s;
    start({"--warmup", "2"});

    const auto poweredAt = std::chrono::steady_clock::now();
    rig->click(controls::kPowerOn);  // POWER "ON"
    ASSERT_TRUE(rig->waitForText("Label12", QStringLiteral(" ACK ")));
    // Each query waits for the reply window before it, or its reply would be decoded behind the
    // ACK still in the received text.
    ASSERT_TRUE(rig->waitReplyWindowClosed());
    rig->click(controls::kStatus);
    EXPECT_TRUE(rig->waitForText("Label22", QStringLiteral(" Count down")))
        << rig->text("Label22").toStdString();

    waitUntil(poweredAt, kWarmup + 500ms);
    ASSERT_TRUE(rig->waitReplyWindowClosed());
    rig->click(controls::kStatus);
    EXPECT_TRUE(rig->waitForText("Label22", ExpectedCaption("CR0", "00")))
        << rig->text("Label22").toStdString();

    ASSERT_TRUE(rig->waitReplyWindowClosed());
    rig->click(controls::kLampMode);  // L-MODE
    EXPECT_TRUE(rig->waitForText("Label22", ExpectedCaption("CR7", "01")))
        << rig->text("Label22").toStdString();

    ASSERT_TRUE(rig->waitReplyWindowClosed());
    rig->click(controls::kNoShowOn);  // NO SHOW "ON": the picture is muted
    ASSERT_TRUE(rig->waitForText("Label12", QStringLiteral(" ACK ")));
    ASSERT_TRUE(rig->waitReplyWindowClosed());
    rig->send(QStringLiteral("CRA"));
    EXPECT_TRUE(rig->waitForText("Label22", QStringLiteral(" Video mute ON")))
        << rig->text("Label22").toStdString();

    EXPECT_EQ(log->count("C00"), 1u);
    EXPECT_EQ(log->count("CR0"), 2u);
}

}  // namespace
}  // namespace panel::e2e
