// The one rule for what names a device behind COM1 or COM2, wherever a name is read.
#include "serial/device_name.h"

#include <gtest/gtest.h>

namespace panel {
namespace {

struct NameCase {
    const char* name;
    friend void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }
    const char* text;
    const char* device;   // empty: refused
    const char* problem;  // words the refusal contains
};

class DeviceNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(DeviceNameTest, APathOrAUrlIsTakenAndABareNameIsANodeUnderDev) {
    const CheckedDevice checked = checkDevice(QString::fromUtf8(GetParam().text));
    EXPECT_EQ(checked.device.toStdString(), GetParam().device);
    EXPECT_TRUE(checked.problem.contains(QString::fromUtf8(GetParam().problem)))
        << checked.problem.toStdString();
    EXPECT_EQ(checked.problem.isEmpty(), !*GetParam().problem) << checked.problem.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Table, DeviceNameTest,
    ::testing::Values(NameCase{"FullPath", "/dev/ttyUSB0", "/dev/ttyUSB0", ""},
                      NameCase{"StableLink", "/dev/serial/by-id/usb-x-port0",
                               "/dev/serial/by-id/usb-x-port0", ""},
                      NameCase{"BareName", "ttyUSB0", "/dev/ttyUSB0", ""},
                      NameCase{"NameBelowDev", "pts/3", "/dev/pts/3", ""},
                      NameCase{"Rfc2217Url", "rfc2217://hall-a:4001", "rfc2217://hall-a:4001", ""},
                      NameCase{"SocketUrl", "socket://[::1]:7000", "socket://[::1]:7000", ""},
                      NameCase{"UrlWithoutPort", "rfc2217://hall-a", "", "no port"},
                      NameCase{"UnknownScheme", "telnet://hall-a:23", "", "unknown scheme"},
                      NameCase{"RelativeToHere", "./ttyUSB0", "",
                               "full path, such as /dev/ttyUSB0"},
                      NameCase{"RelativeToParent", "../pty", "", "relative path"},
                      NameCase{"Empty", "", "", "no device"},
                      NameCase{"Blank", "   ", "", "no device"},
                      NameCase{"ControlCharacter", "/dev/tty\x1bUSB0", "", "control character"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace panel
