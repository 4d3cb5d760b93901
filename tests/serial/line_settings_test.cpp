// The settings parser: the strings the panel uses, other well-formed ones, and malformed ones.
#include "serial/line_settings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace panel {
namespace {

struct GoodCase {
    const char* name;
    friend void PrintTo(const GoodCase& c, std::ostream* os) { *os << c.name; }
    const char* text;
    LineSettings expected;
};

class GoodSettingsTest : public ::testing::TestWithParam<GoodCase> {};

TEST_P(GoodSettingsTest, ParsesIntoItsFields) {
    LineSettings settings{1, QSerialPort::MarkParity, QSerialPort::Data5, QSerialPort::TwoStop};
    const PortResult error = parseLineSettings(GetParam().text, settings);
    ASSERT_FALSE(error) << error->description;
    EXPECT_EQ(settings, GetParam().expected);
}

using P = QSerialPort;
INSTANTIATE_TEST_SUITE_P(
    Table, GoodSettingsTest,
    ::testing::Values(
        GoodCase{"Panel19200", "19200,N,8,1", {19200, P::NoParity, P::Data8, P::OneStop}},
        GoodCase{"Panel9600", "9600,N,8,1", {9600, P::NoParity, P::Data8, P::OneStop}},
        GoodCase{"EvenSevenTwo", "9600,E,7,2", {9600, P::EvenParity, P::Data7, P::TwoStop}},
        GoodCase{"OddLowerCase", "4800,o,8,1", {4800, P::OddParity, P::Data8, P::OneStop}},
        GoodCase{
            "MarkSixOneAndHalf", "300,M,6,1.5", {300, P::MarkParity, P::Data6, P::OneAndHalfStop}},
        GoodCase{"SpaceFive", "110,s,5,1", {110, P::SpaceParity, P::Data5, P::OneStop}},
        GoodCase{"HighSpeed", "921600,N,8,1", {921600, P::NoParity, P::Data8, P::OneStop}},
        GoodCase{
            "LargestSpeed", "2147483647,N,8,1", {2147483647, P::NoParity, P::Data8, P::OneStop}}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadCase {
    const char* name;
    friend void PrintTo(const BadCase& c, std::ostream* os) { *os << c.name; }
    const char* text;
};

class BadSettingsTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadSettingsTest, IsRefusedNamingTheTextAndLeavesSettingsAlone) {
    const LineSettings before{19200, QSerialPort::NoParity, QSerialPort::Data8,
                              QSerialPort::OneStop};
    LineSettings settings = before;
    const PortResult error = parseLineSettings(GetParam().text, settings);
    ASSERT_TRUE(error) << "accepted";
    EXPECT_THAT(error->description, ::testing::HasSubstr('"' + std::string(GetParam().text) + '"'));
    EXPECT_EQ(settings, before);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadSettingsTest,
    ::testing::Values(
        BadCase{"Empty", ""}, BadCase{"OnlySpeed", "9600"}, BadCase{"ThreeFields", "9600,N,8"},
        BadCase{"FiveFields", "9600,N,8,1,0"}, BadCase{"TrailingComma", "9600,N,8,1,"},
        BadCase{"Semicolons", "9600;N;8;1"}, BadCase{"SpaceAfterComma", "9600, N,8,1"},
        BadCase{"LeadingSpace", " 9600,N,8,1"}, BadCase{"ZeroSpeed", "0,N,8,1"},
        BadCase{"NegativeSpeed", "-9600,N,8,1"}, BadCase{"PlusSpeed", "+9600,N,8,1"},
        BadCase{"SpeedWithLetters", "96k,N,8,1"}, BadCase{"SpeedOverflow", "2147483648,N,8,1"},
        BadCase{"EmptySpeed", ",N,8,1"}, BadCase{"UnknownParity", "9600,X,8,1"},
        BadCase{"ParityWord", "9600,None,8,1"}, BadCase{"EmptyParity", "9600,,8,1"},
        BadCase{"FourDataBits", "9600,N,4,1"}, BadCase{"NineDataBits", "9600,N,9,1"},
        BadCase{"ThreeStopBits", "9600,N,8,3"}, BadCase{"ZeroStopBits", "9600,N,8,0"},
        BadCase{"StopBitsOnePointZero", "9600,N,8,1.0"}, BadCase{"EmptyStopBits", "9600,N,8,"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineSettingsTest, EmbeddedNulIsRefused) {
    LineSettings settings;
    EXPECT_TRUE(parseLineSettings(std::string_view("9600,N,8,1\0", 11), settings));
}

}  // namespace
}  // namespace panel
