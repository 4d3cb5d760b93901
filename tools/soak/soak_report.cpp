#include "tools/soak/soak_report.h"

#include <malloc.h>

#include <cstdio>
#include <sstream>

#include "testkit/resident_memory.h"
#include "tools/soak/lateness_probe.h"
#include "tools/soak/sim_line.h"

namespace panel::soak {
namespace {

constexpr std::size_t kRecentOperations = 20;
constexpr double kLatenessP99LimitMs = 20;
// The heap in use may grow this much after the first minute. The soak's own ledgers keep only
// what may still be read, so a growth beyond it is the panel's.
constexpr std::int64_t kMemoryGrowthLimitKiB = 2048;

// What is allocated and not yet freed. Unlike the resident size it leaves out what the allocator
// keeps back from the system after a free, so a growth in it is memory held, not a fragment.
std::int64_t heapInUseKiB() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<std::int64_t>((info.uordblks + info.hblkhd) / 1024);
}

std::string mib(std::int64_t kib) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(kib) / 1024.0);
    return text;
}

std::string fixed(double value, const char* unit) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f %s", value, unit);
    return text;
}

// "<total> (<kind> <count>, ..." for a tally by kind.
std::string tally(const std::map<std::string, int>& counts) {
    int total = 0;
    std::string kinds;
    for (const auto& [kind, count] : counts) {
        total += count;
        kinds += (kinds.empty() ? "" : ", ") + kind + " " + std::to_string(count);
    }
    return std::to_string(total) + " (" + kinds;
}

}  // namespace

SoakReport::Memory SoakReport::Memory::now() {
    return {test::ResidentKiB(), heapInUseKiB()};
}

void SoakReport::note(const std::string& line) {
    recent_.push_back(line);
    while (recent_.size() > kRecentOperations) recent_.pop_front();
}

void SoakReport::fail(const std::string& what) {
    if (broken_.empty()) broken_ = what;
}

void SoakReport::judgeTimeAndMemory(const SoakOptions& options, const LatenessProbe& probe) {
    if (broken() || options.timingReportOnly) return;
    if (probe.percentile(0.99) >= kLatenessP99LimitMs)
        fail("the event loop's 99th percentile lateness is " + fixed(probe.percentile(0.99), "ms") +
             ", not under 20 ms");
    else if (memoryMinute && memoryEnd.heapKiB - memoryMinute->heapKiB > kMemoryGrowthLimitKiB)
        fail("the heap in use grew from " + mib(memoryMinute->heapKiB) +
             " after the first minute to " + mib(memoryEnd.heapKiB) + " at the end");
}

int SoakReport::failure(const SoakOptions& options) const {
    std::printf("\nSOAK FAILED: %s\nseed: %llu (replay: scripts/soak --seed %llu --minutes %g%s)\n",
                broken_.c_str(), static_cast<unsigned long long>(options.seed),
                static_cast<unsigned long long>(options.seed), options.minutes,
                options.network ? " --network" : "");
    std::printf("last %zu operations, newest last:\n", recent_.size());
    for (const std::string& entry : recent_) std::printf("  %s\n", entry.c_str());
    std::fflush(stdout);
    return 1;
}

void SoakReport::summary(const SoakOptions& options, std::int64_t ranUs, const LatenessProbe& probe,
                         const std::array<std::unique_ptr<SimLine>, 2>& lines) const {
    const Tallies& t = tallies;
    std::ostringstream out;
    out << "soak summary: seed " << options.seed << ", ran " << fixed(ranUs / 60e6, "min") << "\n";
    out << "  operations: " << tally(t.operations) << "; " << t.skipped
        << " not possible at the time: control covered or out of view)\n";
    out << "  faults injected: " << tally(t.faults) << ")\n";
    const auto holds = t.operations.find("hold");
    out << "  holds: " << (holds == t.operations.end() ? 0 : holds->second) << " in all, "
        << t.holdsSlowed
        << " on which the busy event loop dropped repeat ticks (the fewest frames lowered to "
           "what a twin timer got); "
        << t.holdsBehindTwin << " on which the port wrote fewer frames than 1 + the twin's ticks"
        << (t.holdsBehindTwin ? " (at most " + std::to_string(t.mostBehindTwin) + " fewer)" : "")
        << "\n";
    out << "  outages survived: " << t.outagesSurvived
        << " (told once, then reopened by the panel itself with no one reselecting it)\n";
    frameSummary(out, lines);
    out << "  event loop lateness (" << LatenessProbe::kPeriodMs << " ms probe, " << probe.samples()
        << " ticks): median " << fixed(probe.percentile(0.5), "ms") << ", p99 "
        << fixed(probe.percentile(0.99), "ms") << ", max " << fixed(probe.maximum(), "ms") << "\n";
    const auto figures = [this](std::int64_t Memory::*figure) {
        return "start " + mib(memoryStart.*figure) + ", after the first minute " +
               (memoryMinute ? mib(*memoryMinute.*figure) : "(the run was shorter)") + ", end " +
               mib(memoryEnd.*figure);
    };
    out << "  heap in use: " << figures(&Memory::heapKiB) << "\n";
    out << "  resident memory: " << figures(&Memory::residentKiB)
        << " (with what the allocator keeps after frees)\n";
    if (options.timingReportOnly)
        out << "  (lateness and memory reported only: not checked in this run)\n";
    out << (broken() ? "" : "  every invariant held\n");
    std::fputs(out.str().c_str(), stdout);
    std::fflush(stdout);
}

void SoakReport::frameSummary(std::ostream& out,
                              const std::array<std::unique_ptr<SimLine>, 2>& lines) const {
    std::size_t checked = 0;
    std::size_t lost = 0;
    std::size_t lostOnTheWay = 0;
    std::size_t afterSpeed = 0;
    for (const auto& sim : lines) {
        checked += sim->checked();
        lost += sim->lost();
        lostOnTheWay += sim->lostOnTheWay();
        afterSpeed += sim->readAfterSpeedChange();
    }
    out << "  frames checked: " << checked << " (" << tallies.sendsWhileClosed
        << " operations sent on a closed port and nothing came of them; " << lost
        << " lost with a line in the second before it went down, " << lostOnTheWay
        << " of them written by the port and " << lost - lostOnTheWay << " never written; "
        << afterSpeed << " read by the simulator after a later speed change)\n";
    out << "  port writes: " << tallies.panelWrites << " frames written by the panel's port, "
        << tallies.writesUnmatched << " of them not sent by any operation of the line's\n";
}

}  // namespace panel::soak
