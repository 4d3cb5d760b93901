// The fleet window over eight simulators behind one ser2net, half over rfc2217:// and half over
// socket://: a simulator killed and brought back, and a line another client holds shown "in use"
// without being taken from it, saying why the device server may hold it when the line was lost
// just before.
#include <gtest/gtest.h>

#include <QTcpSocket>
#include <QUrl>

#include "serial/held_line.h"
#include "testkit/ser2net_process.h"
#include "tests/fleet/fleet_fixture.h"

namespace panel {
namespace {

using test::FleetWindowTest;
using test::SimBank;

constexpr int kSims = 8;

class FleetNetworkTest : public FleetWindowTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(sims_.ok());
        std::vector<QString> links;
        for (int i = 0; i < kSims; ++i) links.push_back(sims_.link(i));
        server_ = std::make_unique<test::Ser2NetProcess>(links);
        ASSERT_TRUE(server_->ok()) << server_->log();
        QStringList ports;
        for (int i = 0; i < kSims; ++i)
            ports << (i % 2 == 0 ? server_->rfc2217Url(i) : server_->socketUrl(i));
        window_ = openWindow(ports);
    }

    void expectAnswered(std::initializer_list<int> except) {
        for (int i = 0; i < kSims; ++i) {
            if (std::find(except.begin(), except.end(), i) != except.end()) continue;
            const ProjectorRow& row = window_->fleet().rows()[static_cast<std::size_t>(i)];
            EXPECT_EQ(row.reading, Reading::Answered)
                << "P" << i << ": " << row.reason.toStdString();
            EXPECT_EQ(row.status, QStringLiteral("Stand by")) << "P" << i;
        }
    }

    SimBank sims_{kSims};
    std::unique_ptr<test::Ser2NetProcess> server_;
    std::unique_ptr<FleetWindow> window_;
};

TEST_F(FleetNetworkTest, AKilledSimulatorIsMarkedOnEitherSchemeAndAnswersWhenBack) {
    ASSERT_TRUE(pollOnce(*window_));
    expectAnswered({});
    for (int killed : {2, 5}) {  // one of each scheme
        sims_.stop(killed);
        ASSERT_TRUE(pollOnce(*window_));
        const ProjectorRow& row = window_->fleet().rows()[static_cast<std::size_t>(killed)];
        EXPECT_NE(row.reading, Reading::Answered) << "P" << killed;
        EXPECT_TRUE(FleetTableModel::stateText(row).startsWith(QLatin1String("no answer")))
            << FleetTableModel::stateText(row).toStdString();
        expectAnswered({killed});
        sims_.start(killed);
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(sims_.link(killed)); }, 5000));
        ASSERT_TRUE(pollOnce(*window_));
        expectAnswered({});
    }
}

TEST_F(FleetNetworkTest, ALineInUseIsShownSoAndLeftToItsClient) {
    for (int held : {0, 1}) {  // rfc2217 and socket
        // The other scheme's port of the same line: ser2net refuses the fleet's connection.
        QTcpSocket panel;
        const QUrl other(held % 2 == 0 ? server_->socketUrl(held) : server_->rfc2217Url(held));
        panel.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(other.port()));
        ASSERT_TRUE(panel.waitForConnected(5000));
        bool lost = false;
        QObject::connect(&panel, &QTcpSocket::disconnected, [&] { lost = true; });
        QTest::qWait(300);
        ASSERT_TRUE(pollOnce(*window_));
        const ProjectorRow& row = window_->fleet().rows()[static_cast<std::size_t>(held)];
        EXPECT_EQ(row.reading, Reading::InUse) << FleetTableModel::stateText(row).toStdString();
        EXPECT_FALSE(row.heldSinceLoss) << "the poll before it answered";
        expectAnswered({held});
        EXPECT_FALSE(lost);
        EXPECT_EQ(panel.state(), QAbstractSocket::ConnectedState);
        panel.abort();
        QTest::qWait(300);
    }
}

TEST_F(FleetNetworkTest, InUseRightAfterALossSaysTheServerMayHoldOurOwnConnection) {
    const int held = 0;
    const auto row = [&] { return window_->fleet().rows()[static_cast<std::size_t>(held)]; };
    sims_.stop(held);
    ASSERT_TRUE(pollOnce(*window_));
    ASSERT_NE(row().reading, Reading::Answered);
    sims_.start(held);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(sims_.link(held)); }, 5000));
    QTcpSocket holder;
    holder.connectToHost(QHostAddress::LocalHost, server_->socketPort(held));
    ASSERT_TRUE(holder.waitForConnected(5000));
    QTest::qWait(300);
    for (int poll = 0; poll < 2; ++poll) {  // and it goes on saying so while refused
        ASSERT_TRUE(pollOnce(*window_));
        const QString state = FleetTableModel::stateText(row());
        EXPECT_EQ(row().reading, Reading::InUse) << state.toStdString();
        EXPECT_TRUE(row().heldSinceLoss) << poll;
        EXPECT_TRUE(state.contains(
            QString::fromUtf8(kServerHoldsLine.data(), static_cast<int>(kServerHoldsLine.size()))))
            << state.toStdString();
    }
    holder.abort();
    QTest::qWait(300);
    ASSERT_TRUE(pollOnce(*window_));
    EXPECT_EQ(row().reading, Reading::Answered) << row().reason.toStdString();
    EXPECT_FALSE(row().heldSinceLoss);
}

}  // namespace
}  // namespace panel
