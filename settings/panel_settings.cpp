#include "settings/panel_settings.h"

#include "serial/device_name.h"

namespace panel {
namespace {

constexpr const char* kKeys[] = {"ports/com1", "ports/com2"};
// In FleetKey's order.
constexpr const char* kFleetKeys[] = {"fleet/pollSeconds", "fleet/lampHoursThreshold"};

}  // namespace

PanelSettings::PanelSettings()
    : settings_(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("projector-panel"),
                QStringLiteral("projector-panel")) {
    if (settings_.status() != QSettings::NoError)
        noteProblem(QStringLiteral("%1 cannot be read; the ports and the fleet window's settings "
                                   "are the defaults this time.")
                        .arg(settings_.fileName()));
}

std::optional<QString> PanelSettings::read(const char* key) {
    const QString name = QString::fromLatin1(key);
    if (!settings_.contains(name)) return QString();
    const QVariant value = settings_.value(name);
    const QString device = value.typeId() == QMetaType::QString ? value.toString() : QString();
    // Anything the rule refuses was not written by the panel.
    if (const CheckedDevice checked = checkDevice(device); checked.problem.isEmpty())
        return checked.device;
    noteProblem(QStringLiteral("%1 is garbled (%2); the ports are the defaults this time.")
                    .arg(settings_.fileName(), name));
    return std::nullopt;
}

PortDevices PanelSettings::devices(const PortDevices& defaults) {
    if (settings_.status() != QSettings::NoError) return defaults;
    const std::optional<QString> com1 = read(kKeys[0]);
    const std::optional<QString> com2 = read(kKeys[1]);
    // One garbled key makes the whole pair suspect.
    if (!com1 || !com2) return defaults;
    return {com1->isEmpty() ? defaults.com1 : *com1, com2->isEmpty() ? defaults.com2 : *com2};
}

bool PanelSettings::remember(int port, const QString& device) {
    return write(QString::fromLatin1(kKeys[port == 2 ? 1 : 0]), device,
                 QStringLiteral("the choice holds until the panel closes"));
}

std::optional<int> PanelSettings::readCount(const char* key) {
    const QString name = QString::fromLatin1(key);
    if (!settings_.contains(name)) return std::nullopt;
    const QVariant value = settings_.value(name);
    bool ok = false;
    const int count = value.typeId() == QMetaType::QString ? value.toString().toInt(&ok) : -1;
    if (ok && count >= 0) return count;
    noteProblem(QStringLiteral("%1 is garbled (%2); the fleet window's settings are the defaults "
                               "this time.")
                    .arg(settings_.fileName(), name));
    return std::nullopt;
}

FleetSettings PanelSettings::fleet() {
    if (settings_.status() != QSettings::NoError) return {};
    return {readCount(kFleetKeys[0]), readCount(kFleetKeys[1])};
}

bool PanelSettings::remember(FleetKey key, int value) {
    // As text, as the file holds it: QSettings hands this process back the value as given.
    return write(QString::fromLatin1(kFleetKeys[static_cast<int>(key)]), QString::number(value),
                 QStringLiteral("the value holds until the window closes"));
}

bool PanelSettings::write(const QString& key, const QVariant& value, const QString& holds) {
    settings_.setValue(key, value);
    settings_.sync();
    // isWritable catches a folder that cannot be made; the read-back a file that ignored us.
    if (settings_.status() == QSettings::NoError && settings_.isWritable() &&
        QSettings(settings_.fileName(), QSettings::IniFormat).value(key).toString() ==
            value.toString())
        return true;
    noteProblem(QStringLiteral("%1 cannot be written: %2.").arg(settings_.fileName(), holds));
    return false;
}

void PanelSettings::noteProblem(const QString& problem) {
    if (problem_.isEmpty()) problem_ = problem;
}

QString PanelSettings::takeProblem() {
    if (told_ || problem_.isEmpty()) return {};
    told_ = true;
    return problem_;
}

}  // namespace panel
