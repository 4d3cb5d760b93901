#include "service/mqtt_topics.h"

#include <array>

namespace panel {
namespace {

constexpr const char* kProjectors = "projectors/";

struct CommandLeaf {
    MqttCommand command;
    const char* leaf;
};

constexpr std::array kCommandLeaves{
    CommandLeaf{MqttCommand::Power, "/power/set"},
    CommandLeaf{MqttCommand::Input, "/input/set"},
    CommandLeaf{MqttCommand::Codes, "/codes/set"},
};

const char* leafOf(MqttCommand command) {
    for (const CommandLeaf& row : kCommandLeaves)
        if (row.command == command) return row.leaf;
    return "";
}

}  // namespace

QByteArray topicSegment(const QString& name) {
    QByteArray out;
    for (const char c : name.toUtf8()) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '%' || c == '+' || c == '#' || c == '/') {
            out += '%';
            out += QByteArray::number(byte, 16).rightJustified(2, '0').toUpper();
        } else {
            out += c;
        }
    }
    return out;
}

MqttTopics::MqttTopics(const QString& prefix) : prefix_(prefix.toUtf8()) {}

QByteArray MqttTopics::projector(const QString& name, const char* leaf) const {
    return prefix_ + kProjectors + topicSegment(name) + '/' + leaf;
}

QByteArray MqttTopics::commandPattern(MqttCommand command) const {
    return prefix_ + kProjectors + '+' + leafOf(command);
}

QByteArray MqttTopics::commandTopic(const QString& name, MqttCommand command) const {
    return prefix_ + kProjectors + topicSegment(name) + leafOf(command);
}

std::optional<MqttCommandTopic> MqttTopics::command(const QByteArray& topic) const {
    const QByteArray start = prefix_ + kProjectors;
    if (!topic.startsWith(start)) return std::nullopt;
    for (const CommandLeaf& row : kCommandLeaves) {
        if (!topic.endsWith(row.leaf)) continue;
        const QByteArray segment =
            topic.mid(start.size(), topic.size() - start.size() - qstrlen(row.leaf));
        if (segment.isEmpty() || segment.contains('/')) return std::nullopt;
        const QByteArray bytes = QByteArray::fromPercentEncoding(segment);
        const QString name = QString::fromUtf8(bytes);
        // Only the one spelling we publish: another encoding of the same name is no topic of ours.
        if (topicSegment(name) != segment) return std::nullopt;
        return MqttCommandTopic{name, row.command};
    }
    return std::nullopt;
}

}  // namespace panel
