// The port list behind the chooser, over a by-id folder of the test's own whose links to
// pseudo-terminals stand in for adapters (the chooser's tests follow links coming and going).
#include "serial/port_inventory.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "testkit/pseudo_terminal.h"

namespace panel {
namespace {

TEST(PortInventoryTest, ALinkedLineIsListedFreeAndKeptByItsLink) {
    test::PseudoTerminal line;
    QTemporaryDir byId;
    QTemporaryDir proc;  // no processes: nothing holds the line
    ASSERT_TRUE(line.ok());
    const QString stable = byId.filePath(QStringLiteral("usb-Maker_Adapter_A1-if00-port0"));
    ASSERT_TRUE(QFile::link(line.path(), stable));

    const QList<PortEntry> entries = takePortInventory(byId.path(), proc.path());
    const auto entry = std::find_if(entries.begin(), entries.end(),
                                    [&](const PortEntry& e) { return e.device == line.path(); });
    ASSERT_NE(entry, entries.end());
    EXPECT_EQ(entry->byId, stable);
    EXPECT_EQ(entry->problem, QString());

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

}  // namespace
}  // namespace panel
