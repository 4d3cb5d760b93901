// The seeded random operator: what it means to do next, drawn from the seed alone, so that a seed
// replays the same operations whatever the window and the simulators do in between.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "tools/soak/soak_random.h"

namespace panel::soak {

enum class OpKind { Click, Hold, Manual, Port, Speed, Panel };
inline constexpr int kOpKinds = 6;

enum class PanelAction { KeyChord, LogoDoubleClick, Command34, Cls };

struct Op {
    OpKind kind = OpKind::Click;
    std::string control;  // Click, Hold: the button's objectName
    int holdMs = 0;       // Hold: from a tap to 2 s
    std::string text;     // Manual: one byte a character (Latin-1), never CR or LF
    bool paste = false;   // Manual: pasted rather than typed (always for unprintable bytes)
    int port = 1;         // Port: 1 or 2
    int baud = 19200;     // Speed: 19200 or 9600
    PanelAction panel = PanelAction::KeyChord;
    int pauseMs = 0;  // the operator's pause after the operation
};

const char* KindName(OpKind kind);
// One line for the failure report: "hold Command1 740 ms", "manual \"CR0\" typed"...
std::string Describe(const Op& op);

class OperatorScript {
public:
    explicit OperatorScript(std::uint64_t seed) : random_(seed) {}
    Op next();

    // Characters that a line edit takes from the keyboard; the others can only be pasted.
    static bool typeable(unsigned char c);

private:
    OpKind kind();
    // The operation's own draws, after its kind.
    void fill(Op& op);
    template <typename Row>
    std::string button(std::span<const Row> rows);
    std::string manualText();

    SoakRandom random_;
};

}  // namespace panel::soak
