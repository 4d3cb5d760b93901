// An endless stream of bytes that nobody asked for, paced evenly at a given rate.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tools/projector-sim/sim_time.h"

namespace sim {

class FloodSource {
public:
    // Letters, digits and a CR, over and over: the CRs give the panel frames to choke on.
    static constexpr std::string_view kPattern = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ\r";
    // The most that one take() returns; older owed bytes are lost.
    static constexpr std::uint64_t kMaxBatch = 65536;

    FloodSource(std::uint64_t bytesPerSecond, Micros start);

    // The bytes owed by `now` that have not been taken yet.
    std::string take(Micros now);
    // Drops what is owed by `now` unsent: nobody was there to receive it.
    void skip(Micros now);
    // When the next batch is owed: one byte at low rates, a millisecond's worth at high ones, so
    // that the loop does not wake for every byte.
    Micros nextDue() const;
    std::uint64_t taken() const { return taken_; }

private:
    std::uint64_t owedBy(Micros now) const;

    std::uint64_t rate_;
    Micros start_;
    std::uint64_t taken_ = 0;
};

}  // namespace sim
