#include "app/command_list.h"

#include <QJsonDocument>
#include <QJsonObject>

#include "core/catalogue.h"

namespace panel {
namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The period a held button repeats at when nothing has changed Timer1 since start-up: the arrows
// keep whatever Timer1 holds, which is then its design interval.
int repeatPeriod(const HoldRow& row) {
    return static_cast<int>(
        (row.kind == HoldKind::Fixed ? row.repeatInterval : kRepeatDesignInterval).count());
}

}  // namespace

std::vector<CommandListing> commandListing() {
    std::vector<CommandListing> rows;
    for (const CommandCaption& command : CommandCaptions()) {
        CommandListing row{fromUtf8(command.group), fromUtf8(command.caption), {}, {}};
        if (const OneShotRow* oneShot = FindOneShot(command.button)) {
            row.code = fromUtf8(oneShot->code);
        } else if (const HoldRow* hold = FindHold(command.button)) {
            row.code = fromUtf8(hold->code);
            row.repeatMs = repeatPeriod(*hold);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

void listCommands(QTextStream& out, bool json) {
    for (const CommandListing& row : commandListing()) {
        const QString kind = row.repeatMs ? QStringLiteral("hold") : QStringLiteral("click");
        if (json) {
            QJsonObject object{
                {"group", row.group}, {"caption", row.caption}, {"code", row.code}, {"kind", kind}};
            object.insert("repeat_ms", row.repeatMs ? QJsonValue(*row.repeatMs) : QJsonValue());
            out << QJsonDocument(object).toJson(QJsonDocument::Compact) << '\n';
            continue;
        }
        out << row.group << '\t' << row.caption << '\t' << row.code << '\t' << kind;
        if (row.repeatMs) out << ' ' << *row.repeatMs;
        out << '\n';
    }
    out.flush();
}

}  // namespace panel
