// The seeded plan of simulator faults: which line is restarted next, when, and with what.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/soak/soak_random.h"

namespace panel::soak {

enum class FaultKind { Clean, Latency, Split, Noise, Flood, NoReply, HangUp, DeviceServer };
inline constexpr int kFaultKinds = 8;
// The device server's restart comes only when the lines go through one.
inline constexpr int kLocalFaultKinds = 7;

struct Fault {
    int line = 1;     // the simulator behind COM1 or COM2
    int afterMs = 0;  // from the previous fault
    FaultKind kind = FaultKind::Clean;
    std::vector<std::string> args;  // the simulator's fault options
    int restartGapMs = 0;  // how long the line stays down before the simulator (or server) returns
};

const char* FaultName(FaultKind kind);
std::string Describe(const Fault& fault);

class FaultPlan {
public:
    // With `network`, ser2net in front of a simulator is killed and started again too.
    explicit FaultPlan(std::uint64_t seed, bool network = false)
        : random_(seed), network_(network) {}
    Fault next();

private:
    SoakRandom random_;
    bool network_;
};

}  // namespace panel::soak
