#include "service/web_catalogue.h"

#include <QJsonArray>
#include <array>
#include <string_view>

#include "core/catalogue.h"
#include "fleet/fleet_columns.h"

namespace panel {
namespace {

// The buttons of the window a phone needs every day, by name; the caption and code come from the
// catalogue. Held buttons are left out: a press-and-hold does not survive a phone's network.
struct Everyday {
    std::string_view button;
    std::string_view section;  // the catalogue's group when empty
    bool confirm = false;      // asks first, naming the projector
};

constexpr std::array kEveryday{
    Everyday{"Command17", {}},     Everyday{"Command18", {}, true}, Everyday{"Command27", {}},
    Everyday{"Command28", {}},     Everyday{"Command29", {}},       Everyday{"Command56", {}},
    Everyday{"Command57", {}},     Everyday{"Command19", {}},       Everyday{"Command20", {}},
    Everyday{"Command21", {}},     Everyday{"Command22", {}},       Everyday{"Command25", {}},
    Everyday{"Command26", {}},     Everyday{"Command23", {}},       Everyday{"Command24", {}},
    Everyday{"Command44", "READ"}, Everyday{"Command46", "READ"},   Everyday{"Command54", "READ"},
    Everyday{"Command45", "READ"}, Everyday{"Command47", "READ"},   Everyday{"Command55", "READ"},
};

QString utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QJsonObject commandsJson() {
    QJsonArray commands;
    for (const Everyday& row : kEveryday) {
        const CommandCaption* caption = FindCaption(row.button);
        const OneShotRow* shot = FindOneShot(row.button);
        if (!caption || !shot) continue;
        commands.append(QJsonObject{
            {"section", utf8(row.section.empty() ? caption->group : row.section)},
            {"caption", utf8(caption->caption)},
            {"code", utf8(shot->code)},
            {"confirm", row.confirm},
        });
    }
    return QJsonObject{{"commands", commands}};
}

QJsonObject pageJson(const WebConfig& web, Role role, const QString& tokenName) {
    QJsonArray columns;
    for (const FleetColumn& column : fleetColumns())
        columns.append(QJsonObject{{"title", utf8(column.title)}, {"key", utf8(column.key)}});
    return QJsonObject{
        {"columns", columns},
        {"lamp_hours_threshold", web.lampHoursThreshold},
        {"role", roleName(role)},
        {"token", tokenName},
    };
}

}  // namespace panel
