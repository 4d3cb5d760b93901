// How the running panel names itself to the desktop: the menu entry it belongs to and its icon.
#pragma once

#include <QIcon>
#include <QString>

namespace panel {

// The id of the installed menu entry (its .desktop file without the extension) and of the icon.
QString desktopId();

// The icon at each size the hicolor theme gets, drawn from the same SVG.
QIcon applicationIcon();

// Ties the application to its menu entry and gives its windows the icon. Needs a QGuiApplication.
void applyDesktopIdentity();

}  // namespace panel
