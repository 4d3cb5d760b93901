// The printable trace of sent and received characters: a leading space, then one token a character.
#pragma once

#include <string>
#include <string_view>

namespace panel {

// Characters are 8-bit codes: each byte of `text` is one character (0 to 255).
std::string RenderTrace(std::string_view text);

// Appends the tokens of `text` to `trace` (no leading space): RenderTrace(a + b) equals
// RenderTrace(a) followed by AppendTrace of b, which lets a growing received text be traced
// incrementally.
void AppendTrace(std::string& trace, std::string_view text);

}  // namespace panel
