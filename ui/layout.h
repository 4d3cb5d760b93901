// The window's layout as data: every control with its place, caption, colours and font, in twips.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace panel {

inline constexpr int kTwipsPerPixel = 15;  // 1440 twips an inch at 96 dots per inch

// Nearest whole pixel, halves away from zero.
constexpr int TwipsToPixels(int twips) {
    return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                      : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}

enum class ControlKind {
    Frame,       // plain rectangular box, no caption of its own
    Label,       // static text
    TraceLabel,  // a traffic label the controller writes
    Button,      // acts on a click
    HoldButton,  // acts on the mouse button's press and release, never on a click
    Option,      // option (radio) button, exclusive within its container
    TextBox,     // single-line text entry
    Picture,     // the logo
};

enum class FontFace {
    None,
    Fixed,         // "ＭＳ ゴシック"
    Proportional,  // "ＭＳ Ｐゴシック"
};

enum class TextAlign { Left, Centre, Right };

inline constexpr std::uint32_t kStandardColour = 0xFF000000;  // the platform's own colour
inline constexpr std::uint32_t kBlack = 0x000000;

struct ControlSpec {
    std::string_view name;
    ControlKind kind;
    std::string_view container;    // empty: the window's client area
    std::string_view caption;      // UTF-8
    int left, top, width, height;  // twips, from the container's top-left corner
    std::uint32_t background;      // 0xRRGGBB or kStandardColour
    std::uint32_t text;            // 0xRRGGBB or kStandardColour
    FontFace face;
    double points;
    bool bold;
    TextAlign align;
    bool boxed;     // single-line border
    bool visible;   // when the window is first shown
    bool selected;  // an option button selected when the window is first shown
    // What the control belongs to: a button's frame or column title (added to its accessible name
    // where captions repeat), or the label that names a traffic label or the text box.
    std::string_view group;
};

// A solid light-blue line 2 pixels wide, in client coordinates (twips).
struct LineSpec {
    std::string_view name;
    int x1, y1, x2, y2;
};

inline constexpr std::uint32_t kWindowColour = 0xC0C0C0;
inline constexpr std::uint32_t kLineColour = 0x8080FF;
inline constexpr int kLineWidthPixels = 2;
inline constexpr int kClientWidthTwips = 9495;
inline constexpr int kClientHeightTwips = 8730;
inline constexpr std::string_view kWindowCaption = "TOLM   ZR60K  CONTROL   Ver.1.40";

// Windows face names; other platforms substitute faces with Japanese glyphs.
inline constexpr std::string_view kFixedFace = "ＭＳ ゴシック";
inline constexpr std::string_view kProportionalFace = "ＭＳ Ｐゴシック";

// Command34's three captions.
inline constexpr std::string_view kShowDataCaption = "データを表示する";
inline constexpr std::string_view kHideDataCaption = "データを表示しない";
inline constexpr std::string_view kCloseCaption = "CLOSE";

// In creation order: a container comes before what it holds, and a later control is stacked above
// an earlier one.
std::span<const ControlSpec> Controls();
std::span<const LineSpec> Lines();
const ControlSpec* FindControl(std::string_view name);

}  // namespace panel
