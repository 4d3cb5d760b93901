// The real window on a network port: projector-sim behind the real ser2net, and a loopback server
// flooding as fast as TCP goes.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "testkit/resident_memory.h"
#include "testkit/ser2net_process.h"
#include "tests/e2e/sim_fixture.h"

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer keeps freed blocks in a quarantine of 256 MiB by default, which a flood of
// gigabytes fills: resident memory would grow by the quarantine, not by anything the panel keeps.
// Environment options still win over these.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=1";
}
#endif

namespace panel::e2e {
namespace {

using namespace std::chrono_literals;

enum class Route { Rfc2217, Socket };

class NetworkWindowTest : public SimFixture, public ::testing::WithParamInterface<Route> {
protected:
    void SetUp() override {
        start({}, [this](const std::string& device) {
            server = std::make_unique<test::Ser2NetProcess>(QString::fromStdString(device));
            return GetParam() == Route::Rfc2217 ? server->rfc2217Url() : server->socketUrl();
        });
        ASSERT_TRUE(server->ok()) << server->log();
    }
    void TearDown() override {
        rig.reset();
        server.reset();
        sim.reset();
    }

    std::unique_ptr<test::Ser2NetProcess> server;
};

TEST_P(NetworkWindowTest, ClicksHoldsAndTypedQueriesArriveAndRepliesAreDecoded) {
    rig->click("Command44");  // STATUS
    EXPECT_TRUE(rig->waitForText("Label22", ExpectedCaption("CR0", "80")))
        << rig->text("Label22").toStdString();
    ASSERT_TRUE(rig->waitReplyWindowClosed());
    rig->send(QStringLiteral("CR3"));
    EXPECT_TRUE(rig->waitForText("Label22", QStringLiteral(" 0 1 2 3 4 CR  Hour Use")))
        << rig->text("Label22").toStdString();
    rig->hold("Command1", 1125ms);  // VOL "+": one send and four repeats
    QTest::qWait(500);
    ASSERT_TRUE(flushLog());
    EXPECT_EQ(log->count("CR0"), 2u);  // the click and the marker
    EXPECT_EQ(log->count("CR3"), 1u);
    EXPECT_EQ(log->count("C09"), 1u + 4u);
    EXPECT_TRUE(rig->prompts().problems.isEmpty())
        << rig->prompts().problems.join('\n').toStdString();
}

TEST_P(NetworkWindowTest, DeviceServerKilledIsToldOnceAndReselectingReconnects) {
    server->kill();
    ASSERT_TRUE(PanelRig::waitFor([&] { return !rig->prompts().problems.isEmpty(); }));
    QTest::qWait(300);
    ASSERT_EQ(rig->prompts().problems.size(), 1);
    const QString url = GetParam() == Route::Rfc2217 ? server->rfc2217Url() : server->socketUrl();
    // The window names the line once, as it does for a local device.
    EXPECT_EQ(rig->prompts().problems.front().count(url), 1)
        << rig->prompts().problems.front().toStdString();
    EXPECT_TRUE(rig->prompts().problems.front().startsWith(url + QStringLiteral(": ")))
        << rig->prompts().problems.front().toStdString();
    rig->click("Command44");  // sent nowhere, and no second message
    QTest::qWait(100);
    EXPECT_EQ(rig->prompts().problems.size(), 1);

    ASSERT_TRUE(server->start()) << server->log();
    rig->click("Command33");  // "COM"
    rig->click("Option1");
    // The connection is made from the event loop.
    ASSERT_TRUE(PanelRig::waitFor([&] { return rig->port().isOpen(); }));
    EXPECT_TRUE(rig->prompts().failures.isEmpty())
        << rig->prompts().failures.join('\n').toStdString();
    ASSERT_TRUE(rig->waitReplyWindowClosed());
    rig->click("Command44");
    EXPECT_TRUE(rig->waitForText("Label22", ExpectedCaption("CR0", "80")))
        << rig->text("Label22").toStdString();
}

TEST_P(NetworkWindowTest, PortChoicesNameTheirDeviceWithoutChangingCaptions) {
    const QString url = GetParam() == Route::Rfc2217 ? server->rfc2217Url() : server->socketUrl();
    rig->form().describePorts(url, QStringLiteral("/dev/ttyUSB1"));
    auto* option1 = qobject_cast<QAbstractButton*>(rig->control("Option1"));
    auto* option2 = qobject_cast<QAbstractButton*>(rig->control("Option2"));
    EXPECT_EQ(option1->text(), QStringLiteral("COM1"));
    EXPECT_EQ(option2->text(), QStringLiteral("COM2"));
    EXPECT_EQ(option1->toolTip(), QStringLiteral("COM1: ") + url);
    EXPECT_EQ(option1->accessibleDescription(), QStringLiteral("COM1: ") + url);
    EXPECT_EQ(option2->toolTip(), QStringLiteral("COM2: /dev/ttyUSB1"));
    EXPECT_EQ(option2->accessibleDescription(), QStringLiteral("COM2: /dev/ttyUSB1"));
}

INSTANTIATE_TEST_SUITE_P(Ser2Net, NetworkWindowTest,
                         ::testing::Values(Route::Rfc2217, Route::Socket), [](const auto& info) {
                             return info.param == Route::Rfc2217 ? "Rfc2217" : "Socket";
                         });

// Writes as fast as loopback TCP takes it to the one client it accepts, until stopped.
class FloodServer {
public:
    FloodServer() {
        listener_ = test::listenOnLoopback(1, port_);
        if (listener_ < 0) return;
        thread_ = std::thread([this] { run(); });
    }
    ~FloodServer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        ::close(listener_);
    }
    std::uint16_t port() const { return port_; }
    std::uint64_t written() const { return written_; }

private:
    // Serves the newest client: the panel's start-up may connect more than once.
    void run() {
        std::string block(64 * 1024, '\0');
        for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>('0' + i % 10);
        int client = -1;
        while (!stop_) {
            pollfd fds[2] = {{listener_, POLLIN, 0}, {client, POLLOUT, 0}};
            if (::poll(fds, client < 0 ? 1 : 2, 50) <= 0) continue;
            if (fds[0].revents & POLLIN) {
                if (client >= 0) ::close(client);
                client = ::accept(listener_, nullptr, nullptr);
                continue;
            }
            if (!(fds[1].revents & POLLOUT)) continue;
            const ssize_t n = ::send(client, block.data(), block.size(), MSG_NOSIGNAL);
            if (n > 0) written_ += static_cast<std::uint64_t>(n);
        }
        if (client >= 0) ::close(client);
    }

    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> written_{0};
};

TEST(NetworkFloodTest, WindowKeepsAnsweringAndMemoryStaysBounded) {
    FloodServer flood;
    ASSERT_NE(flood.port(), 0);
    PanelRig rig(QStringLiteral("socket://127.0.0.1:%1").arg(flood.port()));
    ASSERT_TRUE(rig.port().isOpen()) << rig.prompts().failures.join('\n').toStdString();
    ASSERT_TRUE(rig.openFullPanel());

    // A 10 ms probe: how late each tick comes is how long the window could not answer.
    std::vector<qint64> lateness;
    QElapsedTimer clock;
    clock.start();
    qint64 due = 10;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        lateness.push_back(std::max<qint64>(0, clock.elapsed() - due));
        due = clock.elapsed() + 10;
    });
    probe.start(10);
    std::int64_t peakKiB = 0;
    const std::int64_t startKiB = test::ResidentKiB();
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout,
                     [&] { peakKiB = std::max(peakKiB, test::ResidentKiB()); });
    sampler.start(250);
    QTest::qWait(10000);
    probe.stop();
    sampler.stop();

    ASSERT_FALSE(lateness.empty());
    std::sort(lateness.begin(), lateness.end());
    const qint64 p99 = lateness[lateness.size() * 99 / 100];
    RecordProperty("probe_ticks", static_cast<int>(lateness.size()));
    RecordProperty("probe_lateness_p99_ms", static_cast<int>(p99));
    RecordProperty("flood_bytes", std::to_string(flood.written()));
    RecordProperty("rss_growth_kib", static_cast<int>(peakKiB - startKiB));
    std::printf(
        "flood: %llu bytes in 10 s, %zu probe ticks, lateness p99 %lld ms, RSS %lld -> "
        "peak %lld KiB\n",
        static_cast<unsigned long long>(flood.written()), lateness.size(),
        static_cast<long long>(p99), static_cast<long long>(startKiB),
        static_cast<long long>(peakKiB));

    EXPECT_GT(flood.written(), 10u * 1920u) << "the flood was slower than the serial line";
    EXPECT_GT(lateness.size(), 100u) << "the window stopped answering";
    EXPECT_LT(peakKiB - startKiB, 64 * 1024) << "memory grew with the flood";
    EXPECT_LE(rig.controller().state().RecvData.size(), kRecvDataLimit);
    EXPECT_TRUE(rig.port().isOpen());
    EXPECT_TRUE(rig.prompts().problems.isEmpty());
}

}  // namespace
}  // namespace panel::e2e
