#include "tools/soak/fault_plan.h"

#include <array>
#include <cstdio>

namespace panel::soak {

const char* FaultName(FaultKind kind) {
    static constexpr std::array<const char*, kFaultKinds> kNames{
        "clean restart", "latency",  "split",   "noise",
        "flood",         "no reply", "hang-up", "ser2net restart"};
    return kNames[static_cast<std::size_t>(kind)];
}

std::string Describe(const Fault& fault) {
    if (fault.kind == FaultKind::DeviceServer)
        return "restart COM" + std::to_string(fault.line) + "'s ser2net";
    std::string text =
        "restart COM" + std::to_string(fault.line) + " sim (" + FaultName(fault.kind) + ")";
    for (const std::string& arg : fault.args) text += " " + arg;
    return text;
}

Fault FaultPlan::next() {
    Fault fault;
    fault.line = random_.between(1, 2);
    fault.afterMs = random_.between(1500, 6000);
    fault.kind = static_cast<FaultKind>(random_.below(network_ ? kFaultKinds : kLocalFaultKinds));
    fault.restartGapMs = random_.between(0, 1200);
    auto& args = fault.args;
    switch (fault.kind) {
        case FaultKind::Clean:
        case FaultKind::DeviceServer:
            break;
        case FaultKind::Latency:
            args = {"--latency", std::to_string(random_.between(20, 1500))};
            break;
        case FaultKind::Split:
            args = {"--split"};
            break;
        case FaultKind::Noise: {
            char rate[16];
            std::snprintf(rate, sizeof rate, "%.2f", 0.05 + 0.45 * random_.unit());
            args = {"--noise", rate, "--seed", std::to_string(random_.next() >> 1)};
            break;
        }
        case FaultKind::Flood:
            // A burst: the next restart of this line ends it.
            args = {"--flood", std::to_string(random_.between(200, 1920))};
            break;
        case FaultKind::NoReply:
            args = {"--no-reply"};
            break;
        case FaultKind::HangUp: {
            char seconds[16];
            std::snprintf(seconds, sizeof seconds, "%.2f", 0.3 + 3.7 * random_.unit());
            args = {"--hangup-after", seconds};
            break;
        }
    }
    return fault;
}

}  // namespace panel::soak
