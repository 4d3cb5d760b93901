// The soak's record as it runs (the first broken invariant, the last operations and faults, the
// tallies, the memory figures) and what it prints at the end: the summary, and on a failure the
// seed to replay it with and the operations that led to it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "tools/soak/soak_options.h"

namespace panel::soak {

class LatenessProbe;
class SimLine;

class SoakReport {
public:
    struct Memory {
        std::int64_t residentKiB = 0;
        std::int64_t heapKiB = 0;
        static Memory now();
    };

    struct Tallies {
        std::map<std::string, int> operations;  // by kind
        std::map<std::string, int> faults;      // by kind
        int skipped = 0;                        // operations not possible at the time
        int sendsWhileClosed = 0;
        int holdsSlowed = 0;
        int holdsBehindTwin = 0;  // the port wrote fewer than 1 + the twin's ticks
        int mostBehindTwin = 0;
        int outagesSurvived = 0;
        int writesUnmatched = 0;  // written while no operation of the model sent that frame
        std::size_t panelWrites = 0;
    };

    // One line of the recent history (the last 20 operations and faults).
    void note(const std::string& line);
    // The first broken invariant is kept; the run stops at it.
    void fail(const std::string& what);
    bool broken() const { return !broken_.empty(); }

    // Lateness and heap growth against their limits, unless only reported.
    void judgeTimeAndMemory(const SoakOptions& options, const LatenessProbe& probe);
    void summary(const SoakOptions& options, std::int64_t ranUs, const LatenessProbe& probe,
                 const std::array<std::unique_ptr<SimLine>, 2>& lines) const;
    // The failure, the seed to replay it and the recent history; the process's exit status.
    int failure(const SoakOptions& options) const;

    Tallies tallies;
    Memory memoryStart;
    std::optional<Memory> memoryMinute;  // after the first minute, if the run lasted that long
    Memory memoryEnd;

private:
    void frameSummary(std::ostream& out,
                      const std::array<std::unique_ptr<SimLine>, 2>& lines) const;

    std::deque<std::string> recent_;
    std::string broken_;
};

}  // namespace panel::soak
