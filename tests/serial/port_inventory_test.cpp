// The port list behind the chooser, over a by-id folder of the test's own: links to
// pseudo-terminals stand in for adapters that are plugged in and pulled out.
#include "serial/port_inventory.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "serial/port_inventory_watcher.h"
#include "tests/support/pseudo_terminal.h"

namespace panel {
namespace {

using test::PseudoTerminal;

class PortInventoryTest : public ::testing::Test {
protected:
    QString link(const char* name) const { return byId.filePath(QString::fromLatin1(name)); }
    const PortEntry* find(const QList<PortEntry>& entries, const QString& device) const {
        for (const PortEntry& entry : entries)
            if (entry.device == device) return &entry;
        return nullptr;
    }

    PseudoTerminal line;
    QTemporaryDir byId;
    QTemporaryDir proc;  // no processes: nothing holds the line
};

TEST_F(PortInventoryTest, ALinkedLineIsListedWithItsStableNameAndNoProblem) {
    ASSERT_TRUE(line.ok());
    ASSERT_TRUE(QFile::link(line.path(), link("usb-Maker_Adapter_A1-if00-port0")));
    const QList<PortEntry> entries = takePortInventory(byId.path(), proc.path());
    const PortEntry* entry = find(entries, line.path());
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->byId, link("usb-Maker_Adapter_A1-if00-port0"));
    EXPECT_EQ(entry->problem, QString());
}

TEST_F(PortInventoryTest, StableNameIsTheLinkWhereThereIsOne) {
    ASSERT_TRUE(line.ok());
    const QString stable = link("usb-Maker_Adapter_A1-if00-port0");
    ASSERT_TRUE(QFile::link(line.path(), stable));
    const struct {
        QString given;
        QString kept;
    } cases[] = {
        {line.path(), stable},
        {stable, stable},
        {QStringLiteral("/dev/panel-test-none"), QStringLiteral("/dev/panel-test-none")},
        {QStringLiteral("socket://127.0.0.1:4002"), QStringLiteral("socket://127.0.0.1:4002")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(stableDeviceName(c.given, byId.path()), c.kept) << c.given.toStdString();
}

TEST_F(PortInventoryTest, WatcherFollowsLinksAppearingAndVanishingWithinASecond) {
    ASSERT_TRUE(line.ok());
    PortInventoryWatcher watcher(byId.path(), proc.path());
    QSignalSpy changed(&watcher, &PortInventoryWatcher::changed);
    ASSERT_TRUE(changed.wait(2000));  // the first scan
    ASSERT_EQ(find(watcher.entries(), line.path()), nullptr);

    ASSERT_TRUE(QFile::link(line.path(), link("usb-plugged")));
    ASSERT_TRUE(changed.wait(2000));
    EXPECT_NE(find(watcher.entries(), line.path()), nullptr);

    ASSERT_TRUE(QFile::remove(link("usb-plugged")));
    ASSERT_TRUE(changed.wait(2000));
    EXPECT_EQ(find(watcher.entries(), line.path()), nullptr);
}

}  // namespace
}  // namespace panel
