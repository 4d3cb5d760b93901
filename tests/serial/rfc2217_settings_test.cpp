// The line settings over RFC 2217: the protocol's numbers for each setting, and one request at a
// time, with a choice made while a request is unanswered sent once it is answered.
#include "serial/rfc2217_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace panel {
namespace {

using P = QSerialPort;
using Next = Rfc2217Settings::Next;

struct NumbersCase {
    const char* name;
    friend void PrintTo(const NumbersCase& c, std::ostream* os) { *os << c.name; }
    LineSettings line;
    std::uint32_t baud;
    std::uint8_t dataSize, parity, stopSize;
};

class ComPortNumbersTest : public ::testing::TestWithParam<NumbersCase> {};

TEST_P(ComPortNumbersTest, AreTheProtocolsOwnAndAskForNoFlowControl) {
    const ComPortSettings s = Rfc2217Settings::toComPort(GetParam().line);
    EXPECT_EQ(s.baud, GetParam().baud);
    EXPECT_EQ(s.dataSize, GetParam().dataSize);
    EXPECT_EQ(s.parity, GetParam().parity);
    EXPECT_EQ(s.stopSize, GetParam().stopSize);
    EXPECT_EQ(s.control, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ComPortNumbersTest,
    ::testing::Values(
        NumbersCase{"Panel19200", {19200, P::NoParity, P::Data8, P::OneStop}, 19200, 8, 1, 1},
        NumbersCase{"Odd", {9600, P::OddParity, P::Data7, P::OneStop}, 9600, 7, 2, 1},
        NumbersCase{"EvenTwoStop", {4800, P::EvenParity, P::Data8, P::TwoStop}, 4800, 8, 3, 2},
        NumbersCase{
            "MarkOneAndHalf", {300, P::MarkParity, P::Data5, P::OneAndHalfStop}, 300, 5, 4, 3},
        NumbersCase{"Space", {110, P::SpaceParity, P::Data6, P::OneStop}, 110, 6, 5, 1}),
    [](const auto& info) { return std::string(info.param.name); });

const std::string kServerAgrees("\xFF\xFD\x2C", 3);  // IAC DO COM-PORT-OPTION

std::string subnegotiation(std::string body) {
    return std::string("\xFF\xFA\x2C", 3) + body + std::string("\xFF\xF0", 2);
}

// Confirmations of 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control; 4800 baud is
// a refusal of the 9600 asked for.
std::string answersTo9600(bool refuse = false) {
    const std::string baud =
        refuse ? std::string("\x65\x00\x00\x12\xC0", 5) : std::string("\x65\x00\x00\x25\x80", 5);
    return subnegotiation(baud) + subnegotiation("\x66\x08") + subnegotiation("\x67\x01") +
           subnegotiation("\x68\x01") + subnegotiation("\x69\x01");
}

struct SequenceCase {
    const char* name;
    friend void PrintTo(const SequenceCase& c, std::ostream* os) { *os << c.name; }
    bool choseMeanwhile;
    std::vector<std::string> answers;  // what the server says before each take()
    std::vector<Next> expected;
    bool confirmingAfter;
};

class Rfc2217SettingsTest : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(Rfc2217SettingsTest, AnswersAreTakenOneRequestAtATime) {
    ComPortClient client([](std::string_view) {});
    client.start();
    Rfc2217Settings settings([] {});
    const LineSettings line{9600, P::NoParity, P::Data8, P::OneStop};
    settings.setConfirming(true);
    settings.request(client, line);
    if (GetParam().choseMeanwhile) settings.choseMeanwhile();
    std::vector<Next> taken;
    for (const std::string& answer : GetParam().answers) {
        std::string data;
        std::string why;
        client.receive(answer, data);
        taken.push_back(settings.take(client, why));
        if (taken.back() == Next::Resend) settings.request(client, line);
    }
    EXPECT_EQ(taken, GetParam().expected);
    EXPECT_EQ(settings.confirming(), GetParam().confirmingAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Rfc2217SettingsTest,
    ::testing::Values(
        SequenceCase{"Unanswered", false, {kServerAgrees}, {Next::Wait}, true},
        SequenceCase{
            "Confirmed", false, {kServerAgrees + answersTo9600()}, {Next::Confirmed}, false},
        SequenceCase{
            "Refused", false, {kServerAgrees + answersTo9600(true)}, {Next::Refused}, false},
        SequenceCase{"NewerChoiceSentAfterTheAnswer",
                     true,
                     {kServerAgrees + answersTo9600(), answersTo9600()},
                     {Next::Resend, Next::Confirmed},
                     false},
        SequenceCase{"NewerChoiceSentEvenAfterARefusal",
                     true,
                     {kServerAgrees + answersTo9600(true), answersTo9600()},
                     {Next::Resend, Next::Confirmed},
                     false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Rfc2217SettingsTest, AResetForgetsTheNewerChoiceAndTheConfirmation) {
    ComPortClient client([](std::string_view) {});
    client.start();
    Rfc2217Settings settings([] {});
    settings.setConfirming(true);
    settings.request(client, {9600, P::NoParity, P::Data8, P::OneStop});
    settings.choseMeanwhile();
    settings.reset();
    std::string data;
    std::string why;
    client.receive(kServerAgrees + answersTo9600(), data);
    EXPECT_EQ(settings.take(client, why), Next::Confirmed);
    EXPECT_FALSE(settings.confirming());
}

}  // namespace
}  // namespace panel
