// The RFC 2217 client's reading of the server's answers, fed as bytes.
#include "serial/telnet/com_port_client.h"

#include <gtest/gtest.h>

#include <string>

namespace panel {
namespace {

const std::string kAgree("\xFF\xFD\x2C", 3);  // IAC DO COM-PORT-OPTION

std::string reply(std::string body) {
    return std::string("\xFF\xFA\x2C", 3) + body + std::string("\xFF\xF0", 2);
}

// Confirmations of 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control.
std::string confirmations(std::string baud = std::string("\x65\x00\x00\x25\x80", 5)) {
    return reply(baud) + reply("\x66\x08") + reply("\x67\x01") + reply("\x68\x01") +
           reply("\x69\x01");
}

struct AnswerCase {
    const char* name;
    friend void PrintTo(const AnswerCase& c, std::ostream* os) { *os << c.name; }
    std::string server;
    ComPortClient::Answer answer;
    const char* why;
};

class AnswerTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(AnswerTest, ReadsTheServersConfirmations) {
    std::string sent;
    ComPortClient client([&](std::string_view bytes) { sent += bytes; });
    client.start();
    client.requestSettings(ComPortSettings{});
    std::string data;
    client.receive(GetParam().server, data);
    std::string why;
    EXPECT_EQ(client.answer(why), GetParam().answer);
    EXPECT_EQ(why, GetParam().why);
    EXPECT_EQ(data, "") << "negotiation is no data";
}

using enum ComPortClient::Answer;
INSTANTIATE_TEST_SUITE_P(
    Table, AnswerTest,
    ::testing::Values(
        AnswerCase{"AllConfirmed", kAgree + confirmations(), Confirmed, ""},
        AnswerCase{"Silent", "", Waiting, "the device server did not confirm 9600 baud"},
        AnswerCase{"AgreedButSilent", kAgree, Waiting,
                   "the device server did not confirm 9600 baud"},
        AnswerCase{"OtherSpeed", kAgree + confirmations(std::string("\x65\x00\x00\x12\xC0", 5)),
                   Refused, "the device server set 4800 baud, not 9600 baud"},
        AnswerCase{"OnlyTheSpeed", kAgree + reply(std::string("\x65\x00\x00\x25\x80", 5)), Waiting,
                   "the device server did not confirm 8 data bits"},
        AnswerCase{"OtherParity",
                   kAgree + reply(std::string("\x65\x00\x00\x25\x80", 5)) + reply("\x66\x08") +
                       reply("\x67\x03") + reply("\x68\x01") + reply("\x69\x01"),
                   Refused, "the device server set even parity, not no parity"},
        // A refusal of the offer is silent in libtelnet: it runs into the time limit.
        AnswerCase{"OptionRefused", std::string("\xFF\xFE\x2C", 3), Waiting,
                   "the device server did not confirm 9600 baud"},
        AnswerCase{"OptionWithdrawn", kAgree + std::string("\xFF\xFE\x2C", 3), Refused,
                   "the device server does not offer control of the serial line (RFC 2217)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ComPortClientTest, LateRepliesToAnEarlierRequestNeitherConfirmNorRefuseTheCurrentOne) {
    // The earlier request asked for the same settings, or for 4800 baud.
    for (const std::uint32_t earlierBaud : {9600u, 4800u}) {
        ComPortClient client([](std::string_view) {});
        client.start();
        std::string data;
        client.receive(kAgree, data);
        ComPortSettings earlier;
        earlier.baud = earlierBaud;
        client.requestSettings(earlier);
        client.requestSettings(ComPortSettings{});
        const char baud[] = {'\x65', 0, 0, static_cast<char>(earlierBaud >> 8),
                             static_cast<char>(earlierBaud & 0xFF)};
        client.receive(confirmations(std::string(baud, 5)), data);
        std::string why;
        EXPECT_EQ(client.answer(why), ComPortClient::Answer::Waiting) << earlierBaud;
        EXPECT_EQ(why, "the device server did not confirm 9600 baud");
        client.receive(confirmations(), data);
        EXPECT_EQ(client.answer(why), ComPortClient::Answer::Confirmed) << why;
    }
}

TEST(ComPortClientTest, RequestsWaitForTheServersAgreementAndCarryTheSpeedInNetworkOrder) {
    std::string sent;
    ComPortClient client([&](std::string_view bytes) { sent += bytes; });
    client.start();
    ComPortSettings settings;
    settings.baud = 19200;
    client.requestSettings(settings);
    // WILL BINARY, DO BINARY, WILL COM-PORT-OPTION; no subnegotiation before the server agrees.
    EXPECT_EQ(sent, std::string("\xFF\xFB\x00\xFF\xFD\x00\xFF\xFB\x2C", 9));
    sent.clear();
    std::string data;
    client.receive(kAgree, data);
    EXPECT_EQ(sent.substr(0, 10), std::string("\xFF\xFA\x2C\x01\x00\x00\x4B\x00\xFF\xF0", 10));
}

}  // namespace
}  // namespace panel
