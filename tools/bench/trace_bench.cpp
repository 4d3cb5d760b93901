// RenderTrace on its own, on a text that uses every kind of token.
#include <benchmark/benchmark.h>

#include <string>

#include "core/trace.h"
#include "tools/bench/bench_rig.h"

namespace panel::bench {
namespace {

// Every byte value in turn: one-byte, two-byte, three-byte and four-byte tokens alike.
std::string EveryByte(std::size_t count) {
    std::string text(count, '\0');
    for (std::size_t i = 0; i < count; ++i) text[i] = static_cast<char>(i % 256);
    return text;
}

void RenderTraceAlone(benchmark::State& state) {
    const std::string text = EveryByte(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::string trace = RenderTrace(text);
        benchmark::DoNotOptimize(trace.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["per_char"] = PerItem(static_cast<double>(state.iterations() * state.range(0)));
}
BENCHMARK(RenderTraceAlone)->Arg(1)->Arg(100)->Arg(32767);

}  // namespace
}  // namespace panel::bench
