// One code's answer as a JSON object: the shell's --json lines and the service's answers alike.
#pragma once

#include <QJsonObject>

#include "core/code_sequence.h"

namespace panel {

// command, sent, received, decoded (null when no decoder wrote), replied, first_byte_ms (null
// when nothing came).
QJsonObject jsonObject(const CodeAnswer& answer);

}  // namespace panel
