#include "service/mqtt_discovery.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <array>

#include "core/catalogue.h"
#include "fleet/state_words.h"

namespace panel {
namespace {

constexpr std::string_view kInputGroup = "INPUT MODE SET";

// What the input decoder says after each input button; the last two buttons share one answer,
// so it names neither of them.
struct InputAnswer {
    std::string_view code;
    const char* words;
};
constexpr std::array kInputAnswers{
    InputAnswer{"C05", "Computer 1"},
    InputAnswer{"C06", "Computer 2"},
    InputAnswer{"C07", "Video"},
};

QString text(std::string_view view) {
    return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
}

QJsonObject component(const char* platform, const QString& id, const char* key, const char* name) {
    return QJsonObject{{"p", platform},
                       {"name", name},
                       {"unique_id", QStringLiteral("%1_%2").arg(id, QLatin1String(key))}};
}

QString topic(const DiscoverySite& where, const QString& name, const char* leaf) {
    return QString::fromUtf8(where.topics->projector(name, leaf));
}

}  // namespace

const std::vector<InputOption>& inputOptions() {
    static const std::vector<InputOption> options = [] {
        std::vector<InputOption> list;
        for (const CommandCaption& caption : CommandCaptions()) {
            if (caption.group != kInputGroup) continue;
            if (const OneShotRow* row = FindOneShot(caption.button))
                list.push_back(InputOption{text(caption.caption), std::string(row->code)});
        }
        return list;
    }();
    return options;
}

QString inputOptionOf(const QString& decodedWords) {
    const QString words = decodedWords.trimmed();
    for (const InputAnswer& answer : kInputAnswers) {
        if (words.compare(QLatin1String(answer.words), Qt::CaseInsensitive) != 0) continue;
        for (const InputOption& option : inputOptions())
            if (option.code == answer.code) return option.name;
    }
    return {};
}

QString deviceId(const QString& site, const QString& name) {
    QString safeSite = site;
    for (QChar& c : safeSite)
        if (!(c.unicode() < 0x80 && c.isLetterOrNumber()) && c != QLatin1Char('-'))
            c = QLatin1Char('_');
    const QByteArray digest =
        QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    return QStringLiteral("projector_panel_%1_%2").arg(safeSite, QString::fromLatin1(digest));
}

QByteArray discoveryTopic(const DiscoverySite& where, const QString& name) {
    return where.discoveryPrefix.toUtf8() + "/device/" + deviceId(where.site, name).toUtf8() +
           "/config";
}

QJsonObject discoveryPayload(const DiscoverySite& where, const QString& name) {
    const QString id = deviceId(where.site, name);

    QJsonObject power = component("switch", id, "power", "Power");
    power.insert("command_topic", topic(where, name, "power/set"));
    power.insert("state_topic", topic(where, name, "power"));
    power.insert("payload_on", "ON");
    power.insert("payload_off", "OFF");
    power.insert("state_on", "ON");
    power.insert("state_off", "OFF");
    power.insert("icon", "mdi:projector");

    QJsonArray inputNames;
    for (const InputOption& option : inputOptions()) inputNames.append(option.name);
    QJsonObject input = component("select", id, "input", "Input");
    input.insert("command_topic", topic(where, name, "input/set"));
    input.insert("state_topic", topic(where, name, "input/option"));
    input.insert("options", inputNames);

    QJsonArray words;
    for (const QString& word : machineWords()) words.append(word);
    QJsonObject state = component("sensor", id, "state", "State");
    state.insert("state_topic", topic(where, name, "state"));
    state.insert("device_class", "enum");
    state.insert("options", words);

    QJsonObject lamp = component("sensor", id, "lamp_hours", "Lamp hours");
    lamp.insert("state_topic", topic(where, name, "lamp_hours"));
    lamp.insert("device_class", "duration");
    lamp.insert("unit_of_measurement", "h");
    lamp.insert("state_class", "total_increasing");

    const QJsonArray availability{
        QJsonObject{{"topic", QString::fromUtf8(where.topics->availability())},
                    {"payload_available", "online"},
                    {"payload_not_available", "offline"}},
        QJsonObject{{"topic", topic(where, name, "availability")},
                    {"payload_available", "online"},
                    {"payload_not_available", "no-answer"}},
    };
    return QJsonObject{
        {"dev", QJsonObject{{"ids", QJsonArray{id}},
                            {"name", name},
                            {"mf", "projector-panel"},
                            {"mdl", "serial projector"},
                            {"sw", PANEL_VERSION},
                            {"sa", where.site}}},
        {"o", QJsonObject{{"name", "projector-paneld"}, {"sw", PANEL_VERSION}}},
        {"availability", availability},
        {"availability_mode", "all"},
        {"qos", 1},
        {"cmps", QJsonObject{{id + "_power", power},
                             {id + "_input", input},
                             {id + "_state", state},
                             {id + "_lamp_hours", lamp}}},
    };
}

}  // namespace panel
