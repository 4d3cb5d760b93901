// The router between a local and a network line: a refusal of either side is the router's, and
// a port number change leaves both sides on the same number.
#include "serial/routed_serial_port.h"

#include <gtest/gtest.h>

#include "testkit/fake_port.h"

namespace panel {
namespace {

using test::FakePort;

// A fake port whose devices the router may change (it keeps none).
class FakeDevicePort final : public DevicePort {
public:
    FakePort fake;
    void setListener(PortListener* listener) override { fake.setListener(listener); }
    PortResult setCommPort(int port) override { return fake.setCommPort(port); }
    int commPort() const override { return fake.commPort(); }
    std::string deviceName() const override { return fake.deviceName(); }
    void setDevice(int, const QString&) override {}
    PortResult setSettings(std::string_view settings) override {
        return fake.setSettings(settings);
    }
    bool isOpen() const override { return fake.isOpen(); }
    PortResult setOpen(bool open) override { return fake.setOpen(open); }
    PortResult output(std::string_view bytes) override { return fake.output(bytes); }
    PortResult input(std::string& bytes) override { return fake.input(bytes); }
};

// COM1 is a local device, COM2 a device server.
const PortDevices kDevices{QStringLiteral("/dev/fake-local"),
                           QStringLiteral("rfc2217://127.0.0.1:2217")};

TEST(RoutedSerialPortTest, APortNumberRefusedBySideChangesNeither) {
    for (const bool networkRefuses : {true, false}) {
        FakeDevicePort local;
        FakeDevicePort network;
        RoutedSerialPort routed(kDevices, local, network);
        (networkRefuses ? network : local).fake.failOn(FakePort::Op::SetCommPort, PortError{"no"});
        const PortResult result = routed.setCommPort(2);
        ASSERT_TRUE(result) << networkRefuses;
        EXPECT_EQ(result->description, "no");
        EXPECT_EQ(local.commPort(), 1) << networkRefuses;
        EXPECT_EQ(network.commPort(), 1) << networkRefuses;
    }
}

TEST(RoutedSerialPortTest, SettingsRefusedByTheIdleSideAreRefused) {
    FakeDevicePort local;
    FakeDevicePort network;
    RoutedSerialPort routed(kDevices, local, network);
    network.fake.failOn(FakePort::Op::SetSettings, PortError{"bad settings"});
    const PortResult result = routed.setSettings("9600,N,8,1");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->description, "bad settings");
    EXPECT_EQ(local.fake.settings(), "9600,N,8,1");
}

}  // namespace
}  // namespace panel
