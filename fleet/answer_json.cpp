#include "fleet/answer_json.h"

#include <QJsonValue>
#include <QString>

namespace panel {
namespace {

QString latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QJsonObject jsonObject(const CodeAnswer& answer) {
    QJsonObject object{{"command", latin1(answer.command)},
                       {"sent", latin1(answer.sent)},
                       {"received", latin1(answer.received)},
                       {"replied", answer.replied}};
    object.insert("decoded", answer.decoded ? QJsonValue(latin1(*answer.decoded)) : QJsonValue());
    object.insert("first_byte_ms",
                  answer.firstByteMs ? QJsonValue(*answer.firstByteMs) : QJsonValue());
    return object;
}

}  // namespace panel
