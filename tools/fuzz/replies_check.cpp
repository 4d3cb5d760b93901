// The reply decoders' fuzz properties.
#include <array>
#include <cmath>
#include <cstring>
#include <exception>
#include <optional>
#include <string_view>

#include "core/replies.h"
#include "core/trace.h"
#include "tools/fuzz/byte_reader.h"
#include "tools/fuzz/checks.h"

namespace panel::fuzz {
namespace {

// The prefix width each table decoder compares; 0 for the decoders that test nothing.
std::size_t TableWidth(std::string_view query) {
    if (query == "CR1") return 2;
    if (query == "CR0" || query == "CR4" || query == "CRA" || query == "CR7") return 4;
    return 0;
}

// Positions count from 1; what of the range exists.
std::string Piece(std::string_view trace, std::size_t first, std::size_t count) {
    if (trace.size() < first) return {};
    return std::string(trace.substr(first - 1, count));
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

std::string WithoutBlanks(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (!IsBlank(c)) out += c;
    }
    return out;
}

// A short optionally signed decimal integer and nothing else, or followed by a CR.
std::optional<long> ShortInteger(std::string_view raw) {
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    std::size_t start = !raw.empty() && (raw[0] == '+' || raw[0] == '-') ? 1 : 0;
    if (raw.size() == start || raw.size() - start > 6) return std::nullopt;
    long value = 0;
    for (std::size_t i = start; i < raw.size(); ++i) {
        if (raw[i] < '0' || raw[i] > '9') return std::nullopt;
        value = value * 10 + (raw[i] - '0');
    }
    return raw[0] == '-' ? -value : value;
}

std::string CheckPressure(double reading) {
    const std::optional<Pressure> p = PressureFromReading(reading);
    const double rounded = std::nearbyint(reading);
    const bool carried = std::isfinite(rounded) && rounded >= -6553 && rounded <= 6553;
    if (p.has_value() != carried)
        return "PressureFromReading carried a reading it must not, or not one it must";
    if (!p) return {};
    if (p->reading != rounded) return "PressureValue is not the rounded reading";
    const double hpa = (p->reading * 5 / 1024.0 - 0.204) / 0.00459 + 150;
    if (p->hpa != std::nearbyint(hpa)) return "the pressure is not the documented formula";
    if (p->hpa < -6865 || p->hpa > 7077) return "the pressure lies outside -6865 to 7077";
    return {};
}

std::string CheckDecoded(std::string_view query, std::string_view sendData, std::string_view prefix,
                         std::string_view trace, const Decoded& d) {
    if (query.empty()) {
        if (d.caption || d.pressureValue) return "a decoder applied to a frame of no query";
        return {};
    }
    if (query != "CR PRESSURE" && d.pressureValue)
        return "PressureValue set by " + std::string(query);
    if (const std::size_t width = TableWidth(query)) {
        // A table decoder reads only its prefix.
        const Decoded again = DecodeReply(sendData, prefix, trace.substr(0, width));
        if (again.caption != d.caption) return std::string(query) + " read beyond its prefix";
        if (!d.caption) return {};
        const std::string_view code = trace.substr(0, width);
        for (std::size_t i = 0; i < code.size(); ++i) {
            const char c = code[i];
            const bool ok = i % 2 == 0 ? c == ' ' : (c >= '0' && c <= '9') || c == 'F';
            if (!ok || code.size() != width)
                return std::string(query) + " matched a code of no documented shape";
        }
        if (d.caption->empty() ||
            ((*d.caption)[0] != ' ' && *d.caption != "Cooling down  PWR Management"))
            return std::string(query) + " set a caption of no documented form";
        return {};
    }
    if (query == "CR PRESSURE" && !d.caption) {
        // A reading the 16-bit steps cannot carry leaves the label alone, and only that.
        if (PressureFromReading(ReadNumber(trace))) return "CR PRESSURE set no caption";
        return d.pressureValue ? "CR PRESSURE set PressureValue without a caption" : "";
    }
    if (!d.caption) return std::string(query) + " set no caption";
    if (query == "CR3") {
        if (*d.caption != std::string(trace.substr(0, 38)) + " Hour Use")
            return "CR3 caption wrong";
    } else if (query == "CR6") {
        const std::string expected = "  S1=" + Piece(trace, 1, 10) +
                                     " C  ,   S2= " + Piece(trace, 15, 8) +
                                     " C , S3=" + Piece(trace, 25, 10) + " C";
        if (*d.caption != expected) return "CR6 caption wrong";
    } else if (query == "CR9") {
        if (*d.caption != trace) return "CR9 caption is not the trace";
    } else if (query == "CR PRESSURE") {
        // Out of range leaves both as they were; otherwise both are set and agree.
        if (!d.pressureValue) return "CR PRESSURE set a caption without PressureValue";
        if (*d.caption != std::to_string(*d.pressureValue) + " hPa")
            return "CR PRESSURE caption is not PressureValue and \" hPa\"";
    }
    return {};
}

}  // namespace

std::string CheckReplies(std::span<const std::uint8_t> data) {
    ByteReader in(data);
    const std::uint8_t choice = in.byte();
    const std::string prefix = in.bytes(in.byte() % 4);
    std::string_view query;
    std::string sendData;
    if (choice % 16 < kQueries.size()) {
        query = kQueries[choice % 16];
        sendData = prefix + std::string(query) + "\r";
    } else {
        sendData = in.bytes(in.byte() % 16);  // any frame, a query's or not
        for (std::string_view q : kQueries) {
            if (sendData == prefix + std::string(q) + "\r") query = q;
        }
    }
    double reading = 0;
    const std::string raw8 = in.bytes(sizeof reading);
    if (raw8.size() == sizeof reading) std::memcpy(&reading, raw8.data(), sizeof reading);
    const bool rendered = choice & 0x80;  // else the trace is any text at all
    const std::string raw = in.rest();
    const std::string trace = rendered ? RenderTrace(raw) : raw;

    try {
        const Decoded d = DecodeReply(sendData, prefix, trace);
        if (std::string failure = CheckDecoded(query, sendData, prefix, trace, d); !failure.empty())
            return failure;
        if (d.pressureValue) {
            const auto p = PressureFromReading(ReadNumber(trace));
            if (!p || p->hpa != *d.pressureValue) return "CR PRESSURE disagrees with its steps";
        }

        const double number = ReadNumber(trace);
        if (std::isnan(number)) return "ReadNumber gave NaN";
        if (ReadNumber(WithoutBlanks(trace)) != number)
            return "ReadNumber does not skip blanks wherever they stand";
        if (rendered) {
            if (auto expected = ShortInteger(raw); expected && number != *expected)
                return "ReadNumber misread a short integer reply";
        }
        if (std::string failure = CheckPressure(number); !failure.empty()) return failure;
        if (std::string failure = CheckPressure(reading); !failure.empty()) return failure;
    } catch (const std::exception& e) {
        return std::string("exception: ") + e.what();
    }
    return {};
}

}  // namespace panel::fuzz
