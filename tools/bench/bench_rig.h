// A loaded controller over the fake port, virtual clock and a counting view, ready to be timed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <benchmark/benchmark.h>

#include "testkit/controller_rig.h"
#include "tools/bench/counting_view.h"

namespace panel::bench {

class BenchRig : public test::ControllerRig<CountingView> {
public:
    BenchRig();

    // Sends `code` as the last frame, then closes its reply window, so that RecvData is empty and
    // the next received characters are decoded against `code`.
    void startExchange(std::string_view code);
    // Fills RecvData with `count` characters of `pattern` in one received block.
    void fill(std::size_t count, std::string_view pattern);
};

// `count` characters repeating `pattern`.
std::string Repeat(std::string_view pattern, std::size_t count);

// Time per item, from the benchmark's own or manual time: shown as e.g. "74.2ns".
inline benchmark::Counter PerItem(double items) {
    return benchmark::Counter(items, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace panel::bench
