// The dialog that sets the device behind COM1 or COM2: this machine's serial ports, kept current
// while it is open, and a field for any device path or device-server URL, checked as it is typed.
#pragma once

#include <QDialog>

#include "serial/port_inventory_watcher.h"

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QTreeWidget;

namespace panel {

class PortChooser final : public QDialog {
    Q_OBJECT

public:
    // `current` is what the port leads to now; `byIdFolder` and `procRoot` are the system's
    // unless a test gives folders of its own.
    PortChooser(int port, const QString& current, const QString& byIdFolder = kSerialByIdFolder,
                const QString& procRoot = QStringLiteral("/proc"), QWidget* parent = nullptr);

    int port() const { return port_; }
    // What OK applies: the field's device, by its by-id link where it has one, or the URL.
    QString chosenDevice() const;

private:
    void build(const QString& current);
    void fillList();
    void takeRow();
    void check();
    const PortEntry* listed(const QString& device) const;

    int port_;
    PortInventoryWatcher inventory_;
    QTreeWidget* list_ = nullptr;
    QLineEdit* field_ = nullptr;
    QLabel* verdict_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
};

}  // namespace panel
