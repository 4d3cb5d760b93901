// The user's own settings file ($XDG_CONFIG_HOME/projector-panel/projector-panel.ini): the devices
// behind COM1 and COM2 as last chosen (group "ports"), the fleet window's poll interval and lamp
// hours mark (group "fleet"), every write checked and a problem with the file told once.
#pragma once

#include <QSettings>
#include <QString>
#include <QVariant>
#include <optional>

#include "serial/port_devices.h"

namespace panel {

// The fleet window's remembered values; none where the file holds none, or a garbled one.
struct FleetSettings {
    std::optional<int> pollSeconds;
    std::optional<int> lampHoursThreshold;
};

enum class FleetKey { PollSeconds, LampHoursThreshold };

class PanelSettings {
public:
    PanelSettings();

    // The remembered device or URL of each port, `defaults` where none is (or it is unusable).
    PortDevices devices(const PortDevices& defaults);

    // Keeps `device` for port 1 or 2 and checks that it reached the file; false when it did not.
    bool remember(int port, const QString& device);

    // The fleet group, read from the file; a garbled key is left out and told.
    FleetSettings fleet();
    // Keeps one value of the fleet group and checks that it reached the file.
    bool remember(FleetKey key, int value);

    // What went wrong with the file, the first time it is asked after something did; then empty,
    // so that the operator hears of it once.
    QString takeProblem();

    QString fileName() const { return settings_.fileName(); }

private:
    // The key's device, empty when it has none, nothing when it is garbled.
    std::optional<QString> read(const char* key);
    // A whole number of at least zero, nothing when absent or garbled.
    std::optional<int> readCount(const char* key);
    // Writes and reads back; `holds` says for how long the value lasts when that fails.
    bool write(const QString& key, const QVariant& value, const QString& holds);
    void noteProblem(const QString& problem);

    QSettings settings_;
    QString problem_;
    bool told_ = false;
};

}  // namespace panel
