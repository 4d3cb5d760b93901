// The send path: a frame written to the port and traced into Label11, and a 5 ms repeat period.
#include <benchmark/benchmark.h>

#include <stdexcept>

#include "testkit/controls.h"
#include "tools/bench/bench_rig.h"

namespace panel::bench {
namespace {

using namespace std::chrono_literals;

// The fake port keeps every write; it is emptied now and then, outside the figure's main cost.
constexpr int kWritesKept = 4096;

void SendC00(benchmark::State& state) {
    BenchRig rig;
    int kept = 0;
    for (auto _ : state) {
        rig.controller.SendCommand("C00");
        if (++kept == kWritesKept) {
            rig.port.clearWrites();
            kept = 0;
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["per_send"] = PerItem(static_cast<double>(state.iterations()));
}
BENCHMARK(SendC00);

// A D.Zoom release leaves Timer1 at 5 ms and ArrowMode 3; an arrow held after it repeats every
// 5 ms with a 5 ms reply window and clearing delay. One iteration is one such period: the Timer1
// tick with its send and the Timer2 and Timer4 ticks.
void FiveMillisecondRepeatPeriod(benchmark::State& state) {
    BenchRig rig;
    rig.controller.press(controls::kZoomUp);
    rig.controller.release(controls::kZoomUp);
    rig.controller.press(controls::kArrowUp);
    if (rig.timers.repeat.interval() != 5ms || !rig.timers.repeat.isEnabled())
        throw std::logic_error("Timer1 is not repeating every 5 ms");
    int kept = 0;
    for (auto _ : state) {
        rig.clock.advance(5ms);
        if (++kept == kWritesKept) {
            rig.port.clearWrites();
            kept = 0;
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["per_period"] = PerItem(static_cast<double>(state.iterations()));
}
BENCHMARK(FiveMillisecondRepeatPeriod);

}  // namespace
}  // namespace panel::bench
