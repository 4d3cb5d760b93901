// Press to wire: the moment the sending mouse event is delivered to the window, against the moment
// the simulator read the frame's last byte, both on CLOCK_MONOTONIC.
#include <cstdio>
#include <vector>

#include "core/monotonic.h"
#include "testkit/controls.h"
#include "testkit/frame_log_reader.h"
#include "tools/measure/measurements.h"
#include "tools/measure/panel_driver.h"
#include "tools/measure/statistics.h"

namespace panel::measure {
namespace {

struct Sender {
    const char* label;
    const char* button;
    const char* code;
    bool sendsOnPress;  // a hold button sends on its press, a one-shot on the release of its click
};

constexpr Sender kSenders[] = {
    {"one-shot click: STATUS (CR0)", controls::kStatus, "CR0", false},
    {"hold press: VOL + (C09)", controls::kVolumeUp, "C09", true},
};

}  // namespace

int MeasurePressToWire(const QString& com1, const QString& logPath, int samples) {
    PanelDriver panel(com1);
    if (!panel.ready() || !panel.openFullPanel()) {
        std::fprintf(stderr, "panel-measure: the panel did not come up on %s\n", qPrintable(com1));
        return 1;
    }
    const test::FrameLogReader log(logPath.toStdString());

    std::printf(
        "Press to wire: the sending mouse event to the frame's last byte at the simulator\n");
    std::printf("  %-30s %7s %10s %10s %10s  %s\n", "event", "samples", "median", "p99", "max",
                "goal (2 ms)");
    for (const Sender& sender : kSenders) {
        std::vector<double> delaysMs;
        for (int i = 0; i < samples; ++i) {
            const std::size_t before = log.count(sender.code);
            std::int64_t sentAt = 0;
            if (sender.sendsOnPress) {
                sentAt = MonotonicMicros();
                panel.press(sender.button);
                // At once: well before the first repeat tick.
                panel.release(sender.button);
            } else {
                panel.press(sender.button);
                sentAt = MonotonicMicros();
                panel.release(sender.button);
            }
            if (!PanelDriver::waitFor([&] { return log.count(sender.code) > before; })) {
                std::fprintf(stderr, "panel-measure: frame %s never reached the simulator\n",
                             sender.code);
                return 1;
            }
            delaysMs.push_back(static_cast<double>(log.times(sender.code)[before] - sentAt) /
                               1000.0);
            // The reply comes and is shown before the next press, as between an operator's clicks.
            PanelDriver::waitFor([] { return false; }, 20);
        }
        const Summary s = Summarize(delaysMs);
        std::printf(
            "  %-30s %7zu %7.3f ms %7.3f ms %7.3f ms  %s\n", sender.label, s.count, s.median, s.p99,
            s.max,
            s.p99 <= 2.0 ? "met (p99)" : (s.median <= 2.0 ? "median met, p99 NOT" : "NOT met"));
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace panel::measure
