// The trace renderer's fuzz properties.
#include <string_view>

#include "core/trace.h"
#include "tools/fuzz/byte_reader.h"
#include "tools/fuzz/checks.h"

namespace panel::fuzz {
namespace {

// The token table read literally, first test that holds wins: an oracle independent of the
// renderer's precomputed table.
std::string Token(unsigned char c) {
    if (c == 6) return "ACK ";
    if (c == 20) return "&";
    if (c == 13) return "CR ";
    if (c == 10) return "LF ";
    if (c < 32) return "? ";
    if (c <= 122) return {static_cast<char>(c), ' '};
    return "? ";
}

std::string Tokens(std::string_view text) {
    std::string out;
    for (char c : text) out += Token(static_cast<unsigned char>(c));
    return out;
}

}  // namespace

std::string CheckTrace(std::span<const std::uint8_t> data) {
    ByteReader in(data);
    // The first byte says how the rest is cut: pieces of 0 to 2^k - 1 bytes, each length read
    // from the input before its piece.
    const unsigned bits = in.byte() % 9;
    std::string whole;
    std::string incremental = " ";
    std::size_t pieces = 0;
    while (!in.empty()) {
        const std::size_t length = bits == 0 ? 1 : in.word() & ((1u << bits) - 1);
        const std::string piece = in.bytes(length);
        const std::size_t before = incremental.size();
        AppendTrace(incremental, piece);
        if (std::string_view(incremental).substr(before) != Tokens(piece))
            return "AppendTrace of piece " + std::to_string(pieces) + " appended the wrong tokens";
        whole += piece;
        ++pieces;
    }
    const std::string rendered = RenderTrace(whole);
    std::string expected = " ";  // appended, not " " + ...: GCC 12 warns falsely on the latter
    expected += Tokens(whole);
    if (rendered != expected) return "RenderTrace differs from the token table";
    if (incremental != rendered)
        return "AppendTrace over " + std::to_string(pieces) + " pieces differs from RenderTrace";

    // Positions: the k-th character of a text of codes 32 to 122 stands at trace position 2k.
    bool plain = true;
    for (char c : whole) plain = plain && c >= 32 && c <= 122;
    if (plain) {
        if (rendered.size() != 1 + 2 * whole.size()) return "plain text trace has the wrong length";
        for (std::size_t k = 1; k <= whole.size(); ++k) {
            if (rendered[2 * k - 1] != whole[k - 1] || rendered[2 * k - 2] != ' ')
                return "plain character " + std::to_string(k) + " is not at position 2k";
        }
    }
    return {};
}

}  // namespace panel::fuzz
