// The simulator's command line: the options, their parsing and the help text.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace sim {

struct SimOptions {
    std::string link;
    double warmupSeconds = 3.0;
    double cooldownSeconds = 3.0;
    bool noSignal = false;
    bool lampFault = false;
    bool noReply = false;
    std::int64_t latencyMs = 0;
    bool split = false;
    double noiseRate = 0.0;
    std::uint64_t floodBytesPerSecond = 0;  // 0: no flood
    std::optional<double> hangupAfterSeconds;
    std::string logPath;
    bool logSpeed = false;  // each --log line also carries the client's line speed
    std::optional<std::uint64_t> seed;
    bool help = false;

    friend bool operator==(const SimOptions&, const SimOptions&) = default;
};

struct ParsedOptions {
    SimOptions options;
    std::string error;  // empty when the command line was good
};

// `args` are the arguments after the program name. Values follow their option as the next
// argument or after "=" ("--latency 50", "--latency=50").
ParsedOptions parseOptions(std::span<const std::string_view> args);

std::string helpText(std::string_view program);

}  // namespace sim
