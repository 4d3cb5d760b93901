// A silent network cut between the panel and ser2net, in a network namespace of the test's own:
// the panel tells the loss within its keep-alive, and once the network is back either has its
// line again by itself (the device server's keep-alive shortened) or says why the device server
// still refuses it (its keep-alive as Linux ships it).
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "serial/held_line.h"
#include "testkit/controls.h"
#include "testkit/quiet_messages.h"
#include "testkit/ser2net_process.h"
#include "tests/e2e/panel_rig.h"
#include "tests/e2e/sim_process.h"

namespace panel::e2e {
namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;
using std::chrono::seconds;

// Why this process has no network of its own; empty when it has.
std::string& noNetworkOfOurOwn() {
    static std::string why;
    return why;
}

// Where the network tools are; sbin is often missing from a user's PATH.
QString tool(const char* name) {
    return QStandardPaths::findExecutable(QString::fromLatin1(name),
                                          {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
}

bool writeProcFile(const char* path, const std::string& text) {
    QFile file(QString::fromLatin1(path));
    return file.open(QIODevice::WriteOnly) && file.write(text.c_str()) == qint64(text.size());
}

// A network namespace for this process alone, with its loopback up; as a user namespace's root
// where the machine's root is not available. Before any thread is started.
std::string enterOwnNetwork() {
    if (unshare(CLONE_NEWNET) != 0) {
        const uid_t uid = getuid();
        const gid_t gid = getgid();
        if (unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0)
            return std::string("no network namespace can be made here: ") + std::strerror(errno);
        if (!writeProcFile("/proc/self/setgroups", "deny") ||
            !writeProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
            !writeProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
            return "the user namespace's identity cannot be mapped";
    }
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    const bool up = fd >= 0 && ioctl(fd, SIOCGIFFLAGS, &request) == 0 &&
                    (request.ifr_flags |= IFF_UP, ioctl(fd, SIOCSIFFLAGS, &request) == 0);
    if (fd >= 0) close(fd);
    if (!up) return "the namespace's loopback cannot be brought up";
    // With only 127.0.0.1 configured, a name lookup that asks for the address families in use
    // (ser2net's does) finds none: one more address, on the loopback too, counts as one.
    const QString ip = tool("ip");
    if (ip.isEmpty() || QProcess::execute(ip, {QStringLiteral("address"), QStringLiteral("add"),
                                               QStringLiteral("192.0.2.1/32"),
                                               QStringLiteral("dev"), QStringLiteral("lo")}) != 0)
        return "the namespace's loopback cannot have a second address (ip, from iproute2)";
    if (tool("nft").isEmpty()) return "nft is not installed (Debian package nftables)";
    return {};
}

// Linux's keep-alive settings for the connections the device server accepts.
struct KeepAlive {
    int idle;  // seconds of silence before the first probe
    int interval;
    int probes;
    seconds gaveUpAfter() const { return seconds(idle + interval * probes); }
};
constexpr KeepAlive kAsShipped{7200, 75, 9};
// The panel's own keep-alive gives up on a silent connection after this long.
constexpr auto kPanelKeepAlive = 11s;
// What a step of the test may take beyond its due time on a loaded machine.
constexpr auto kSlack = 1s;

bool setServerKeepAlive(const KeepAlive& k) {
    return writeProcFile("/proc/sys/net/ipv4/tcp_keepalive_time", std::to_string(k.idle)) &&
           writeProcFile("/proc/sys/net/ipv4/tcp_keepalive_intvl", std::to_string(k.interval)) &&
           writeProcFile("/proc/sys/net/ipv4/tcp_keepalive_probes", std::to_string(k.probes));
}

// Every packet to and from `port` dropped, as by a network cut, until heal().
class Cut {
public:
    explicit Cut(std::uint16_t port) : port_(port) {}
    ~Cut() { heal(); }
    bool start() {
        const QString rules = QStringLiteral(
                                  "table inet panel_cut {\n"
                                  "  chain input {\n"
                                  "    type filter hook input priority 0; policy accept;\n"
                                  "    tcp dport %1 drop\n"
                                  "    tcp sport %1 drop\n"
                                  "  }\n"
                                  "}\n")
                                  .arg(port_);
        QProcess nft;
        nft.start(tool("nft"), {QStringLiteral("-f"), QStringLiteral("-")});
        nft.write(rules.toUtf8());
        nft.closeWriteChannel();
        active_ = nft.waitForFinished(5000) && nft.exitCode() == 0;
        return active_;
    }
    void heal() {
        if (!active_) return;
        active_ = false;
        QProcess::execute(tool("nft"), {QStringLiteral("delete"), QStringLiteral("table"),
                                        QStringLiteral("inet"), QStringLiteral("panel_cut")});
    }

private:
    std::uint16_t port_;
    bool active_ = false;
};

// The back-off step the watcher is at `sinceLoss` after the loss.
milliseconds stepInForce(milliseconds sinceLoss) {
    milliseconds due{0};
    for (int attempt = 0;; ++attempt) {
        due += LineWatcher::networkStep(attempt);
        if (due >= sinceLoss) return LineWatcher::networkStep(attempt);
    }
}

struct CutCase {
    const char* name;
    bool rfc2217;                        // or socket://
    std::optional<KeepAlive> shortened;  // on the device server; none: as Linux ships it
};

void PrintTo(const CutCase& row, std::ostream* out) {
    *out << row.name;
}

class NetworkCutTest : public ::testing::TestWithParam<CutCase> {
protected:
    void SetUp() override {
        if (!noNetworkOfOurOwn().empty()) GTEST_SKIP() << noNetworkOfOurOwn();
        ASSERT_TRUE(setServerKeepAlive(GetParam().shortened.value_or(kAsShipped)));
        sim = std::make_unique<SimProcess>(std::vector<std::string>{"--warmup", "1"});
        ASSERT_FALSE(sim->device().empty()) << "the simulator did not start";
        server = std::make_unique<test::Ser2NetProcess>(QString::fromStdString(sim->device()));
        ASSERT_TRUE(server->ok()) << server->log();
        url = GetParam().rfc2217 ? server->rfc2217Url() : server->socketUrl();
        rig = std::make_unique<PanelRig>(url, QStringLiteral("/nonexistent/panel-cut-com2"),
                                         &watcher);
        ASSERT_TRUE(rig->port().isOpen());
        ASSERT_TRUE(rig->openFullPanel());
        title = rig->form().windowTitle();
    }
    void TearDown() override {
        rig.reset();
        server.reset();
        sim.reset();
    }

    bool waitUntil(const std::function<bool()>& done, milliseconds limit) {
        return QTest::qWaitFor(done, static_cast<int>(limit.count()));
    }
    bool toldHeld() const {
        const QString words =
            QString::fromUtf8(kServerHoldsLine.data(), static_cast<int>(kServerHoldsLine.size()));
        return rig->prompts().problems.filter(words).size() > 0;
    }

    LineWatcher watcher{QStringList{}};
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<test::Ser2NetProcess> server;
    std::unique_ptr<PanelRig> rig;
    QString url;
    QString title;
};

TEST_P(NetworkCutTest, TheLossIsToldAndTheHeldLineComesBackOrIsExplained) {
    Cut cut(GetParam().rfc2217 ? server->rfc2217Port() : server->socketPort());
    ASSERT_TRUE(cut.start());
    QElapsedTimer sinceCut;
    sinceCut.start();
    const QString waiting = QStringLiteral("COM1 lost, waiting for %1").arg(url);
    ASSERT_TRUE(waitUntil([&] { return rig->form().windowTitle().endsWith(waiting); },
                          kPanelKeepAlive + 10s))
        << rig->form().windowTitle().toStdString();
    const milliseconds lostAfter{sinceCut.elapsed()};
    RecordProperty("loss_told_after_ms", static_cast<int>(lostAfter.count()));
    EXPECT_LE(lostAfter, kPanelKeepAlive + kSlack);
    EXPECT_EQ(rig->prompts().problems.size(), 1) << "the loss, told once";
    cut.heal();

    if (const auto& remedy = GetParam().shortened) {
        const milliseconds bound =
            remedy->gaveUpAfter() + stepInForce(remedy->gaveUpAfter() - lostAfter) + kSlack;
        ASSERT_TRUE(waitUntil([&] { return rig->port().isOpen(); }, bound + 10s));
        RecordProperty("back_after_ms", static_cast<int>(sinceCut.elapsed()));
        EXPECT_LE(milliseconds(sinceCut.elapsed()), bound);
        EXPECT_EQ(rig->form().windowTitle(), title);
        rig->click(controls::kStatus);
        EXPECT_TRUE(PanelRig::waitFor([&] { return !rig->text("Label12").isEmpty(); }))
            << "the line came back but carries nothing";
        return;
    }
    // Tries after 1, 2 and 4 s: the first after the cut is healed meets the refusal.
    ASSERT_TRUE(waitUntil([&] { return toldHeld(); }, 10s))
        << rig->prompts().problems.join('\n').toStdString();
    RecordProperty("told", rig->prompts().problems.back().toStdString());
    EXPECT_TRUE(rig->prompts().problems.back().startsWith(url + ": "))
        << rig->prompts().problems.back().toStdString();
    QTest::qWait(static_cast<int>((LineWatcher::networkStep(1) + 500ms).count()));  // one more try
    EXPECT_EQ(rig->prompts().problems.size(), 2)
        << rig->prompts().problems.join('\n').toStdString();
    EXPECT_FALSE(rig->port().isOpen());
    EXPECT_TRUE(rig->form().windowTitle().contains(waiting + QStringLiteral(" (the device server")))
        << rig->form().windowTitle().toStdString();
}

INSTANTIATE_TEST_SUITE_P(ServerKeepAlive, NetworkCutTest,
                         ::testing::Values(CutCase{"Rfc2217ShortenedToEighteenSeconds", true,
                                                   KeepAlive{8, 2, 5}},
                                           CutCase{"Rfc2217AsLinuxShipsIt", true, std::nullopt},
                                           CutCase{"SocketAsLinuxShipsIt", false, std::nullopt}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace panel::e2e

int main(int argc, char** argv) {
    // Only a process with one thread may enter namespaces: before Qt starts any.
    panel::e2e::noNetworkOfOurOwn() = panel::e2e::enterOwnNetwork();
    panel::test::UseOffscreenQuietly();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
