// The fleet as a table: one row per projector, its state, input, lamp hours and last answer, each
// mark given in words as well as colour.
#pragma once

#include <QAbstractTableModel>

#include "fleet/fleet.h"

namespace panel {

class FleetTableModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Name, Port, State, Input, LampHours, LastAnswer, Note, ColumnCount };

    explicit FleetTableModel(Fleet& fleet, QObject* parent = nullptr);
    ~FleetTableModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void setLampThreshold(int hours);
    int lampThreshold() const { return lampThreshold_; }

    // The words of the state column, for the window and the checks alike.
    static QString stateText(const ProjectorRow& row);

private:
    QString text(const ProjectorRow& row, int column) const;
    QVariant sortKey(const ProjectorRow& row, int column) const;
    QVariant mark(const ProjectorRow& row, int column) const;

    Fleet& fleet_;
    int lampThreshold_ = 2000;
};

}  // namespace panel
