// A projector's state in words: the fleet window's words and a stable machine word beside them,
// from one table, so that every front door says the same thing.
#pragma once

#include <QString>
#include <string_view>
#include <vector>

#include "fleet/fleet.h"

namespace panel {

enum class StateKind {
    NotAsked,
    Asking,
    On,
    Standby,
    Warming,
    Cooling,
    Fault,
    Unknown,
    NoAnswer,
    InUse,
    InUseSinceLoss,  // the device server may still hold our own connection from before a loss
};

struct StateWords {
    StateKind kind;
    QString machine;  // "on", "standby", "warming", "cooling", "fault", "no-answer", "in-use",
                      // "unknown"
    QString text;     // as the fleet window's state column shows it
};

StateKind stateKindOf(const ProjectorRow& row);
StateWords stateWords(const ProjectorRow& row);

// Every machine word, in the table's order, once each.
std::vector<QString> machineWords();

}  // namespace panel
