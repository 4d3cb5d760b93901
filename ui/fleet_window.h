// The fleet window: the table of every projector of the projectors file, the poll interval and
// lamp-hours mark, and the power and panel actions on the selected rows.
#pragma once

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QTableView>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

#include "fleet/fleet.h"
#include "fleet/projectors_watcher.h"
#include "settings/panel_settings.h"
#include "ui/fleet_table_model.h"

namespace panel {

class FleetWindow final : public QWidget {
    Q_OBJECT

public:
    // `pollSeconds` from the command line overrides the remembered interval without replacing it.
    FleetWindow(const QString& projectorsFile, std::optional<int> pollSeconds,
                QWidget* parent = nullptr);
    ~FleetWindow() override;

    Fleet& fleet() { return fleet_; }
    // Polls now and then every interval.
    void start();

    // The rows selected, as the fleet numbers them.
    std::vector<int> selectedRows() const;
    void powerOnSelected();
    // Asks first, naming the projectors; the answer arrives later (no nested event loop).
    void powerOffSelected();
    void openPanelForSelected();

signals:
    void cycleFinished(qint64 wallMs);

private:
    void build();
    QHBoxLayout* buildSettingsRow();
    void buildTable();
    // The file's problems and the action buttons.
    QHBoxLayout* buildActions();
    void listRead(const ProjectorList& list);
    void updateActions();
    // Keeps an operator's change; a file that does not take it is told below the table.
    void remember(FleetKey key, int value);
    // The projectors file's problems, then the settings file's, told once and kept in view.
    void showProblems();

    PanelSettings settings_;
    ProjectorsWatcher watcher_;
    Fleet fleet_;
    FleetTableModel model_;
    QSortFilterProxyModel sorted_;
    QTableView* table_ = nullptr;
    QSpinBox* poll_ = nullptr;
    QSpinBox* threshold_ = nullptr;
    QLabel* problems_ = nullptr;
    std::vector<QString> fileProblems_;
    QString settingsProblem_;
    QPushButton* powerOn_ = nullptr;
    QPushButton* powerOff_ = nullptr;
    QPushButton* openPanel_ = nullptr;
    struct Panel;
    std::vector<std::unique_ptr<Panel>> panels_;
};

}  // namespace panel
