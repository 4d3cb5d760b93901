#include "serial/port_inventory.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QSerialPortInfo>

#include "serial/log_categories.h"
#include "serial/port_help.h"
#include "serial/port_url.h"

namespace panel {
namespace {

// The links of `byIdFolder` by the canonical path of the node each leads to; dangling ones
// (an adapter just pulled) are left out.
QMap<QString, QString> linksByTarget(const QString& byIdFolder) {
    QMap<QString, QString> links;
    const QDir folder(byIdFolder);
    for (const QFileInfo& link : folder.entryInfoList(QDir::System | QDir::Files, QDir::Name)) {
        const QString target = link.canonicalFilePath();
        if (link.isSymLink() && !target.isEmpty() && !links.contains(target))
            links.insert(target, link.absoluteFilePath());
    }
    return links;
}

}  // namespace

QList<PortEntry> takePortInventory(const QString& byIdFolder, const QString& procRoot) {
    QMap<QString, PortEntry> byDevice;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        PortEntry& entry = byDevice[info.systemLocation()];
        entry.device = info.systemLocation();
        entry.description = info.description();
        entry.maker = info.manufacturer();
        entry.serialNumber = info.serialNumber();
    }
    const QMap<QString, QString> links = linksByTarget(byIdFolder);
    for (auto link = links.begin(); link != links.end(); ++link)
        byDevice[link.key()].device = link.key();
    QList<PortEntry> entries;
    for (PortEntry& entry : byDevice) {
        entry.byId = links.value(QFileInfo(entry.device).canonicalFilePath());
        entry.problem = foreseenOpenProblem(entry.device, procRoot);
        if (!entry.problem.isEmpty()) qCDebug(lcInventory) << entry.device << entry.problem;
        entries.append(entry);
    }
    return entries;
}

QString stableDeviceName(const QString& device, const QString& byIdFolder) {
    if (isPortUrl(device)) return device;
    const QString target = QFileInfo(device).canonicalFilePath();
    if (target.isEmpty() || QFileInfo(device).absolutePath() == QDir(byIdFolder).absolutePath())
        return device;
    return linksByTarget(byIdFolder).value(target, device);
}

}  // namespace panel
