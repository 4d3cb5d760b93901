#include "core/trace.h"

#include <array>

namespace panel {
namespace {

constexpr unsigned char kAck = 6;
constexpr unsigned char kLf = 10;
constexpr unsigned char kCr = 13;
constexpr unsigned char kDc4 = 20;

// The token of every code, built once: the receive path runs this per character.
struct TokenTable {
    std::array<std::string_view, 256> token{};
    std::array<char, 256 * 2> printable{};

    TokenTable() {
        for (int c = 0; c < 256; ++c) {
            if (c == kAck) {
                token[c] = "ACK ";
            } else if (c == kDc4) {
                token[c] = "&";
            } else if (c == kCr) {
                token[c] = "CR ";
            } else if (c == kLf) {
                token[c] = "LF ";
            } else if (c >= 32 && c <= 122) {
                printable[2 * c] = static_cast<char>(c);
                printable[2 * c + 1] = ' ';
                token[c] = std::string_view(&printable[2 * c], 2);
            } else {
                token[c] = "? ";
            }
        }
    }
};

const TokenTable& tokens() {
    static const TokenTable table;
    return table;
}

}  // namespace

void AppendTrace(std::string& trace, std::string_view text) {
    const auto& table = tokens().token;
    for (char c : text) trace += table[static_cast<unsigned char>(c)];
}

std::string RenderTrace(std::string_view text) {
    std::string trace;
    trace.reserve(1 + 2 * text.size());
    trace.push_back(' ');
    AppendTrace(trace, text);
    return trace;
}

}  // namespace panel
