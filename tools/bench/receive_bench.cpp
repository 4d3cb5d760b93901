// The receive path: one receive event (read, append to RecvData, trace into Label12, decode into
// Label22) at every RecvData size the 16-bit count allows, and a whole window of one-character
// blocks.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <string_view>

#include "core/controller.h"
#include "tools/bench/bench_rig.h"

namespace panel::bench {
namespace {

using Clock = std::chrono::steady_clock;

// Receive events timed together, so that reading the clock stays out of the figure. RecvData grows
// by one character an event: a run at size N measures sizes N to N + kBatch - 1.
constexpr std::size_t kBatch = 64;

// What the projector sends, repeated as needed. A status answer keeps every decoder's work fixed;
// an endless number makes the pressure decoder read the whole trace; any text makes "CR9" copy it.
constexpr std::string_view kStatusReply = "00\r";
constexpr std::string_view kPressureReply = "512\r";
constexpr std::string_view kDigits = "5";

void ReceiveOneCharacter(benchmark::State& state, std::string_view query, std::string_view reply) {
    const auto held = static_cast<std::size_t>(state.range(0));
    BenchRig rig;
    const std::string text = Repeat(reply, held + kBatch);
    std::string block(1, '\0');
    for (auto _ : state) {
        rig.startExchange(query);
        rig.fill(held, reply);
        const auto start = Clock::now();
        for (std::size_t i = held; i < held + kBatch; ++i) {
            block[0] = text[i];
            rig.port.receive(block);
        }
        const auto elapsed = Clock::now() - start;
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
    }
    const double chars = static_cast<double>(state.iterations() * kBatch);
    state.SetItemsProcessed(state.iterations() * kBatch);
    state.counters["per_char"] = PerItem(chars);
    state.counters["RecvData"] = static_cast<double>(rig.controller.state().RecvData.size());
    state.counters["Label12"] =
        static_cast<double>(rig.controller.caption(LabelId::ReceivedTrace).size());
}

// A reply window of single characters from empty: the most receive events one window can hold.
void WholeWindowOfSingleCharacters(benchmark::State& state, std::string_view query,
                                   std::string_view reply) {
    BenchRig rig;
    const std::string text = Repeat(reply, kRecvDataLimit);
    std::string block(1, '\0');
    for (auto _ : state) {
        rig.startExchange(query);
        const auto start = Clock::now();
        for (char c : text) {
            block[0] = c;
            rig.port.receive(block);
        }
        const auto elapsed = Clock::now() - start;
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
    }
    if (rig.controller.state().RecvData.size() != kRecvDataLimit)
        state.SkipWithError("RecvData did not reach its limit");
    const double chars = static_cast<double>(state.iterations() * kRecvDataLimit);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kRecvDataLimit));
    state.counters["per_char"] = PerItem(chars);
}

// From 1 to the most RecvData can hold. At 32767 it is full: each character is dropped, but the
// event still brings Label12 and Label22 up to date.
void Sizes(benchmark::internal::Benchmark* b) {
    b->RangeMultiplier(8)->Range(1, static_cast<int>(kRecvDataLimit));
    b->UseManualTime()->Unit(benchmark::kMicrosecond);
}

BENCHMARK_CAPTURE(ReceiveOneCharacter, CR0_status, "CR0", kStatusReply)->Apply(Sizes);
BENCHMARK_CAPTURE(ReceiveOneCharacter, CR9_raw, "CR9", kStatusReply)->Apply(Sizes);
BENCHMARK_CAPTURE(ReceiveOneCharacter, CR_PRESSURE_reply, "CR PRESSURE", kPressureReply)
    ->Apply(Sizes);
BENCHMARK_CAPTURE(ReceiveOneCharacter, CR_PRESSURE_all_digits, "CR PRESSURE", kDigits)
    ->Apply(Sizes);
BENCHMARK_CAPTURE(ReceiveOneCharacter, C00_no_decoder, "C00", kStatusReply)->Apply(Sizes);

BENCHMARK_CAPTURE(WholeWindowOfSingleCharacters, CR0_status, "CR0", kStatusReply)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WholeWindowOfSingleCharacters, CR9_raw, "CR9", kStatusReply)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WholeWindowOfSingleCharacters, CR_PRESSURE_reply, "CR PRESSURE", kPressureReply)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WholeWindowOfSingleCharacters, CR_PRESSURE_all_digits, "CR PRESSURE", kDigits)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace panel::bench
