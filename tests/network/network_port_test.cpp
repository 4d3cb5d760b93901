// The network port against the real ser2net in front of a pseudo-terminal, on loopback only.
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "serial/network_port.h"
#include "testkit/pseudo_terminal.h"
#include "testkit/ser2net_process.h"

namespace panel::test {
namespace {

using ::testing::HasSubstr;
using ::testing::SizeIs;

bool waitUntil(const std::function<bool()>& done, int ms = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

void settle(int ms = 200) {
    waitUntil([] { return false; }, ms);
}

class RecordingListener final : public PortListener {
public:
    explicit RecordingListener(SerialPort& port) : port_(port) {}
    void onComm(int kind) override {
        if (kind != kCommEventReceived) return;
        std::string block;
        if (!port_.input(block)) received += block;
    }
    void onPortFailure(const PortError& error) override { failures.push_back(error); }

    std::string received;
    std::vector<PortError> failures;

private:
    SerialPort& port_;
};

std::string allByteValues() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    return bytes;
}

// COM1 leads to the Telnet/RFC 2217 port, COM2 to the raw one, both before the same line.
class NetworkPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(line.ok());
        ASSERT_TRUE(server.ok()) << server.log();
        port = std::make_unique<NetworkPort>(PortDevices{server.rfc2217Url(), server.socketUrl()});
        listener = std::make_unique<RecordingListener>(*port);
        port->setListener(listener.get());
    }

    PortResult open(int number, const char* settings = "19200,N,8,1") {
        if (auto error = port->setCommPort(number)) return error;
        if (auto error = port->setSettings(settings)) return error;
        return port->setOpen(true);
    }

    speed_t lineSpeed() const { return cfgetospeed(&static_cast<const termios&>(attributes())); }
    termios attributes() const { return line.attributes(); }

    PseudoTerminal line;
    Ser2NetProcess server{line.path()};
    std::unique_ptr<NetworkPort> port;
    std::unique_ptr<RecordingListener> listener;
};

class BothSchemesTest : public NetworkPortTest, public ::testing::WithParamInterface<int> {};

TEST_P(BothSchemesTest, FramesReachTheLineAndAnswersComeBack) {
    ASSERT_FALSE(open(GetParam()));
    ASSERT_TRUE(port->isOpen());
    ASSERT_FALSE(port->output("CR0\r"));
    ASSERT_FALSE(port->output("C00\r"));
    EXPECT_EQ(line.read(8), "CR0\rC00\r");
    ASSERT_TRUE(line.write("80\r\x06"));
    EXPECT_TRUE(waitUntil([&] { return listener->received == "80\r\x06"; })) << listener->received;
}

TEST_P(BothSchemesTest, EveryByteValuePassesBothWaysExactlyOnce) {
    ASSERT_FALSE(open(GetParam()));
    const std::string bytes = allByteValues();
    ASSERT_FALSE(port->output(bytes));
    ASSERT_FALSE(port->output(std::string("\xFF\r\x00\xFF", 4)));
    EXPECT_EQ(line.read(256 + 4), bytes + std::string("\xFF\r\x00\xFF", 4));
    EXPECT_EQ(line.drain(), "") << "a byte was added (a NUL after CR, a doubled 0xFF)";

    ASSERT_TRUE(line.write(bytes + std::string("\xFF\x00", 2)));
    EXPECT_TRUE(waitUntil([&] { return listener->received.size() >= 258; }));
    settle(100);
    EXPECT_EQ(listener->received, bytes + std::string("\xFF\x00", 2));
}

INSTANTIATE_TEST_SUITE_P(Ports, BothSchemesTest, ::testing::Values(1, 2),
                         [](const auto& info) { return info.param == 1 ? "Rfc2217" : "Socket"; });

TEST_F(NetworkPortTest, SpeedSelectionReachesTheLineOverRfc2217Only) {
    ASSERT_FALSE(open(1, "9600,N,8,1"));
    EXPECT_EQ(lineSpeed(), B9600);
    const termios opened = attributes();
    EXPECT_EQ(opened.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(opened.c_cflag & PARENB);
    EXPECT_FALSE(opened.c_cflag & CSTOPB);
    ASSERT_FALSE(port->setSettings("19200,N,8,1"));
    EXPECT_EQ(lineSpeed(), B19200);
    ASSERT_FALSE(port->setSettings("9600,N,8,1"));
    EXPECT_EQ(lineSpeed(), B9600);
    ASSERT_FALSE(port->setSettings("19200,N,8,1"));
    EXPECT_EQ(lineSpeed(), B19200);
    ASSERT_FALSE(port->setOpen(false));
    settle(300);  // ser2net lets go of the device after the connection has closed

    // socket://: the line stays as the server set it, and that is no error.
    ASSERT_FALSE(open(2, "19200,N,8,1"));
    EXPECT_FALSE(port->setSettings("9600,N,8,1"));
    settle(100);
    EXPECT_EQ(lineSpeed(), B19200);
    EXPECT_TRUE(port->isOpen()) << listener->received;
}

TEST_F(NetworkPortTest, DeviceServerKilledIsToldOnceAndASelectionReconnects) {
    ASSERT_FALSE(open(1));
    server.kill();
    ASSERT_TRUE(waitUntil([&] { return !listener->failures.empty(); }));
    settle(300);
    ASSERT_THAT(listener->failures, SizeIs(1));
    // The reason alone, as the local adapter gives it: the controller puts the device in front
    // when it tells the operator, so the URL in here would be shown twice.
    EXPECT_EQ(listener->failures.front().description, "the device server closed the connection");
    EXPECT_FALSE(port->isOpen());
    EXPECT_TRUE(port->output("C00\r")) << "writes to the lost connection must fail";

    const PortResult whileDown = port->setOpen(true);
    ASSERT_TRUE(whileDown);
    EXPECT_THAT(whileDown->description, HasSubstr("refused"));

    ASSERT_TRUE(server.start()) << server.log();
    ASSERT_FALSE(port->setOpen(true));
    ASSERT_FALSE(port->output("C01\r"));
    EXPECT_EQ(line.read(4), "C01\r");
    settle(100);
    EXPECT_THAT(listener->failures, SizeIs(1));
}

TEST_P(BothSchemesTest, ASecondPanelOnABusyLineIsToldWithTheUrl) {
    ASSERT_FALSE(open(GetParam()));
    NetworkPort second(PortDevices{server.rfc2217Url(), server.socketUrl()});
    RecordingListener secondListener(second);
    second.setListener(&secondListener);
    ASSERT_FALSE(second.setCommPort(GetParam()));
    ASSERT_FALSE(second.setSettings("19200,N,8,1"));
    // ser2net takes the connection, then refuses the line: the open fails, or the connection
    // is lost right after it.
    const PortResult refused = second.setOpen(true);
    if (!refused) {
        ASSERT_TRUE(waitUntil([&] { return !secondListener.failures.empty(); }))
            << "received: " << secondListener.received;
    }
    const std::string told =
        refused ? refused->description : secondListener.failures.front().description;
    RecordProperty("told", told);
    // A failed open is shown in the selection's box as it is, so it names the URL itself; a
    // connection lost later is the reason alone, as the controller puts the device in front.
    if (refused) {
        EXPECT_THAT(told, HasSubstr(second.deviceName() + ": ")) << told;
    } else {
        EXPECT_EQ(told.find(second.deviceName()), std::string::npos) << told;
    }
    EXPECT_FALSE(second.isOpen());

    // The first panel keeps its line.
    ASSERT_FALSE(port->output("C00\r"));
    EXPECT_EQ(line.read(4), "C00\r");
    EXPECT_TRUE(listener->failures.empty());
}

struct OpenFailureCase {
    const char* name;
    std::function<QString()> device;
    std::function<std::string(const QString& device)> expected;
};

class OpenFailureTest : public ::testing::TestWithParam<OpenFailureCase> {};

TEST_P(OpenFailureTest, FailsAtOnceNamingTheUrl) {
    const QString device = GetParam().device();
    NetworkPort port(PortDevices{device, device});
    QElapsedTimer clock;
    clock.start();
    const PortResult error = port.setOpen(true);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->description, GetParam().expected(device));
    EXPECT_FALSE(port.isOpen());
    EXPECT_LT(clock.elapsed(), 3000) << "no wait longer than the connect limit";
}

INSTANTIATE_TEST_SUITE_P(
    Table, OpenFailureTest,
    ::testing::Values(
        OpenFailureCase{
            "RefusedPort",
            [] { return QStringLiteral("rfc2217://127.0.0.1:%1").arg(freeLoopbackPort()); },
            [](const QString& d) { return d.toStdString() + ": the connection was refused"; }},
        OpenFailureCase{"UnknownHost",
                        [] { return QStringLiteral("socket://projector.invalid:4001"); },
                        [](const QString& d) {
                            return d.toStdString() + ": the host projector.invalid is unknown";
                        }},
        OpenFailureCase{
            "MalformedUrl", [] { return QStringLiteral("socket://127.0.0.1"); },
            [](const QString& d) { return d.toStdString() + ": no port (HOST:PORT)"; }}),
    [](const auto& info) { return std::string(info.param.name); });

// A loopback listener whose queue is full: the kernel drops further connection attempts
// unanswered, as an unreachable host does, without anything leaving 127.0.0.1.
class FullListener {
public:
    FullListener() {
        listener_ = test::listenOnLoopback(0, port_);
        if (listener_ < 0) return;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port_);
        const socklen_t size = sizeof address;
        for (int& fd : fillers_) {
            fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            (void)::connect(fd, reinterpret_cast<sockaddr*>(&address), size);
        }
        settle(200);
    }
    ~FullListener() {
        for (int fd : fillers_) ::close(fd);
        ::close(listener_);
    }
    std::uint16_t port() const { return port_; }

private:
    int listener_ = -1;
    int fillers_[4] = {-1, -1, -1, -1};
    std::uint16_t port_ = 0;
};

TEST(NetworkPortServerTest, AHostThatNeverAnswersFailsAfterThreeSeconds) {
    FullListener full;
    ASSERT_NE(full.port(), 0);
    const QString url = QStringLiteral("socket://127.0.0.1:%1").arg(full.port());
    NetworkPort port(PortDevices{url, url});
    QElapsedTimer clock;
    clock.start();
    const PortResult error = port.setOpen(true);
    ASSERT_TRUE(error) << "connected to a full queue";
    EXPECT_EQ(error->description,
              url.toStdString() + ": no answer from the device server within 3 s");
    EXPECT_GE(clock.elapsed(), 2900);
    EXPECT_FALSE(port.isOpen());
}

// A Telnet server that accepts and then says nothing, or answers with its own choice of speed.
TEST(NetworkPortServerTest, UnconfirmedSettingsFailTheOpenAfterOneSecond) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    const QString url = QStringLiteral("rfc2217://127.0.0.1:%1").arg(silent.serverPort());
    NetworkPort port(PortDevices{url, url});
    ASSERT_FALSE(port.setSettings("9600,N,8,1"));
    QElapsedTimer clock;
    clock.start();
    const PortResult error = port.setOpen(true);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->description,
              url.toStdString() + ": the device server did not confirm 9600 baud");
    EXPECT_GE(clock.elapsed(), 900);
    EXPECT_FALSE(port.isOpen());
}

}  // namespace
}  // namespace panel::test
