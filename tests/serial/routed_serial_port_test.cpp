// The router between a local and a network line: a refusal of either side is the router's, a port
// number change leaves both sides on the same number, and a wait for a lost line tells what only
// the operator can mend.
#include "serial/routed_serial_port.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <ostream>
#include <string>
#include <vector>

#include "serial/held_line.h"
#include "serial/line_watcher.h"
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
    bool isOpening() const override { return fake.isOpening(); }
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

class HeardOpens final : public PortListener {
public:
    void onComm(int) override {}
    void onPortFailure(const PortError&) override {}
    void onOpenFailed(const PortError& error) override { told.push_back(error.description); }
    std::vector<std::string> told;
};

// The tries of a wait for a lost network line, in order: each reopen opens (""), is lost right
// after it opened ("lost"), or fails with its description.
struct NetworkWaitCase {
    const char* name;
    std::vector<std::string> tries;
    std::size_t told;
    bool heldAtTheEnd;  // as the watcher says, for the window's title
};

void PrintTo(const NetworkWaitCase& row, std::ostream* out) {
    *out << row.name;
}

const std::string kRefused = "rfc2217://127.0.0.1:2217: the connection was refused";
const std::string kHeld =
    "rfc2217://127.0.0.1:2217: the device server closed the connection: already in use by "
    "another client";

class NetworkWaitTest : public ::testing::TestWithParam<NetworkWaitCase> {};

TEST_P(NetworkWaitTest, ALineHeldByTheDeviceServerIsToldOnceAWait) {
    FakeDevicePort local;
    FakeDevicePort network;
    RoutedSerialPort routed(kDevices, local, network);
    LineWatcher watcher{QStringList{}};
    routed.reopenLostLines(watcher);
    bool held = false;
    QObject::connect(&watcher, &LineWatcher::heldChanged, [&](bool now) { held = now; });
    HeardOpens heard;
    routed.setListener(&heard);
    ASSERT_FALSE(routed.setCommPort(2));
    ASSERT_FALSE(routed.setOpen(true));
    network.fake.openLater();
    network.fake.hangUp(PortError{"the device server closed the connection"});
    for (const std::string& outcome : GetParam().tries) {
        if (outcome == "lost") {
            network.fake.hangUp(PortError{"the device server closed the connection"});
            continue;
        }
        emit watcher.tryNow();
        ASSERT_TRUE(network.isOpening());
        network.fake.settleOpen(outcome.empty() ? PortResult{} : PortResult{PortError{outcome}});
    }
    EXPECT_EQ(heard.told.size(), GetParam().told);
    EXPECT_EQ(held, GetParam().heldAtTheEnd);
    for (const std::string& text : heard.told) {
        EXPECT_NE(text.find(kServerHoldsLine), std::string::npos) << text;
        EXPECT_NE(text.find("kickolduser"), std::string::npos) << text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tries, NetworkWaitTest,
    ::testing::Values(NetworkWaitCase{"HeldOnEveryTry", {kHeld, kHeld, kHeld}, 1, true},
                      NetworkWaitCase{"ServerStillDown", {kRefused, kRefused, kRefused}, 0, false},
                      NetworkWaitCase{"HeldOnceTheServerIsBack", {kRefused, kHeld, kHeld}, 1, true},
                      NetworkWaitCase{"HeldThenServerDown", {kHeld, kRefused}, 1, false},
                      NetworkWaitCase{
                          "EachLossIsAWaitOfItsOwn", {kHeld, "", "lost", kHeld}, 2, true},
                      NetworkWaitCase{"HeldThenBack", {kHeld, ""}, 1, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace panel
