#include "tools/soak/operator_script.h"

#include <array>
#include <numeric>
#include <span>
#include <string_view>

#include "core/catalogue.h"

namespace panel::soak {
namespace {

// Weights of the operation kinds, in OpKind order; a draw below their sum picks one.
constexpr std::array<int, kOpKinds> kWeights{36, 20, 12, 8, 7, 17};
constexpr int kWeightTotal = std::accumulate(kWeights.begin(), kWeights.end(), 0);

// Typed commands worth sending now and then: their replies are decoded.
constexpr std::array<std::string_view, 7> kKnownCommands{"CR0", "CR9",         "CRA", "CR3",
                                                         "CR6", "CR PRESSURE", "cr0"};

std::string escapeForReport(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f && byte != '"' && byte != '\\') {
            out += c;
        } else {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xf];
        }
    }
    return out;
}

}  // namespace

const char* KindName(OpKind kind) {
    switch (kind) {
        case OpKind::Click:
            return "click";
        case OpKind::Hold:
            return "hold";
        case OpKind::Manual:
            return "manual send";
        case OpKind::Port:
            return "port";
        case OpKind::Speed:
            return "speed";
        case OpKind::Panel:
            break;
    }
    return "data panel";
}

std::string Describe(const Op& op) {
    switch (op.kind) {
        case OpKind::Click:
            return "click " + op.control;
        case OpKind::Hold:
            return "hold " + op.control + " " + std::to_string(op.holdMs) + " ms";
        case OpKind::Manual:
            return "manual \"" + escapeForReport(op.text) + "\" " + (op.paste ? "pasted" : "typed");
        case OpKind::Port:
            return "select COM" + std::to_string(op.port);
        case OpKind::Speed:
            return "select " + std::to_string(op.baud);
        case OpKind::Panel:
            break;
    }
    static constexpr std::array<const char*, 4> kPanel{"Ctrl+J", "double-click Image1",
                                                       "click Command34", "click CLS"};
    return kPanel[static_cast<std::size_t>(op.panel)];
}

bool OperatorScript::typeable(unsigned char c) {
    // Control characters (C1 included) and the soft hyphen are not printable.
    return (c >= 0x20 && c < 0x7f) || (c >= 0xa0 && c != 0xad);
}

std::string OperatorScript::manualText() {
    if (random_.chance(0.3))
        return std::string(kKnownCommands[static_cast<std::size_t>(
            random_.below(static_cast<int>(kKnownCommands.size())))]);
    const int length = random_.between(0, 12);
    std::string text;
    for (int i = 0; i < length; ++i) {
        // Half printable ASCII, half bytes 128 to 255.
        const int c = random_.chance(0.5) ? random_.between(0x20, 0x7e) : random_.between(128, 255);
        text += static_cast<char>(c);
    }
    // A hold's code typed by hand would be indistinguishable from its repeats in the frame log.
    for (const HoldRow& row : HoldCatalogue())
        if (row.code == text) text += 'x';
    return text;
}

OpKind OperatorScript::kind() {
    int draw = random_.below(kWeightTotal);
    int kind = 0;
    while (draw >= kWeights[static_cast<std::size_t>(kind)]) draw -= kWeights[kind++];
    return static_cast<OpKind>(kind);
}

template <typename Row>
std::string OperatorScript::button(std::span<const Row> rows) {
    return std::string(
        rows[static_cast<std::size_t>(random_.below(static_cast<int>(rows.size())))].button);
}

void OperatorScript::fill(Op& op) {
    switch (op.kind) {
        case OpKind::Click:
            op.control = button(OneShotCatalogue());
            break;
        case OpKind::Hold:
            op.control = button(HoldCatalogue());
            op.holdMs = random_.chance(0.25) ? random_.between(0, 40) : random_.between(41, 2000);
            break;
        case OpKind::Manual: {
            op.text = manualText();
            bool typeableText = true;
            for (const char c : op.text) typeableText &= typeable(static_cast<unsigned char>(c));
            op.paste = !typeableText || random_.chance(0.3);
            break;
        }
        case OpKind::Port:
            op.port = random_.between(1, 2);
            break;
        case OpKind::Speed:
            op.baud = random_.chance(0.5) ? 19200 : 9600;
            break;
        case OpKind::Panel:
            op.panel = static_cast<PanelAction>(random_.below(4));
            break;
    }
}

Op OperatorScript::next() {
    Op op;
    op.kind = kind();
    fill(op);
    op.pauseMs = random_.chance(0.2) ? random_.between(300, 1500) : random_.between(0, 250);
    return op;
}

}  // namespace panel::soak
