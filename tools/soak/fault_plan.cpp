#include "tools/soak/fault_plan.h"

#include <array>
#include <cstdio>

namespace panel::soak {
namespace {

std::string twoPlaces(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

}  // namespace

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
        case FaultKind::Noise:
            // A braced list is evaluated in order: the rate is drawn before the seed.
            args = {"--noise", twoPlaces(0.05 + 0.45 * random_.unit()), "--seed",
                    std::to_string(random_.next() >> 1)};
            break;
        case FaultKind::Flood:
            // A burst: the next restart of this line ends it.
            args = {"--flood", std::to_string(random_.between(200, 1920))};
            break;
        case FaultKind::NoReply:
            args = {"--no-reply"};
            break;
        case FaultKind::HangUp:
            args = {"--hangup-after", twoPlaces(0.3 + 3.7 * random_.unit())};
            break;
    }
    return fault;
}

}  // namespace panel::soak
