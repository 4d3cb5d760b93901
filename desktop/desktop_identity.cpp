#include "desktop/desktop_identity.h"

#include <QGuiApplication>

namespace panel {

QString desktopId() {
    return QStringLiteral(PANEL_APP_ID);
}

QIcon applicationIcon() {
    QIcon icon;
    for (const int size : {48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1x%1/%2.png").arg(size).arg(desktopId()),
                     QSize(size, size));
    return icon;
}

void applyDesktopIdentity() {
    // Wayland compositors find the menu entry, and with it the icon, by this name.
    QGuiApplication::setDesktopFileName(desktopId());
    QGuiApplication::setWindowIcon(applicationIcon());
}

}  // namespace panel
