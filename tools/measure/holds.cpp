// Repeat periods: each kind of hold held for n periods and a half, then its frames counted and
// their spacing taken from the simulator's log.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "testkit/controls.h"
#include "testkit/frame_log_reader.h"
#include "tools/measure/measurements.h"
#include "tools/measure/panel_driver.h"
#include "tools/measure/statistics.h"

namespace panel::measure {
namespace {

struct HoldKind {
    const char* label;
    const char* button;
    const char* code;
    int periodMs;
    int periods;              // n: the hold lasts n periods and a half
    const char* setUpButton;  // clicked before, or nullptr
};

// The arrows repeat every 5 ms only after a D.Zoom release has set that pacing.
constexpr HoldKind kKinds[] = {
    {"arrow after D.Zoom (C3C)", controls::kArrowUp, "C3C", 5, 400, controls::kZoomUp},
    {"Brightness + (C20)", controls::kBrightnessUp, "C20", 50, 40, nullptr},
    {"VOL + (C09)", controls::kVolumeUp, "C09", 250, 20, nullptr},
    {"SELECT (C3F)", controls::kSelect, "C3F", 500, 10, nullptr},
};

// STATUS as a marker: once the simulator has logged it, it has logged every frame sent before.
bool flush(PanelDriver& panel, const test::FrameLogReader& log) {
    const std::size_t before = log.count("CR0");
    panel.press(controls::kStatus);
    panel.release(controls::kStatus);
    return PanelDriver::waitFor([&] { return log.count("CR0") > before; });
}

}  // namespace

int MeasureHolds(const QString& com1, const QString& logPath) {
    PanelDriver panel(com1);
    if (!panel.ready() || !panel.openFullPanel()) {
        std::fprintf(stderr, "panel-measure: the panel did not come up on %s\n", qPrintable(com1));
        return 1;
    }
    const test::FrameLogReader log(logPath.toStdString());

    std::printf("Repeat while held: intervals between frames as the simulator read them\n");
    std::printf("  %-26s %8s %7s %5s %10s %10s %10s  %s\n", "hold", "nominal", "frames", "1+n",
                "median", "p99", "max", "goal");
    for (const HoldKind& kind : kKinds) {
        if (kind.setUpButton) {
            panel.press(kind.setUpButton);
            panel.release(kind.setUpButton);
        }
        const std::size_t before = log.count(kind.code);
        panel.hold(kind.button,
                   std::chrono::milliseconds{kind.periods * kind.periodMs + kind.periodMs / 2});
        // Two more periods of the slowest kind: a repeat that outlived the release counts too.
        PanelDriver::waitFor([] { return false; }, 1100);
        if (!flush(panel, log)) {
            std::fprintf(stderr, "panel-measure: the simulator stopped logging\n");
            return 1;
        }
        std::vector<std::int64_t> times = log.times(kind.code);
        times.erase(times.begin(), times.begin() + static_cast<std::ptrdiff_t>(before));

        // The release is taken in due order with the ticks, so even a late one ends the hold after
        // exactly n periods; fewer frames mean ticks dropped because they came too late.
        const long expected = 1 + kind.periods;
        std::vector<double> intervalsMs;
        for (std::size_t i = 1; i < times.size(); ++i)
            intervalsMs.push_back(static_cast<double>(times[i] - times[i - 1]) / 1000.0);
        const Summary s = Summarize(intervalsMs);

        const long off = static_cast<long>(times.size()) - expected;
        std::string goal = off == 0 ? "count exact" : "count off by " + std::to_string(off);
        if (kind.periodMs == 5) {
            goal += std::abs(s.median - kind.periodMs) <= 0.5 ? ", median met" : ", median NOT met";
            goal += std::abs(s.p99 - kind.periodMs) <= 2.0 ? ", p99 met" : ", p99 NOT met";
        }
        std::printf("  %-26s %5d ms %7zu %5ld %7.3f ms %7.3f ms %7.3f ms  %s\n", kind.label,
                    kind.periodMs, times.size(), expected, s.median, s.p99, s.max, goal.c_str());
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace panel::measure
