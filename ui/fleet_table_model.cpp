#include "ui/fleet_table_model.h"

#include "fleet/fleet_columns.h"
#include "fleet/state_words.h"

#include <QBrush>
#include <QColor>
#include <array>

namespace panel {
namespace {

// Light enough behind black text for the contrast a reader needs.
const QColor kNoAnswerColour(0xF4, 0xC7, 0xC3);
const QColor kInUseColour(0xE0, 0xE0, 0xE0);
const QColor kLampColour(0xFF, 0xE0, 0x99);
const QColor kChangingColour(0xCF, 0xE2, 0xF3);

bool silent(const ProjectorRow& row) {
    return row.reading == Reading::NoAnswer || row.reading == Reading::PortFailed;
}

}  // namespace

FleetTableModel::FleetTableModel(Fleet& fleet, QObject* parent)
    : QAbstractTableModel(parent), fleet_(fleet) {
    fleet_.rowChanged = [this](int row) {
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
    };
    // Views drop what they hold of the old rows before the list changes under them.
    fleet_.listAboutToChange = [this] { beginResetModel(); };
    fleet_.listChanged = [this] { endResetModel(); };
}

FleetTableModel::~FleetTableModel() {
    fleet_.rowChanged = {};
    fleet_.listAboutToChange = {};
    fleet_.listChanged = {};
}

int FleetTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(fleet_.rows().size());
}

int FleetTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString FleetTableModel::stateText(const ProjectorRow& row) {
    return stateWords(row).text;
}

QString FleetTableModel::text(const ProjectorRow& row, int column) const {
    switch (column) {
        case Name:
            return row.projector.name;
        case Port:
            return row.projector.port;
        case State:
            // A local port's reason can go on with advice; the tooltip has it whole.
            return stateText(row).section(QLatin1Char('\n'), 0, 0);
        case Input:
            return row.reading == Reading::Answered ? row.input : QString();
        case LampHours:
            if (!row.lampHours) return row.reading == Reading::Answered ? row.lampNote : QString();
            if (*row.lampHours > lampThreshold_)
                return QStringLiteral("%1 (over %2)").arg(*row.lampHours).arg(lampThreshold_);
            return QString::number(*row.lampHours);
        case LastAnswer:
            return row.lastAnswered.isValid()
                       ? row.lastAnswered.toString(QStringLiteral("HH:mm:ss"))
                       : QStringLiteral("never");
        case Note:
            return row.note;
    }
    return {};
}

QVariant FleetTableModel::sortKey(const ProjectorRow& row, int column) const {
    if (column == LampHours) return row.lampHours ? *row.lampHours : -1;
    if (column == LastAnswer) return row.lastAnswered;
    return text(row, column);
}

QVariant FleetTableModel::mark(const ProjectorRow& row, int column) const {
    if (column == State && silent(row)) return QBrush(kNoAnswerColour);
    if (column == State && row.reading == Reading::InUse) return QBrush(kInUseColour);
    if (column == State && row.reading == Reading::Answered &&
        phaseOf(row.status) != PowerPhase::Steady)
        return QBrush(kChangingColour);
    if (column == LampHours && row.lampHours && *row.lampHours > lampThreshold_)
        return QBrush(kLampColour);
    return {};
}

QVariant FleetTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const ProjectorRow& row = fleet_.rows()[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return text(row, index.column());
        case Qt::ToolTipRole:
            return index.column() == State ? stateText(row) : text(row, index.column());
        case Qt::UserRole:
            return sortKey(row, index.column());
        case Qt::BackgroundRole:
            return mark(row, index.column());
        case Qt::ForegroundRole:
            return mark(row, index.column()).isValid() ? QVariant(QBrush(Qt::black)) : QVariant();
        default:
            return {};
    }
}

QVariant FleetTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && section >= 0 && section < ColumnCount &&
        (role == Qt::DisplayRole || role == Qt::AccessibleTextRole))
        return QString::fromLatin1(fleetColumns()[static_cast<std::size_t>(section)].title);
    return QAbstractTableModel::headerData(section, orientation, role);
}

void FleetTableModel::setLampThreshold(int hours) {
    lampThreshold_ = hours;
    if (rowCount() > 0) emit dataChanged(index(0, LampHours), index(rowCount() - 1, LampHours));
}

}  // namespace panel
