// Each projector's JSON as the API shows it, kept from one change of its row to the next, so that a
// read of the list copies bytes instead of building a hundred objects.
#pragma once

#include <QByteArray>
#include <vector>

#include "fleet/fleet.h"

namespace panel {

class ProjectorDocuments final {
public:
    // The row's compact JSON made again; `rows` is the fleet's whole list, for its size.
    void rowChanged(const std::vector<ProjectorRow>& rows, std::size_t row);
    // Every row made again: the list itself changed.
    void listChanged(const std::vector<ProjectorRow>& rows);

    const QByteArray& row(std::size_t row) const { return rows_[row]; }
    std::size_t size() const { return rows_.size(); }
    // {"projectors":[...]} and a line end, byte for byte as QJsonDocument writes it.
    QByteArray list() const;

private:
    std::vector<QByteArray> rows_;
};

}  // namespace panel
