// The properties each fuzz target checks on one input. Each returns the first property that does
// not hold, described, or an empty string. The ordinary tests replay kept inputs through them.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace panel::fuzz {

// The queries whose replies have decoders, which the reply and controller checks send.
constexpr std::array<std::string_view, 9> kQueries{"CR0", "CR1", "CR4",         "CR3", "CR6",
                                                   "CRA", "CR9", "CR PRESSURE", "CR7"};

// RenderTrace against a plain token-by-token rendering, and AppendTrace of the input cut into
// pieces against RenderTrace of the whole.
std::string CheckTrace(std::span<const std::uint8_t> data);

// DecodeReply for a query frame (or another frame) with a command prefix and a received trace,
// ReadNumber and PressureFromReading: nothing throws, and every caption has a documented form.
std::string CheckReplies(std::span<const std::uint8_t> data);

// The controller driven by a coded sequence of clicks, presses, releases, manual sends, received
// blocks, clock advances and port failures, with its invariants checked after every step.
std::string CheckController(std::span<const std::uint8_t> data);

// The Telnet/RFC 2217 client fed arbitrary server bytes, cut into reads: nothing crashes, no more
// data comes out than went in, and a well-formed stream's data bytes come out exactly.
std::string CheckTelnet(std::span<const std::uint8_t> data);

}  // namespace panel::fuzz
