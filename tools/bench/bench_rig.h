// A loaded controller over the fake port, virtual clock and a counting view, ready to be timed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <benchmark/benchmark.h>

#include "core/controller.h"
#include "tests/support/fake_port.h"
#include "tests/support/virtual_clock.h"
#include "tools/bench/counting_view.h"

namespace panel::bench {

class BenchRig {
public:
    BenchRig();

    // Sends `code` as the last frame, then closes its reply window, so that RecvData is empty and
    // the next received characters are decoded against `code`.
    void startExchange(std::string_view code);
    // Fills RecvData with `count` characters of `pattern` in one received block.
    void fill(std::size_t count, std::string_view pattern);

    test::VirtualClock clock;
    test::FakeTimer& timer1 = clock.makeTimer("Timer1");
    test::FakeTimer& timer2 = clock.makeTimer("Timer2");
    test::FakeTimer& timer3 = clock.makeTimer("Timer3");
    test::FakeTimer& timer4 = clock.makeTimer("Timer4");
    test::FakePort port;
    CountingView view;
    Controller controller{port, Timers{timer1, timer2, timer3, timer4}, view};
};

// `count` characters repeating `pattern`.
std::string Repeat(std::string_view pattern, std::size_t count);

// Time per item, from the benchmark's own or manual time: shown as e.g. "74.2ns".
inline benchmark::Counter PerItem(double items) {
    return benchmark::Counter(items, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace panel::bench
