// The user's own settings file ($XDG_CONFIG_HOME/projector-panel/projector-panel.ini): the devices
// behind COM1 and COM2 as last chosen, and a problem with the file told once.
#pragma once

#include <QSettings>
#include <QString>
#include <optional>

#include "serial/port_devices.h"

namespace panel {

class PanelSettings {
public:
    PanelSettings();

    // The remembered device or URL of each port, `defaults` where none is (or it is unusable).
    PortDevices devices(const PortDevices& defaults);

    // Keeps `device` for port 1 or 2 and checks that it reached the file; false when it did not.
    bool remember(int port, const QString& device);

    // What went wrong with the file, the first time it is asked after something did; then empty,
    // so that the operator hears of it once.
    QString takeProblem();

    QString fileName() const { return settings_.fileName(); }

private:
    // The key's device, empty when it has none, nothing when it is garbled.
    std::optional<QString> read(const char* key);
    void noteProblem(const QString& problem);

    QSettings settings_;
    QString problem_;
    bool told_ = false;
};

}  // namespace panel
