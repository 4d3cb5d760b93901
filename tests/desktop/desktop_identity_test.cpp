// The running panel and its installed files must agree on one id: the menu entry, the icon and the
// AppStream component, and the icon must come at every size the package installs.
#include "desktop/desktop_identity.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

namespace panel {
namespace {

QString readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

TEST(DesktopIdentityTest, IconComesAtEveryInstalledSize) {
    const QIcon icon = applicationIcon();
    ASSERT_FALSE(icon.isNull());
    for (const int size : {48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size)));
        EXPECT_EQ(icon.pixmap(size).size(), QSize(size, size));
    }
}

TEST(DesktopIdentityTest, ApplicationAndInstalledFilesShareTheId) {
    applyDesktopIdentity();
    EXPECT_EQ(QGuiApplication::desktopFileName(), desktopId());
    EXPECT_FALSE(QGuiApplication::windowIcon().isNull());

    const QString entryPath = QStringLiteral(PANEL_DESKTOP_FILE);
    EXPECT_EQ(QFileInfo(entryPath).fileName(), desktopId() + QStringLiteral(".desktop"));
    const QString entry = readFile(entryPath);
    EXPECT_TRUE(entry.contains(QStringLiteral("\nIcon=") + desktopId() + QLatin1Char('\n')));
    EXPECT_TRUE(entry.contains(QStringLiteral("\nExec=projector-panel\n")));

    const QString metainfo = readFile(QStringLiteral(PANEL_METAINFO_FILE));
    EXPECT_TRUE(metainfo.contains(QStringLiteral("<id>%1</id>").arg(desktopId())));
    EXPECT_TRUE(
        metainfo.contains(QStringLiteral("<launchable type=\"desktop-id\">%1.desktop</launchable>")
                              .arg(desktopId())));
}

}  // namespace
}  // namespace panel
