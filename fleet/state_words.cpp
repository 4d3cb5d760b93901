#include "fleet/state_words.h"

#include <algorithm>
#include <array>

namespace panel {
namespace {

// How each kind is told. In the text, %1 stands for the status decoder's words, or the reason
// for no answer.
struct StateRow {
    StateKind kind;
    std::string_view machine;
    std::string_view text;
};

constexpr std::array kStateRows{
    StateRow{StateKind::NotAsked, "unknown", "not asked yet"},
    StateRow{StateKind::Asking, "unknown", "asking…"},
    StateRow{StateKind::On, "on", "%1"},
    StateRow{StateKind::Standby, "standby", "%1"},
    StateRow{StateKind::Warming, "warming", "warming up (%1)"},
    StateRow{StateKind::Cooling, "cooling", "cooling down (%1)"},
    StateRow{StateKind::Fault, "fault", "%1"},
    StateRow{StateKind::Unknown, "unknown", "%1"},
    StateRow{StateKind::NoAnswer, "no-answer", "no answer: %1"},
    StateRow{StateKind::InUse, "in-use", "in use (another client has the line)"},
    StateRow{StateKind::InUseSinceLoss, "in-use",
             "in use (the device server still holds a connection, maybe ours from before the line "
             "was lost)\n%1"},
};

// The status decoder's words, first match wins: the phases before the rest, since a cooling
// projector's words may also name a fault ("Cooling down (All Lamp FAIL)").
struct StatusRow {
    std::string_view words;
    StateKind kind;
};

constexpr std::array kStatusRows{
    StatusRow{"Count down", StateKind::Warming},
    StatusRow{"Cooling down", StateKind::Cooling},
    StatusRow{"recoverd", StateKind::On},
    StatusRow{"Power Fail", StateKind::Fault},
    StatusRow{"Temperature Warning", StateKind::Fault},
    StatusRow{"Stand by", StateKind::Standby},
    StatusRow{"Lamp OFF by PWR Management", StateKind::Standby},
    StatusRow{"Power ON", StateKind::On},
    StatusRow{"NO Key input", StateKind::On},
};

QString latin1(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

const StateRow& rowFor(StateKind kind) {
    for (const StateRow& row : kStateRows)
        if (row.kind == kind) return row;
    return kStateRows.front();
}

}  // namespace

StateKind stateKindOf(const ProjectorRow& row) {
    switch (row.reading) {
        case Reading::NotYet:
            return row.busy ? StateKind::Asking : StateKind::NotAsked;
        case Reading::NoAnswer:
        case Reading::PortFailed:
            return StateKind::NoAnswer;
        case Reading::InUse:
            return row.heldSinceLoss ? StateKind::InUseSinceLoss : StateKind::InUse;
        case Reading::Answered:
            break;
    }
    for (const StatusRow& status : kStatusRows)
        if (row.status.contains(latin1(status.words), Qt::CaseInsensitive)) return status.kind;
    return StateKind::Unknown;
}

StateWords stateWords(const ProjectorRow& row) {
    const StateKind kind = stateKindOf(row);
    const StateRow& words = rowFor(kind);
    QString text = latin1(words.text);
    if (text.contains(QLatin1String("%1")))
        text =
            text.arg(kind == StateKind::NoAnswer || kind == StateKind::InUseSinceLoss ? row.reason
                                                                                      : row.status);
    return {kind, latin1(words.machine), text};
}

std::vector<QString> machineWords() {
    std::vector<QString> words;
    for (const StateRow& row : kStateRows) {
        const QString word = latin1(row.machine);
        if (std::find(words.begin(), words.end(), word) == words.end()) words.push_back(word);
    }
    return words;
}

}  // namespace panel
