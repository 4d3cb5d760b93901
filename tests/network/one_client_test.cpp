// A device server that takes one client and is gone after it, as socat bridging a port by hand
// is: the shell mode and the window's start-up each reach it with their one connection.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QProcess>
#include <QTest>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/e2e/panel_rig.h"
#include "tests/e2e/sim_process.h"
#include "testkit/controls.h"
#include "testkit/ser2net_process.h"

namespace panel::e2e {
namespace {

// Serves the first client on a thread of its own, answering the status query "00" and anything
// else with an ACK, then closes; connections after the first are refused.
class OneClientServer {
public:
    OneClientServer() : listener_(test::listenOnLoopback(1, port_)) {
        if (listener_ >= 0) thread_ = std::thread([this] { serve(); });
    }
    ~OneClientServer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (listener_ >= 0) ::close(listener_);
    }
    OneClientServer(const OneClientServer&) = delete;
    OneClientServer& operator=(const OneClientServer&) = delete;

    QString url() const { return QStringLiteral("socket://127.0.0.1:%1").arg(port_); }
    int clients() const { return clients_; }
    std::vector<std::string> frames() const {
        std::lock_guard lock(mutex_);
        return frames_;
    }

private:
    bool readable(int fd) const {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, 50) > 0;
    }
    void serve() {
        while (!stop_ && !readable(listener_)) {
        }
        if (stop_) return;
        const int client = ::accept(listener_, nullptr, nullptr);
        ++clients_;
        ::close(std::exchange(listener_, -1));
        std::string pending;
        char buffer[256];
        while (!stop_) {
            if (!readable(client)) continue;
            const ssize_t n = ::read(client, buffer, sizeof buffer);
            if (n <= 0) break;
            pending.append(buffer, static_cast<std::size_t>(n));
            for (std::size_t end; (end = pending.find('\r')) != std::string::npos;) {
                const std::string frame = pending.substr(0, end);
                pending.erase(0, end + 1);
                const std::string answer = frame == "CR0" ? "00\r" : "\x06";
                (void)!::write(client, answer.data(), answer.size());
                std::lock_guard lock(mutex_);
                frames_.push_back(frame);
            }
        }
        ::close(client);
    }

    std::uint16_t port_ = 0;
    int listener_ = -1;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> clients_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> frames_;
};

using Frames = std::vector<std::string>;

TEST(OneClientServerTest, TheShellModeSendsItsCommandsOverTheOneConnection) {
    OneClientServer server;
    QProcess panel;
    panel.start(QStringLiteral(PROJECTOR_PANEL_BINARY),
                {QStringLiteral("--com1"), server.url(), QStringLiteral("--send"),
                 QStringLiteral("CR0"), QStringLiteral("--send"), QStringLiteral("C00")});
    ASSERT_TRUE(panel.waitForFinished(static_cast<int>(kPatience.count())));
    const QString err = QString::fromUtf8(panel.readAllStandardError());
    EXPECT_EQ(panel.exitCode(), 0) << err.toStdString();
    EXPECT_EQ(QString::fromUtf8(panel.readAllStandardOutput()).split('\n').first(),
              QStringLiteral("CR0\t 0 0 CR \t Power ON"));
    EXPECT_EQ(server.frames(), (Frames{"CR0", "C00"}));
    EXPECT_EQ(server.clients(), 1);
}

TEST(OneClientServerTest, TheWindowsStartUpKeepsItsOneConnection) {
    OneClientServer server;
    PanelRig rig(server.url());
    ASSERT_TRUE(rig.port().isOpen()) << rig.prompts().failures.join('\n').toStdString();
    ASSERT_TRUE(rig.openFullPanel());
    rig.click(controls::kStatus);
    EXPECT_TRUE(rig.waitForText("Label22", QStringLiteral(" Power ON")))
        << rig.text("Label22").toStdString();
    EXPECT_EQ(server.frames(), (Frames{"CR0"}));
    EXPECT_EQ(server.clients(), 1);
    EXPECT_TRUE(rig.prompts().failures.isEmpty());
}

}  // namespace
}  // namespace panel::e2e
