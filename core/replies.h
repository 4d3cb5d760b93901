// The reply decoders: each turns the received trace of an answer into the words shown in Label22.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace panel {

// What the decoders made of one received block.
struct Decoded {
    std::optional<std::string> caption;         // new caption of DecodedReply, if a decoder set one
    std::optional<std::int16_t> pressureValue;  // new PressureValue, pressure query only
};

// Runs every decoder in order against the last frame sent. `trace` is Label12's caption.
Decoded DecodeReply(std::string_view sendData, std::string_view cmdPrefix, std::string_view trace);

// Where the answer to the last frame sent ends in what came back since it was written (its length,
// the end byte included), or nothing while it has not ended. Every answer ends at its CR; an
// answer to a command (a code that is not a query "CR...") also ends at its ACK.
std::optional<std::size_t> AnswerEnd(std::string_view sendData, std::string_view cmdPrefix,
                                     std::string_view received);

// The number at the start of `text`, read as the pressure decoder reads it: blanks (space, TAB, LF)
// skipped wherever they stand, an optional sign, digits with at most one decimal point, an optional
// exponent (E or D), or an "&H" / "&O" integer. No digit gives 0. Not finite when out of range.
double ReadNumber(std::string_view text);

// The pressure shown for a reading, or nothing when the reading cannot be carried through the
// 16-bit steps (outside -6553 to 6553 after rounding, or not finite).
struct Pressure {
    std::int16_t reading;  // the rounded reading (PressureValue after the first rounding)
    std::int16_t hpa;      // the rounded pressure (PressureValue at the end)
};
std::optional<Pressure> PressureFromReading(double reading);

}  // namespace panel
