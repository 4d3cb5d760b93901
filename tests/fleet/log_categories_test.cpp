// Each part that decides on its own logs its decisions under its own category: heard once a
// logging rule switches the category on, and silent without one.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QMutex>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fleet/fleet.h"
#include "serial/line_watcher.h"
#include "serial/network_port.h"
#include "serial/port_inventory_watcher.h"

namespace panel {
namespace {

// The categories heard, from any thread (the inventory scans off the main one).
QMutex heardLock;
std::vector<std::string> heard;

void record(QtMsgType, const QMessageLogContext& context, const QString&) {
    const QMutexLocker lock(&heardLock);
    heard.emplace_back(context.category ? context.category : "");
}

bool heardFrom(const std::string& category) {
    const QMutexLocker lock(&heardLock);
    return std::find(heard.begin(), heard.end(), category) != heard.end();
}

bool settle(const std::function<bool()>& done) {
    QElapsedTimer since;
    since.start();
    while (!done()) {
        if (since.elapsed() > 5000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// What one case keeps alive until its decision has been made and logged.
struct Rig {
    QTemporaryDir folder;
    QTcpServer server;
    QTcpSocket* accepted = nullptr;
    std::unique_ptr<QObject> part;
    std::unique_ptr<Fleet> fleet;
    bool scanned = false;

    QString listen(const char* scheme) {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection,
                         [this] { accepted = server.nextPendingConnection(); });
        return QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(server.serverPort());
    }
    void open(const QString& url) {
        auto* port = new NetworkPort({url, url});
        part.reset(port);
        ASSERT_FALSE(port->setOpen(true));
    }
};

struct Case {
    const char* name;
    const char* category;
    std::function<void(Rig&)> provoke;
    // Once true, the decision has been made (and logged, if the category is on).
    std::function<bool(Rig&)> decided;
};

const bool kAtOnce = true;

const Case kCases[] = {
    {"network", "projector.serial.network", [](Rig& rig) { rig.open(rig.listen("socket")); },
     [](Rig&) { return kAtOnce; }},
    // The line settings are asked for as soon as the connection stands.
    {"rfc2217", "projector.serial.rfc2217", [](Rig& rig) { rig.open(rig.listen("rfc2217")); },
     [](Rig& rig) { return rig.accepted && rig.accepted->bytesAvailable() > 0; }},
    {"watcher", "projector.serial.watcher",
     [](Rig& rig) {
         auto* watcher = new LineWatcher({rig.folder.path()});
         rig.part.reset(watcher);
         watcher->watch(1, rig.folder.filePath(QStringLiteral("ttyGone")));
     },
     [](Rig&) { return kAtOnce; }},
    {"inventory", "projector.serial.inventory",
     [](Rig& rig) {
         auto* watcher = new PortInventoryWatcher(rig.folder.path(), rig.folder.path());
         QObject::connect(watcher, &PortInventoryWatcher::changed, [&rig] { rig.scanned = true; });
         rig.part.reset(watcher);
     },
     [](Rig& rig) { return rig.scanned; }},
    {"fleet", "projector.fleet",
     [](Rig& rig) {
         rig.fleet = std::make_unique<Fleet>();
         rig.fleet->startPolling();
     },
     [](Rig&) { return kAtOnce; }},
};

// %1 stands for the case's category.
struct Rule {
    const char* name;
    const char* rules;
    bool heard;
};

const Rule kRules[] = {
    {"all_on", "projector.*=true", true},
    {"own_on", "%1=true", true},
    {"none", "", false},
    {"every_other_on", "*=true\n%1=false", false},
};

void PrintTo(const Case& test, std::ostream* out) {
    *out << test.name;
}
void PrintTo(const Rule& rule, std::ostream* out) {
    *out << rule.name;
}

class LogCategoryTest : public ::testing::TestWithParam<std::tuple<Case, Rule>> {
protected:
    void SetUp() override {
        heard.clear();
        previous_ = qInstallMessageHandler(record);
    }
    void TearDown() override {
        qInstallMessageHandler(previous_);
        QLoggingCategory::setFilterRules({});
    }

private:
    QtMessageHandler previous_ = nullptr;
};

TEST_P(LogCategoryTest, IsHeardOnlyWhenARuleSwitchesItOn) {
    const auto& [test, rule] = GetParam();
    QLoggingCategory::setFilterRules(
        QString::fromLatin1(rule.rules).replace(QLatin1String("%1"), QLatin1String(test.category)));
    Rig rig;
    ASSERT_TRUE(rig.folder.isValid());
    test.provoke(rig);
    ASSERT_TRUE(settle([&] { return test.decided(rig); })) << "the decision was never made";
    // Nothing more to come once decided: an off category stays off.
    EXPECT_EQ(heardFrom(test.category), rule.heard) << test.category;
}

INSTANTIATE_TEST_SUITE_P(Categories, LogCategoryTest,
                         ::testing::Combine(::testing::ValuesIn(kCases),
                                            ::testing::ValuesIn(kRules)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::get<1>(info.param).name;
                         });

}  // namespace
}  // namespace panel

int main(int argc, char** argv) {
    // No rules from the machine: the user's or the system's qtlogging.ini, or the environment.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("XDG_CONFIG_DIRS", config.path().toLocal8Bit());
    qunsetenv("QT_LOGGING_RULES");
    qunsetenv("QT_LOGGING_CONF");
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
