// The Qt serial adapter on real pseudo-terminals: settings on the line, bytes both ways, failures.
#include "serial/qt_serial_port.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <cerrno>
#include <functional>
#include <memory>
#include <thread>

#include "testkit/pseudo_terminal.h"

namespace panel {
namespace {

using test::PseudoTerminal;
using ::testing::AllOf;
using ::testing::Each;
using ::testing::Eq;
using ::testing::IsEmpty;
using ::testing::Not;

// Runs the event loop until `done` holds; the limit only keeps a broken build from hanging.
bool waitUntil(const std::function<bool()>& done, int limitMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limitMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Runs the event loop for a while, to let anything that should not happen show itself.
void settle(int ms = 200) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Takes what arrives as the controller does, and notes any call made from inside an operation.
class RecordingListener final : public PortListener {
public:
    explicit RecordingListener(SerialPort& port) : port_(port) {}

    void onComm(int kind) override {
        if (insideOperation) ++reentered;
        events.push_back(kind);
        if (kind != kCommEventReceived) return;
        std::string block;
        if (auto error = port_.input(block)) inputErrors.push_back(*error);
        received += block;
    }
    void onPortFailure(const PortError& error) override {
        if (insideOperation) ++reentered;
        failures.push_back(error);
    }
    void onOpenFailed(const PortError& error) override {
        if (insideOperation) ++reentered;
        openFailures.push_back(error);
    }

    bool insideOperation = false;
    int reentered = 0;
    std::vector<int> events;
    std::string received;
    std::vector<PortError> inputErrors;
    std::vector<PortError> failures;
    std::vector<PortError> openFailures;

private:
    SerialPort& port_;
};

class QtSerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(line1.ok() && line2.ok()) << "no pseudo-terminal available";
        port = std::make_unique<QtSerialPort>(PortDevices{line1.path(), line2.path()});
        listener = std::make_unique<RecordingListener>(*port);
        port->setListener(listener.get());
        QObject::connect(&port->device(), &QSerialPort::aboutToClose, [this] { ++closes; });
        QObject::connect(&port->device(), &QSerialPort::errorOccurred,
                         [this](QSerialPort::SerialPortError error) {
                             if (error == QSerialPort::ResourceError ||
                                 error == QSerialPort::ReadError ||
                                 error == QSerialPort::WriteError)
                                 ++lineErrors;
                         });
    }
    void TearDown() override {
        EXPECT_EQ(listener->reentered, 0) << "listener called mid-operation";
    }

    // Calls into the adapter the way the controller does, watching for re-entry.
    PortResult call(const std::function<PortResult()>& operation) {
        listener->insideOperation = true;
        PortResult result = operation();
        listener->insideOperation = false;
        return result;
    }
    PortResult open() {
        return call([&] { return port->setOpen(true); });
    }
    PortResult settings(std::string_view text) {
        return call([&] { return port->setSettings(text); });
    }
    PortResult output(std::string_view bytes) {
        return call([&] { return port->output(bytes); });
    }

    PseudoTerminal line1;
    PseudoTerminal line2;
    std::unique_ptr<QtSerialPort> port;
    std::unique_ptr<RecordingListener> listener;
    int closes = 0;
    int lineErrors = 0;
};

std::string describe(const PortResult& result) {
    return result ? result->description : "success";
}

// --- settings on the line ---------------------------------------------------------------------

struct AdapterSettingsCase {
    const char* name;
    friend void PrintTo(const AdapterSettingsCase& c, std::ostream* os) { *os << c.name; }
    const char* text;
    speed_t speed;
    bool twoStopBits;
    QSerialPort::Parity parity;
    QSerialPort::DataBits dataBits;
};

class SettingsTest : public QtSerialPortTest,
                     public ::testing::WithParamInterface<AdapterSettingsCase> {};

TEST_P(SettingsTest, SettingsGivenWhileClosedApplyAtOpenWithoutFlowControl) {
    const AdapterSettingsCase& c = GetParam();
    ASSERT_FALSE(settings(c.text)) << describe(settings(c.text));
    ASSERT_FALSE(open()) << describe(open());

    // Speed and stop bits as the line's own terminal attributes hold them.
    const termios line = line1.attributes();
    EXPECT_EQ(cfgetospeed(&line), c.speed);
    EXPECT_EQ(cfgetispeed(&line), c.speed);
    EXPECT_EQ((line.c_cflag & CSTOPB) != 0, c.twoStopBits);
    EXPECT_EQ(line.c_cflag & CRTSCTS, 0u) << "hardware flow control is on";
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF), 0u) << "software flow control is on";
    // The pseudo-terminal driver forces 8 data bits and no parity; these show what was asked.
    EXPECT_EQ(port->device().parity(), c.parity);
    EXPECT_EQ(port->device().dataBits(), c.dataBits);
    EXPECT_EQ(port->device().flowControl(), QSerialPort::NoFlowControl);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SettingsTest,
    ::testing::Values(AdapterSettingsCase{"Panel19200", "19200,N,8,1", B19200, false,
                                          QSerialPort::NoParity, QSerialPort::Data8},
                      AdapterSettingsCase{"Panel9600", "9600,N,8,1", B9600, false,
                                          QSerialPort::NoParity, QSerialPort::Data8},
                      AdapterSettingsCase{"EvenSevenTwo", "9600,E,7,2", B9600, true,
                                          QSerialPort::EvenParity, QSerialPort::Data7},
                      AdapterSettingsCase{"Odd115200", "115200,o,8,1", B115200, false,
                                          QSerialPort::OddParity, QSerialPort::Data8},
                      AdapterSettingsCase{"TwoStopBits2400", "2400,N,8,2", B2400, true,
                                          QSerialPort::NoParity, QSerialPort::Data8}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(QtSerialPortTest, NewSettingsOnOpenPortApplyAtOnceWithoutClosing) {
    ASSERT_FALSE(settings("19200,N,8,1"));
    ASSERT_FALSE(open());
    const int closesBefore = closes;

    struct Step {
        const char* text;
        speed_t speed;
        bool twoStopBits;
    };
    for (const Step& step : {Step{"9600,N,8,1", B9600, false}, Step{"19200,N,8,2", B19200, true},
                             Step{"19200,N,8,1", B19200, false}}) {
        SCOPED_TRACE(step.text);
        ASSERT_FALSE(settings(step.text)) << describe(settings(step.text));
        const termios line = line1.attributes();
        EXPECT_EQ(cfgetospeed(&line), step.speed);
        EXPECT_EQ((line.c_cflag & CSTOPB) != 0, step.twoStopBits);
        EXPECT_TRUE(port->isOpen());
    }
    EXPECT_EQ(closes, closesBefore) << "the port was closed to change its settings";

    // The line still works both ways.
    ASSERT_FALSE(output("C00\r"));
    EXPECT_EQ(line1.read(4), "C00\r");
    ASSERT_TRUE(line1.write("000\r"));
    EXPECT_TRUE(waitUntil([&] { return listener->received == "000\r"; }));
}

TEST_F(QtSerialPortTest, MalformedSettingsAreRefusedAndChangeNothing) {
    ASSERT_FALSE(settings("19200,N,8,1"));
    ASSERT_FALSE(open());
    const PortResult refused = settings("19200;N;8;1");
    ASSERT_TRUE(refused);
    EXPECT_THAT(refused->description, ::testing::HasSubstr("19200;N;8;1"));
    const termios line = line1.attributes();
    EXPECT_EQ(cfgetospeed(&line), B19200);
    EXPECT_EQ(port->lineSettings().baudRate, 19200);
    EXPECT_TRUE(port->isOpen());
}

// --- bytes both ways --------------------------------------------------------------------------

struct BytesCase {
    const char* name;
    friend void PrintTo(const BytesCase& c, std::ostream* os) { *os << c.name; }
    std::string bytes;
};

const BytesCase kBytes[] = {
    {"PowerOnFrame", "C00\r"},
    {"WordedCommand", "CF FANMODE L1\r"},
    // Bytes a cooked terminal would eat or change: NUL, ^C, XON/XOFF, CR, LF, DEL, 8-bit codes.
    {"EveryControlAndEightBitCode", std::string("\x00\x03\x11\x13\r\n\x7f\x80\xff", 9)},
};

class BytesTest : public QtSerialPortTest, public ::testing::WithParamInterface<BytesCase> {};

TEST_P(BytesTest, OutputArrivesAtTheFarEndExactly) {
    ASSERT_FALSE(open());
    const std::string& bytes = GetParam().bytes;
    ASSERT_FALSE(output(bytes));
    EXPECT_EQ(line1.read(bytes.size()), bytes);
    EXPECT_EQ(line1.drain(), "") << "more than the frame was written";
}

TEST_P(BytesTest, FarEndBytesRaiseReceiveEventsAndInputReturnsThem) {
    ASSERT_FALSE(open());
    const std::string& bytes = GetParam().bytes;
    ASSERT_TRUE(line1.write(bytes));
    EXPECT_TRUE(waitUntil([&] { return listener->received.size() >= bytes.size(); }));
    EXPECT_EQ(listener->received, bytes);
    EXPECT_THAT(listener->events, AllOf(Not(IsEmpty()), Each(Eq(kCommEventReceived))));
    EXPECT_THAT(listener->inputErrors, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Table, BytesTest, ::testing::ValuesIn(kBytes),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(QtSerialPortTest, ReplyInTwoPiecesArrivesInOrder) {
    ASSERT_FALSE(open());
    ASSERT_TRUE(line1.write("0"));
    ASSERT_TRUE(waitUntil([&] { return listener->received == "0"; }));
    ASSERT_TRUE(line1.write("0\r"));
    EXPECT_TRUE(waitUntil([&] { return listener->received == "00\r"; })) << listener->received;
    EXPECT_GE(listener->events.size(), 2u);
}

// A line that takes no more for now (a long typed command still going out, a slow line) is no
// failure: later frames wait behind the earlier bytes and everything arrives in order.
TEST_F(QtSerialPortTest, FramesWhileTheLineIsFullAreQueuedInOrderNotFailures) {
    // The far end reads on its own thread while the event loop runs: the adapter writes what the
    // line would not take at once from there.
    const auto receive = [this](std::size_t count) {
        std::string received;
        std::atomic<bool> done = false;
        std::thread reader([&] {
            received = line1.read(count, std::chrono::seconds(30));
            done = true;
        });
        waitUntil([&] { return done.load(); }, 35000);
        reader.join();
        return received;
    };
    ASSERT_FALSE(open());
    const std::string big(1 << 20, 'A');
    ASSERT_FALSE(output(big));
    ASSERT_GT(port->device().bytesToWrite(), 0) << "the line took a megabyte at once";
    const qint64 lineTakes = static_cast<qint64>(big.size()) - port->device().bytesToWrite();
    EXPECT_FALSE(output("C00\r")) << "behind a queue";
    std::string expected = big + "C00\r";
    EXPECT_TRUE(receive(expected.size()) == expected);
    // The line full again with nothing queued in the adapter: what it took at once, once more.
    const std::string fill(static_cast<std::size_t>(lineTakes), 'B');
    ASSERT_FALSE(output(fill));
    EXPECT_FALSE(output("C01\r")) << "on a full line";
    EXPECT_TRUE(port->isOpen());
    expected = fill + "C01\r";
    EXPECT_TRUE(receive(expected.size()) == expected);
    EXPECT_TRUE(port->isOpen());
    EXPECT_THAT(listener->failures, IsEmpty());
}

// --- port numbers -----------------------------------------------------------------------------

TEST_F(QtSerialPortTest, PortNumberChoosesItsDevice) {
    EXPECT_EQ(port->commPort(), 1);
    EXPECT_EQ(port->deviceName(), line1.path().toStdString());
    ASSERT_FALSE(call([&] { return port->setCommPort(2); }));
    EXPECT_EQ(port->deviceName(), line2.path().toStdString());
    ASSERT_FALSE(open());
    ASSERT_FALSE(output("C1C\r"));
    EXPECT_EQ(line2.read(4), "C1C\r");
    EXPECT_EQ(line1.drain(), "");
}

TEST_F(QtSerialPortTest, PortNumberRefusedWhenUnknownOrWhileOpen) {
    for (int bad : {0, 3, -1}) {
        EXPECT_TRUE(call([&] { return port->setCommPort(bad); })) << bad;
        EXPECT_EQ(port->commPort(), 1);
    }
    ASSERT_FALSE(open());
    EXPECT_TRUE(call([&] { return port->setCommPort(2); }));
    EXPECT_EQ(port->commPort(), 1);
    EXPECT_EQ(port->deviceName(), line1.path().toStdString());
}

TEST(PortDevicesTest, DefaultsAreTheFirstTwoSerialPorts) {
    const PortDevices devices = defaultPortDevices();
#ifdef Q_OS_WIN
    EXPECT_EQ(devices.com1, "COM1");
    EXPECT_EQ(devices.com2, "COM2");
#else
    EXPECT_EQ(devices.com1, "/dev/ttyS0");
    EXPECT_EQ(devices.com2, "/dev/ttyS1");
#endif
    QtSerialPort port(devices);  // never opened: the machine's console may be on ttyS0
    EXPECT_EQ(port.deviceName(), devices.com1.toStdString());
}

// --- failures ---------------------------------------------------------------------------------

// What QSerialPort itself says when it cannot open `path`.
PortError qtsOwnOpenFailure(const QString& path) {
    QSerialPort plain;
    plain.setPortName(path);
    const bool opened = plain.open(QIODevice::ReadWrite);
    EXPECT_FALSE(opened) << path.toStdString();
    return {plain.errorString().toStdString()};
}

TEST_F(QtSerialPortTest, UnopenableDevicesGiveQtsOwnDescription) {
    for (const QString& path : {QStringLiteral("/dev/panel-test-no-such-device"),
                                QStringLiteral("/dev/null"), QStringLiteral("/")}) {
        SCOPED_TRACE(path.toStdString());
        QtSerialPort missing(PortDevices{path, path});
        missing.setListener(listener.get());
        const PortResult error = call([&] { return missing.setOpen(true); });
        ASSERT_TRUE(error);
        const PortError expected = qtsOwnOpenFailure(path);
        // Qt's own words first; the line of help after them is port_help_test's.
        EXPECT_THAT(error->description, ::testing::StartsWith(expected.description + '\n'));
        EXPECT_FALSE(expected.description.empty());
        EXPECT_FALSE(missing.isOpen());
    }
    settle(50);
    EXPECT_THAT(listener->failures, IsEmpty()) << "an open failure is returned, not reported";
}

TEST_F(QtSerialPortTest, DeviceAlreadyOpenElsewhereGivesItsDescription) {
    ASSERT_FALSE(open());
    QtSerialPort second(PortDevices{line1.path(), line2.path()});
    RecordingListener secondListener(second);
    second.setListener(&secondListener);
    // Who holds the line is found on another thread: the failure follows from the event loop.
    secondListener.insideOperation = true;
    ASSERT_FALSE(second.setOpen(true));
    secondListener.insideOperation = false;
    EXPECT_TRUE(second.isOpening());
    EXPECT_FALSE(second.isOpen());
    ASSERT_TRUE(waitUntil([&] { return !secondListener.openFailures.empty(); }));
    EXPECT_THAT(secondListener.openFailures.front().description,
                ::testing::HasSubstr(line1.path().toStdString() + " is in use by "));
    EXPECT_FALSE(second.isOpening());
    EXPECT_EQ(secondListener.reentered, 0);

    // Closed before the answer came: no answer follows.
    ASSERT_FALSE(second.setOpen(true));
    ASSERT_FALSE(second.setOpen(false));
    settle(300);
    EXPECT_EQ(secondListener.openFailures.size(), 1u);

    // The first keeps the line; once it lets go the second may take it.
    ASSERT_FALSE(output("C00\r"));
    EXPECT_EQ(line1.read(4), "C00\r");
    ASSERT_FALSE(call([&] { return port->setOpen(false); }));
    EXPECT_FALSE(call([&] { return second.setOpen(true); }));
}

struct ClosedCase {
    const char* name;
    friend void PrintTo(const ClosedCase& c, std::ostream* os) { *os << c.name; }
    bool openedBefore;
};

class ClosedPortTest : public QtSerialPortTest, public ::testing::WithParamInterface<ClosedCase> {};

TEST_P(ClosedPortTest, OutputAndInputFailWithoutWriting) {
    if (GetParam().openedBefore) {
        ASSERT_FALSE(open());
        ASSERT_FALSE(call([&] { return port->setOpen(false); }));
    }
    const PortResult written = output("C00\r");
    ASSERT_TRUE(written);
    EXPECT_EQ(written->description, "The port is not open");
    std::string bytes = "left over";
    const PortResult read = call([&] { return port->input(bytes); });
    ASSERT_TRUE(read);
    EXPECT_EQ(read->description, "The port is not open");
    EXPECT_EQ(bytes, "");
    EXPECT_EQ(line1.drain(), "");
}

INSTANTIATE_TEST_SUITE_P(Table, ClosedPortTest,
                         ::testing::Values(ClosedCase{"NeverOpened", false},
                                           ClosedCase{"OpenedThenClosed", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Texts that say nothing, or that describe an errno left behind by an earlier call.
bool meaningful(const std::string& text) {
    return !text.empty() && text != "Unknown error" && text != "Success" && text != "No error" &&
           text != qt_error_string(ENOTTY).toStdString();
}

TEST_F(QtSerialPortTest, FarEndHangUpClosesThePortAndIsReportedOnce) {
    ASSERT_FALSE(open());
    line1.hangUp();
    ASSERT_TRUE(waitUntil([&] { return !listener->failures.empty(); }))
        << "the hang-up was never reported";
    settle();  // a spinning notifier would pile up errors and reports here

    EXPECT_FALSE(port->isOpen());
    ASSERT_EQ(listener->failures.size(), 1u);
    EXPECT_TRUE(meaningful(listener->failures.front().description))
        << listener->failures.front().description;
    EXPECT_EQ(lineErrors, 1) << "the port kept raising errors after the first";

    // A later selection opens a port again, and the old failure is not reported anew.
    ASSERT_FALSE(call([&] { return port->setCommPort(2); }));
    ASSERT_FALSE(open());
    ASSERT_FALSE(output("C00\r"));
    EXPECT_EQ(line2.read(4), "C00\r");
    settle(50);
    EXPECT_EQ(listener->failures.size(), 1u);
}

TEST_F(QtSerialPortTest, HangUpReportOvertakenByASuccessfulOpenIsDropped) {
    ASSERT_FALSE(open());
    // Queued at the moment the adapter closes the dead line, so it runs before the report would:
    // like an operator's port selection already waiting in the event queue.
    bool reopened = false;
    QObject::connect(
        &port->device(), &QSerialPort::aboutToClose, port.get(),
        [&] { reopened = !port->setCommPort(2) && !port->setOpen(true); }, Qt::QueuedConnection);
    line1.hangUp();
    ASSERT_TRUE(waitUntil([&] { return reopened; }));
    settle(50);
    EXPECT_TRUE(port->isOpen());
    EXPECT_THAT(listener->failures, IsEmpty()) << "a failure of the old line was reported";
}

TEST_F(QtSerialPortTest, WriteAfterHangUpFailsAndIsNotReportedAgain) {
    ASSERT_FALSE(open());
    line1.hangUp();
    const PortResult written = output("C00\r");  // before the event loop has seen the hang-up
    ASSERT_TRUE(written);
    EXPECT_TRUE(meaningful(written->description)) << written->description;
    EXPECT_FALSE(port->isOpen());
    settle();
    EXPECT_THAT(listener->failures, IsEmpty()) << "the write already returned the failure";
    EXPECT_LE(lineErrors, 1);
}

}  // namespace
}  // namespace panel
