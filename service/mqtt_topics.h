// Where each thing goes under the site's prefix: the service's availability, and each projector's
// topics under projectors/NAME/, NAME made safe as one topic segment. Command topics are read
// back into a projector's name and what is asked.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace panel {

enum class MqttCommand { Power, Input, Codes };

struct MqttCommandTopic {
    QString projector;
    MqttCommand command;
};

// A projector's name as one topic segment: UTF-8 with '%', '+', '#', '/', NUL and the other
// control characters percent-encoded, so that no name can add a level or a wildcard.
QByteArray topicSegment(const QString& name);

class MqttTopics {
public:
    explicit MqttTopics(const QString& prefix);  // ends in '/'

    // "online" or "offline", retained; the broker publishes "offline" when the service is lost.
    QByteArray availability() const { return prefix_ + "availability"; }
    // A projector's own topic, e.g. leaf "state": PREFIX/projectors/NAME/state.
    QByteArray projector(const QString& name, const char* leaf) const;
    // What the service subscribes to for commands, one per command.
    QByteArray commandPattern(MqttCommand command) const;
    QByteArray commandTopic(const QString& name, MqttCommand command) const;
    // The projector's name and command of a command topic, or nothing for any other topic.
    std::optional<MqttCommandTopic> command(const QByteArray& topic) const;

private:
    QByteArray prefix_;
};

}  // namespace panel
