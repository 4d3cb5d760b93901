// The fleet table's columns as every front door shows them: the title, and the key of the API's
// projector object the column is read from; and where lamp hours are marked unless told.
#pragma once

#include <span>
#include <string_view>

namespace panel {

inline constexpr int kDefaultLampThreshold = 2000;

struct FleetColumn {
    std::string_view title;  // as the fleet window's header says it
    std::string_view key;    // in the API's projector object
};

// In the window's order: name, port, state, input, lamp hours, last answer, note.
std::span<const FleetColumn> fleetColumns();

}  // namespace panel
