// The one place a line is built: which adapter a device or URL is given to, and whether a line
// lost while open is waited for.
#include "serial/line_stack.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTcpServer>
#include <QTest>

#include "testkit/pseudo_terminal.h"

namespace panel {
namespace {

class Quiet final : public PortListener {
    void onComm(int) override {}
    void onPortFailure(const PortError&) override {}
};

enum class Com1 { Pseudoterminal, Url };
enum class Watcher { None, Own, Callers };

struct StackCase {
    const char* name;
    friend void PrintTo(const StackCase& c, std::ostream* os) { *os << c.name; }
    Com1 com1;
    Watcher watcher;
    bool local;    // the local adapter takes the line
    bool waiting;  // a pseudo-terminal hung up is waited for
};

class LineStackTest : public ::testing::TestWithParam<StackCase> {
protected:
    test::PseudoTerminal far;
    QTcpServer server;
    LineWatcher callers{QStringList{}};
};

TEST_P(LineStackTest, EachDeviceGoesToItsAdapterAndALostLineIsWaitedForWhenAsked) {
    const StackCase& c = GetParam();
    ASSERT_TRUE(far.ok());
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const QString url = QStringLiteral("socket://127.0.0.1:%1").arg(server.serverPort());
    LineStack line(
        LineConfig{.devices = PortDevices{c.com1 == Com1::Url ? url : far.path(), far.path()},
                   .reopenLostLines = c.watcher == Watcher::Own,
                   .linkFolders = {},
                   .watcher = c.watcher == Watcher::Callers ? &callers : nullptr});
    Quiet quiet;
    line.port().setListener(&quiet);
    ASSERT_FALSE(line.port().setOpen(true));

    EXPECT_EQ(line.local().isOpen(), c.local);
    EXPECT_EQ(line.network().isOpen() || line.network().isOpening(), !c.local);
    EXPECT_EQ(line.watcher() != nullptr, c.watcher != Watcher::None);
    if (c.watcher == Watcher::Callers) {
        EXPECT_EQ(line.watcher(), &callers);
    }
    if (!c.local) return;
    far.hangUp();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !line.port().isOpen(); }, 5000));
    QCoreApplication::processEvents();
    EXPECT_EQ(line.watcher() && line.watcher()->isWatching(), c.waiting);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LineStackTest,
    ::testing::Values(
        StackCase{"PathForTheShell", Com1::Pseudoterminal, Watcher::None, true, false},
        StackCase{"PathForTheWindow", Com1::Pseudoterminal, Watcher::Own, true, true},
        StackCase{"PathWithTheCallersWatcher", Com1::Pseudoterminal, Watcher::Callers, true, true},
        StackCase{"UrlForTheShell", Com1::Url, Watcher::None, false, false},
        StackCase{"UrlForTheWindow", Com1::Url, Watcher::Own, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace panel
