#include "core/replies.h"

#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <span>

namespace panel {
namespace {

struct Row {
    std::string_view code;
    std::string_view caption;
};

constexpr std::array kStatusRows{
    Row{" 0 0", " Power ON"},
    Row{" 8 0", " Stand by"},
    Row{" 4 0", " Count down"},
    Row{" 2 0", " Cooling down"},
    Row{" 1 0", " Power Fail"},
    Row{" 0 8", " Temperature Warning"},
    Row{" 0 2", " NO Key input "},
    Row{" 0 4", " Lamp OFF by PWR Management"},
    Row{" 2 8", " Temperature Warning & cooling down"},
    Row{" 2 4", "Cooling down  PWR Management"},
    Row{" 8 8", " Temperature Warning and recoverd"},
    Row{" 2 1", " Cooling down (All Lamp FAIL)"},
    Row{" 8 1", " Cooling down & sutandby (All Lamp FAIL)"},
};

constexpr std::array kInputRows{
    Row{" 1", " Computer 1"},
    Row{" 2", " Computer 2"},
    Row{" 3", " Video"},
    Row{" 4", " Input mode 4"},
};

constexpr std::array kReversalRows{
    Row{" 1 1", " Normally"},
    Row{" 1 0", " Top/Bottom reversal"},
    Row{" 0 1", " Left/Right reversal"},
    Row{" 0 0", " Top/Bottom , Left/Right reversal"},
};

constexpr std::array kMuteRows{
    Row{" 0 0", " Video & Audio mute OFF"},
    Row{" 0 1", " Video mute ON"},
    Row{" 0 2", " Audio mute ON"},
    Row{" 0 3", " Video & Audio mute ON"},
    Row{" 8 0", " No signal"},
    Row{" F F", " Stand by"},
};

constexpr std::array kLampModeRows{
    Row{" 0 0", " LAMP OFF"},
    Row{" 0 1", " LAMP ON"},
    Row{" 0 2", " No2 ON  : 2 Lamp mode"},
    Row{" 0 3", " No1,2 ON  : 2 Lamp mode"},
    Row{" 1 0", " All OFF : 1 Lamp mode(No1 USE)"},
    Row{" 1 1", " No1 ON  : 1 Lamp mode(No1 USE)"},
    Row{" 2 0", " All OFF : 1 Lamp mode(No2 USE)"},
    Row{" 2 2", " No2 ON  : 1 Lamp mode(No2 USE)"},
};

// Positions count from 1; what of the range exists, nothing when the trace ends before it.
std::string_view Piece(std::string_view trace, std::size_t first, std::size_t last) {
    if (trace.size() < first) return {};
    return trace.substr(first - 1, last - first + 1);
}

// Every row is its own test on the same prefix; the codes are distinct, so at most one sets.
void MatchTable(std::span<const Row> rows, std::size_t width, std::string_view trace,
                Decoded& out) {
    const std::string_view prefix = trace.substr(0, width);
    for (const Row& row : rows) {
        if (prefix == row.code) out.caption = std::string(row.caption);
    }
}

void LampHours(std::string_view trace, Decoded& out) {
    out.caption = std::string(trace.substr(0, 38)) + " Hour Use";
}

void Temperatures(std::string_view trace, Decoded& out) {
    std::string text = "  S1=";
    text += Piece(trace, 1, 10);
    text += " C  ,   S2= ";
    text += Piece(trace, 15, 22);
    text += " C , S3=";
    text += Piece(trace, 25, 34);
    text += " C";
    out.caption = std::move(text);
}

void Raw(std::string_view trace, Decoded& out) {
    out.caption = std::string(trace);
}

void PressureReply(std::string_view trace, Decoded& out) {
    // A reading the 16-bit steps cannot carry leaves Label22 and PressureValue as they were.
    if (auto p = PressureFromReading(ReadNumber(trace))) {
        out.pressureValue = p->hpa;
        out.caption = std::to_string(p->hpa) + " hPa";
    }
}

struct Decoder {
    std::string_view query;
    std::span<const Row> rows;  // table decoders
    std::size_t width = 0;      // prefix compared by a table decoder
    void (*decode)(std::string_view trace, Decoded& out) = nullptr;  // the others
};

// In the order they run on every received block.
const std::array kDecoders{
    Decoder{"CR0", kStatusRows, 4},      Decoder{"CR1", kInputRows, 2},
    Decoder{"CR4", kReversalRows, 4},    Decoder{"CR3", {}, 0, LampHours},
    Decoder{"CR6", {}, 0, Temperatures}, Decoder{"CRA", kMuteRows, 4},
    Decoder{"CR9", {}, 0, Raw},          Decoder{"CR PRESSURE", {}, 0, PressureReply},
    Decoder{"CR7", kLampModeRows, 4},
};

// SendData equals CmdPrefix & query & CR exactly.
bool IsQueryFrame(std::string_view sendData, std::string_view prefix, std::string_view query) {
    return sendData.size() == prefix.size() + query.size() + 1 && sendData.starts_with(prefix) &&
           sendData.substr(prefix.size(), query.size()) == query && sendData.back() == '\r';
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 99;
}

class NumberReader {
public:
    explicit NumberReader(std::string_view text) : text_(text) {}

    double read() {
        if (peek() == '&') {
            ++pos_;
            const char kind = peek();
            if (kind == 'H' || kind == 'h') return radix(16);
            if (kind == 'O' || kind == 'o') return radix(8);
            return 0;
        }
        return decimal();
    }

private:
    // The next character that is not a blank, or 0 at the end.
    char peek() {
        while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
        return pos_ < text_.size() ? text_[pos_] : '\0';
    }

    double radix(int base) {
        ++pos_;
        double value = 0;
        for (int d; (d = DigitValue(peek())) < base; ++pos_) value = value * base + d;
        return value;
    }

    // Sign, digits and at most one point, copied into `number` for the conversion.
    struct Mantissa {
        std::string number;
        bool digits = false;
        // The power of ten of the first significant digit, plus one: 3 for "512", 0 for ".5",
        // -2 for ".005". Only meaningful when a digit other than 0 was read.
        long long magnitude = 0;
        bool nonZero = false;
    };

    double decimal() {
        Mantissa m = mantissa();
        if (!m.digits) return 0;
        const std::optional<long long> e = exponent();
        if (e) m.number += 'e' + std::to_string(*e);
        return convert(m, e.value_or(0));
    }

    Mantissa mantissa() {
        Mantissa m;
        const char sign = peek();
        if (sign == '+' || sign == '-') {
            if (sign == '-') m.number += '-';
            ++pos_;
        }
        bool point = false;
        for (char c; (c = peek()) != '\0'; ++pos_) {
            if (c >= '0' && c <= '9') {
                m.digits = true;
                // Zeros after the point and before any significant digit lower the magnitude.
                if (!m.nonZero && c == '0' && point) --m.magnitude;
                m.nonZero = m.nonZero || c != '0';
                if (!point && m.nonZero) ++m.magnitude;
                m.number += c;
            } else if (c == '.' && !point) {
                point = true;
                m.number += c;
            } else {
                break;
            }
        }
        return m;
    }

    // "E", "e", "D" or "d", an optional sign and digits; a letter with no digits ends the number
    // and is left unread.
    std::optional<long long> exponent() {
        const char e = peek();
        if (e != 'E' && e != 'e' && e != 'D' && e != 'd') return std::nullopt;
        const std::size_t mark = pos_;
        ++pos_;
        bool negative = false;
        const char s = peek();
        if (s == '+' || s == '-') {
            negative = s == '-';
            ++pos_;
        }
        bool digits = false;
        long long value = 0;
        for (char c; (c = peek()) >= '0' && c <= '9'; ++pos_) {
            digits = true;
            if (value < 100000) value = value * 10 + (c - '0');
        }
        if (!digits) {
            pos_ = mark;
            return std::nullopt;
        }
        return negative ? -value : value;
    }

    static double convert(const Mantissa& m, long long exponent) {
        double value = 0;
        const auto [end, ec] =
            std::from_chars(m.number.data(), m.number.data() + m.number.size(), value);
        (void)end;
        if (ec == std::errc::result_out_of_range) {
            // Too large overflows to infinity; too small underflows to zero.
            const bool large = m.nonZero && m.magnitude + exponent > 0;
            value = large ? HUGE_VAL : 0.0;
            if (m.number.front() == '-') value = -value;
        }
        return value;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace

double ReadNumber(std::string_view text) {
    return NumberReader(text).read();
}

std::optional<Pressure> PressureFromReading(double reading) {
    const double rounded = std::nearbyint(reading);  // halves to the even neighbour
    if (!std::isfinite(rounded) || rounded < -6553 || rounded > 6553) return std::nullopt;
    const auto value = static_cast<std::int16_t>(rounded);
    // The reading is the count of a 10-bit converter on a 5 V reference, so count * 5 / 1024 is
    // the sensor's voltage; the sensor gives 0.204 V at 150 hPa and 4.59 mV more per hPa, and the
    // rest turns the voltage back into hPa. The product is 16-bit (hence the range above) and the
    // steps stay separate and in this order: floating point is not associative, and a reading on
    // a rounding edge must give the same hPa as it always has.
    const auto product = static_cast<std::int16_t>(value * 5);
    double hpa = product;
    hpa /= 1024;
    hpa -= 0.204;
    hpa /= 0.00459;
    hpa += 150;
    return Pressure{value, static_cast<std::int16_t>(std::nearbyint(hpa))};
}

Decoded DecodeReply(std::string_view sendData, std::string_view cmdPrefix, std::string_view trace) {
    Decoded out;
    for (const Decoder& d : kDecoders) {
        if (!IsQueryFrame(sendData, cmdPrefix, d.query)) continue;
        if (d.decode) {
            d.decode(trace, out);
        } else {
            MatchTable(d.rows, d.width, trace, out);
        }
    }
    return out;
}

std::optional<std::size_t> AnswerEnd(std::string_view sendData, std::string_view cmdPrefix,
                                     std::string_view received) {
    // CR, and ACK after it for a command: the characters that end an answer.
    static constexpr std::string_view kEnds{"\r\x06", 2};
    const bool query =
        sendData.starts_with(cmdPrefix) && sendData.substr(cmdPrefix.size()).starts_with("CR");
    const std::size_t end = received.find_first_of(query ? kEnds.substr(0, 1) : kEnds);
    if (end == std::string_view::npos) return std::nullopt;
    return end + 1;
}

}  // namespace panel
