#include "fleet/fleet_columns.h"

#include <array>

namespace panel {
namespace {

constexpr std::array kColumns{
    FleetColumn{"Name", "name"},
    FleetColumn{"Port", "port"},
    FleetColumn{"State", "state_text"},
    FleetColumn{"Input", "input"},
    FleetColumn{"Lamp hours", "lamp_hours"},
    FleetColumn{"Last answer", "last_answered"},
    FleetColumn{"Note", "note"},
};

}  // namespace

std::span<const FleetColumn> fleetColumns() {
    return kColumns;
}

}  // namespace panel
