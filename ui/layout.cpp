#include "ui/layout.h"

#include <array>

#include "core/catalogue.h"

namespace panel {
namespace {

constexpr ControlKind Fr = ControlKind::Frame;
constexpr ControlKind Lb = ControlKind::Label;
constexpr ControlKind Tr = ControlKind::TraceLabel;
constexpr ControlKind Bt = ControlKind::Button;
constexpr ControlKind Hd = ControlKind::HoldButton;
constexpr ControlKind Op = ControlKind::Option;
constexpr ControlKind Tx = ControlKind::TextBox;
constexpr ControlKind Pi = ControlKind::Picture;

constexpr FontFace F = FontFace::Fixed;
constexpr FontFace P = FontFace::Proportional;
constexpr FontFace N = FontFace::None;

constexpr TextAlign L = TextAlign::Left;
constexpr TextAlign C = TextAlign::Centre;
constexpr TextAlign R = TextAlign::Right;

constexpr std::uint32_t STD = kStandardColour;
constexpr std::uint32_t GREY = kWindowColour;
constexpr std::uint32_t CYAN = 0xC0FFFF;
constexpr std::uint32_t GREEN = 0xC0FFC0;
constexpr std::uint32_t PINK = 0xFFC0C0;
constexpr std::uint32_t LAVENDER = 0xC0C0FF;
constexpr std::uint32_t TEAL = 0x00C0C0;
constexpr std::uint32_t PEACH = 0xFFE0C0;
constexpr std::uint32_t ORANGE = 0xFF8000;
constexpr std::uint32_t LORANGE = 0xFFC080;
constexpr std::uint32_t WHITE = 0xFFFFFF;
constexpr std::uint32_t BLACK = kBlack;
constexpr std::uint32_t RED = 0xFF0000;
constexpr std::uint32_t DARKRED = 0xC00000;

// A command button's caption and group: the catalogue's.
constexpr std::string_view CAT = {};

constexpr bool B = true;   // bold
constexpr bool r = false;  // regular
constexpr bool Y = true;
constexpr bool n = false;

// clang-format off
constexpr std::array kControls{
    //          name         kind container  caption              left  top  width height background text  face size bold align boxed visible selected group
    // Top row.
    ControlSpec{"Frame1",    Fr, "",        "",                   120,  240, 1695, 975, GREY,    BLACK,   N, 0,    r, L, n, Y, n, ""},
    ControlSpec{"Label1",    Lb, "Frame1",  "POWER",              240,  240, 1095, 255, GREY,    DARKRED, F, 9,    B, C, n, Y, n, ""},
    ControlSpec{"Command17", Bt, "Frame1",  CAT,                  120,  600,  615, 300, GREEN,   BLACK,   P, 9,    B, C, n, Y, n, CAT},
    ControlSpec{"Command18", Bt, "Frame1",  CAT,                  960,  600,  615, 300, PINK,    BLACK,   P, 9,    B, C, n, Y, n, CAT},
    ControlSpec{"Frame2",    Fr, "",        "",                  2040,  240, 3975, 975, GREY,    BLACK,   N, 0,    r, L, n, Y, n, ""},
    ControlSpec{"Label2",    Lb, "Frame2",  "INPUT MODE SET",    1080,  240, 1935, 255, GREY,    BLACK,   F, 9,    B, C, n, Y, n, ""},
    ControlSpec{"Command27", Bt, "Frame2",  CAT,                  120,  600,  495, 300, CYAN,    BLACK,   P, 9,    B, C, n, Y, n, CAT},
    ControlSpec{"Command28", Bt, "Frame2",  CAT,                  720,  600,  495, 300, CYAN,    BLACK,   P, 9,    B, C, n, Y, n, CAT},
    ControlSpec{"Command29", Bt, "Frame2",  CAT,                 1320,  600,  735, 300, CYAN,    BLACK,   P, 9,    B, C, n, Y, n, CAT},
    ControlSpec{"Command56", Bt, "Frame2",  CAT,                 2160,  600,  735, 300, CYAN,    BLACK,   F, 9,    B, C, n, Y, n, CAT},
    ControlSpec{"Command57", Bt, "Frame2",  CAT,                 3000,  600,  855, 300, CYAN,    BLACK,   F, 9,    B, C, n, Y, n, CAT},
    ControlSpec{"Frame6",    Fr, "",        "",                  6240,  240, 1695, 975, GREY,    BLACK,   N, 0,    r, L, n, Y, n, ""},
    ControlSpec{"Label7",    Lb, "Frame6",  "MENU",               360,  240,  975, 255, GREY,    BLACK,   F, 9,    B, C, n, Y, n, ""},
    ControlSpec{"Command23", Bt, "Frame6",  CAT,                  120,  600,  615, 300, GREEN,   BLACK,   P, 9,    B, C, n, Y, n, CAT},
    ControlSpec{"Command24", Bt, "Frame6",  CAT,                  960,  600,  615, 300, PINK,    BLACK,   P, 9,    B, C, n, Y, n, CAT},
    ControlSpec{"Image1",    Pi, "",        "",                  8160,  120, 1200, 390, STD,     STD,     N, 0,    r, L, n, Y, n, ""},
    // Second row.
    ControlSpec{"Frame3",    Fr, "",        "",                   120, 1440, 1695, 855, GREY,    BLACK,   N, 0,    r, L, n, Y, n, ""},
    ControlSpec{"Label4",    Lb, "Frame3",  "SOUND MUTE",         120,  195, 1455, 300, GREY,    BLACK,   F, 9,    B, C, n, Y, n, ""},
    ControlSpec{"Command19", Bt, "Frame3",  CAT,                  120,  480,  615, 300, GREEN,   BLACK,   P, 9,    B, C, n, Y, n, CAT},
    ControlSpec{"Command20", Bt, "Frame3",  CAT,                  960,  480,  615, 300, PINK,    BLACK,   P, 9,    B, C, n, Y, n, CAT},
    ControlSpec{"Frame4",    Fr, "",        "",                  2520, 1440, 1695, 855, GREY,    BLACK,   N, 0,    r, L, n, Y, n, ""},
    ControlSpec{"Label5",    Lb, "Frame4",  "NO SHOW",            360,  210, 1095, 285, GREY,    BLACK,   F, 9,    B, C, n, Y, n, ""},
    ControlSpec{"Command21", Bt, "Frame4",  CAT,                  120,  480,  615, 300, GREEN,   BLACK,   P, 9,    B, C, n, Y, n, CAT},
    ControlSpec{"Command22", Bt, "Frame4",  CAT,                  960,  480,  615, 300, PINK,    BLACK,   P, 9,    B, C, n, Y, n, CAT},
    ControlSpec{"Frame7",    Fr, "",        "",                  5040, 1440, 1695, 855, GREY,    BLACK,   N, 0,    r, L, n, Y, n, ""},
    ControlSpec{"Label8",    Lb, "Frame7",  "FREEZE",             240,  210, 1215, 285, GREY,    BLACK,   F, 9,    B, C, n, Y, n, ""},
    ControlSpec{"Command25", Bt, "Frame7",  CAT,                  120,  480,  615, 300, GREEN,   BLACK,   P, 9,    B, C, n, Y, n, CAT},
    ControlSpec{"Command26", Bt, "Frame7",  CAT,                  960,  480,  615, 300, PINK,    BLACK,   P, 9,    B, C, n, Y, n, CAT},
    ControlSpec{"Frame5",    Fr, "",        "",                  7440, 1440, 1815, 855, GREY,    BLACK,   N, 0,    r, L, n, Y, n, ""},
    ControlSpec{"Label6",    Lb, "Frame5",  "Screen Size",        120,  210, 1575, 285, GREY,    BLACK,   F, 9,    B, C, n, Y, n, ""},
    ControlSpec{"Command31", Bt, "Frame5",  CAT,                  120,  480,  855, 300, CYAN,    BLACK,   P, 9,    r, C, n, Y, n, CAT},
    ControlSpec{"Command32", Bt, "Frame5",  CAT,                 1080,  480,  615, 300, CYAN,    BLACK,   P, 9,    r, C, n, Y, n, CAT},
    // Cursor cross.
    ControlSpec{"Command5",  Hd, "",        CAT,                 1200, 2520,  855, 375, PEACH,   BLACK,   P, 9,    B, C, n, Y, n, CAT},
    ControlSpec{"Command9",  Hd, "",        CAT,                  240, 3000,  855, 375, PEACH,   BLACK,   P, 9,    B, C, n, Y, n, CAT},
    ControlSpec{"Command6",  Hd, "",        CAT,                 1200, 3000,  855, 375, ORANGE,  BLACK,   F, 9,    r, C, n, Y, n, CAT},
    ControlSpec{"Command8",  Hd, "",        CAT,                 2160, 3000,  855, 375, PEACH,   BLACK,   P, 9,    B, C, n, Y, n, CAT},
    ControlSpec{"Command7",  Hd, "",        CAT,                 1200, 3480,  855, 375, PEACH,   BLACK,   P, 9,    B, C, n, Y, n, CAT},
    // Adjustment columns.
    ControlSpec{"Label3",    Lb, "",        "VOL",               3600, 2520,  495, 255, GREY,    BLACK,   F, 9,    B, C, n, Y, n, ""},
    ControlSpec{"Command1",  Hd, "",        CAT,                 3600, 2880,  375, 255, LORANGE, BLACK,   F, 9,    B, C, n, Y, n, CAT},
    ControlSpec{"Command2",  Hd, "",        CAT,                 3600, 3240,  375, 255, LORANGE, BLACK,   F, 9,    B, C, n, Y, n, CAT},
    ControlSpec{"Label13",   Lb, "",        "Brightness",        4560, 2520,  975, 255, GREY,    BLACK,   F, 9,    r, L, n, Y, n, ""},
    ControlSpec{"Command15", Hd, "",        CAT,                 4800, 2880,  375, 255, CYAN,    BLACK,   F, 9,    r, C, n, Y, n, CAT},
    ControlSpec{"Command35", Hd, "",        CAT,                 4800, 3240,  375, 255, CYAN,    BLACK,   F, 9,    r, C, n, Y, n, CAT},
    ControlSpec{"Label17",   Lb, "",        "D.Zoom",            6360, 2520,  735, 255, GREY,    BLACK,   F, 9,    r, L, n, Y, n, ""},
    ControlSpec{"Command48", Hd, "",        CAT,                 6480, 2880,  375, 255, CYAN,    BLACK,   P, 9,    r, C, n, Y, n, CAT},
    ControlSpec{"Command49", Hd, "",        CAT,                 6480, 3240,  375, 255, CYAN,    BLACK,   F, 9,    r, C, n, Y, n, CAT},
    ControlSpec{"Label18",   Lb, "",        "Keystone",          7320, 2520,  855, 255, GREY,    BLACK,   F, 9,    r, L, n, Y, n, ""},
    ControlSpec{"Command50", Hd, "",        CAT,                 7440, 2880,  375, 255, CYAN,    BLACK,   F, 9,    r, C, n, Y, n, CAT},
    ControlSpec{"Command51", Hd, "",        CAT,                 7440, 3240,  375, 255, CYAN,    BLACK,   F, 9,    r, C, n, Y, n, CAT},
    // Right-hand column.
    ControlSpec{"Command13", Bt, "",        CAT,                 8400, 2760,  975, 250, TEAL,    BLACK,   F, 9,    r, C, n, Y, n, CAT},
    ControlSpec{"Command30", Bt, "",        CAT,                 8400, 3120,  975, 255, LAVENDER, BLACK,  F, 9,    r, C, n, Y, n, CAT},
    ControlSpec{"Command14", Bt, "",        CAT,                 8400, 3360,  975, 250, LAVENDER, BLACK,  F, 9,    r, C, n, Y, n, CAT},
    ControlSpec{"Command3",  Bt, "",        CAT,                 8400, 3600,  975, 492, LAVENDER, BLACK,  F, 9,    r, C, n, Y, n, CAT},
    ControlSpec{"Command16", Bt, "",        "END",               8400, 4320,  975, 375, GREY,    BLACK,   F, 9,    B, C, n, Y, n, ""},
    // Picture-mode grid.
    ControlSpec{"Command4",  Bt, "",        CAT,                  240, 4080,  975, 255, CYAN,    BLACK,   F, 9,    r, C, n, Y, n, CAT},
    ControlSpec{"Command10", Bt, "",        CAT,                 1200, 4080,  975, 255, CYAN,    BLACK,   F, 9,    r, C, n, Y, n, CAT},
    ControlSpec{"Command11", Bt, "",        CAT,                 2160, 4080,  975, 255, CYAN,    BLACK,   F, 9,    r, C, n, Y, n, CAT},
    ControlSpec{"Command39", Bt, "",        CAT,                  240, 4320,  975, 255, CYAN,    BLACK,   F, 9,    r, C, n, Y, n, CAT},
    ControlSpec{"Command40", Bt, "",        CAT,                 1200, 4320,  975, 255, CYAN,    BLACK,   F, 9,    r, C, n, Y, n, CAT},
    ControlSpec{"Command41", Bt, "",        CAT,                 2160, 4320,  975, 255, CYAN,    BLACK,   F, 9,    r, C, n, Y, n, CAT},
    ControlSpec{"Command42", Bt, "",        CAT,                  240, 4560,  975, 255, CYAN,    BLACK,   F, 9,    r, C, n, Y, n, CAT},
    ControlSpec{"Command12", Bt, "",        CAT,                 1200, 4560,  975, 255, CYAN,    BLACK,   F, 9,    r, C, n, Y, n, CAT},
    ControlSpec{"Command37", Bt, "",        CAT,                 2160, 4560,  975, 255, CYAN,    BLACK,   F, 9,    r, C, n, Y, n, CAT},
    // Fan mode, the port button and the port selector above it.
    ControlSpec{"Frame10",   Fr, "",        "",                  6480, 3720, 1695, 975, GREY,    BLACK,   N, 0,    r, L, n, Y, n, ""},
    ControlSpec{"Label14",   Lb, "Frame10", "FAN MODE",           240,  240, 1335, 255, GREY,    BLACK,   F, 9,    B, C, n, Y, n, ""},
    ControlSpec{"Command38", Bt, "Frame10", CAT,                  120,  600,  735, 300, GREEN,   BLACK,   F, 9,    r, C, n, Y, n, CAT},
    ControlSpec{"Command43", Bt, "Frame10", CAT,                  960,  600,  615, 300, PINK,    BLACK,   F, 9,    r, C, n, Y, n, CAT},
    ControlSpec{"Command33", Bt, "",        "COM",               4080, 4200, 1815, 375, STD,     STD,     P, 9,    r, C, n, Y, n, ""},
    ControlSpec{"Frame8",    Fr, "",        "",                  3480, 3600, 2775, 1185, GREY,   BLACK,   N, 0,    r, L, n, n, n, ""},
    ControlSpec{"Option1",   Op, "Frame8",  "COM1",               240,  240, 1215, 255, GREY,    BLACK,   F, 9,    B, L, n, Y, n, ""},
    ControlSpec{"Option2",   Op, "Frame8",  "COM2",              1560,  240, 1095, 255, GREY,    BLACK,   F, 9,    B, L, n, Y, n, ""},
    ControlSpec{"Frame13",   Fr, "Frame8",  "",                   120,  480, 2535, 615, GREY,    BLACK,   N, 0,    r, L, n, Y, n, ""},
    ControlSpec{"Option9",   Op, "Frame13", "19200",              120,  240, 1095, 255, GREY,    BLACK,   F, 9,    B, L, n, Y, Y, ""},
    ControlSpec{"Option10",  Op, "Frame13", "9600",              1440,  240,  975, 300, GREY,    BLACK,   F, 9,    B, L, n, Y, n, ""},
    // Trace area.
    ControlSpec{"Frame9",    Fr, "",        "",                    45, 4920, 6312, 1290, GREY,   BLACK,   N, 0,    r, L, n, Y, n, ""},
    ControlSpec{"Label9",    Lb, "Frame9",  "TXD",                105,  210,  390, 285, GREY,    BLACK,   F, 9,    r, R, n, Y, n, ""},
    ControlSpec{"Label11",   Tr, "Frame9",  "",                   600,  180, 5610, 300, WHITE,   BLACK,   P, 9.75, B, L, Y, Y, n, "TXD"},
    ControlSpec{"Label10",   Lb, "Frame9",  "RXD",                 75,  555,  450, 300, GREY,    BLACK,   F, 9,    r, R, n, Y, n, ""},
    ControlSpec{"Label12",   Tr, "Frame9",  "",                   600,  540, 5616, 300, WHITE,   BLACK,   P, 9.75, B, L, Y, Y, n, "RXD"},
    ControlSpec{"Label23",   Lb, "Frame9",  "STATUS",             120,  960,  735, 225, GREY,    BLACK,   F, 8.25, r, L, n, Y, n, ""},
    ControlSpec{"Label22",   Tr, "Frame9",  "",                   930,  915, 5295, 300, WHITE,   RED,     P, 9,    B, L, Y, Y, n, "STATUS"},
    ControlSpec{"Command34", Bt, "",        kShowDataCaption,    6600, 5040, 1200, 375, GREY,    BLACK,   P, 9,    r, C, n, n, n, ""},
    ControlSpec{"Command44", Bt, "",        CAT,                 6480, 5640,  975, 255, CYAN,    BLACK,   F, 8.25, B, C, n, Y, n, CAT},
    ControlSpec{"Command46", Bt, "",        CAT,                 7440, 5640,  975, 255, CYAN,    BLACK,   F, 8.25, B, C, n, Y, n, CAT},
    ControlSpec{"Command54", Bt, "",        CAT,                 8400, 5640,  975, 252, CYAN,    BLACK,   F, 8.25, B, C, n, Y, n, CAT},
    ControlSpec{"Command45", Bt, "",        CAT,                 6480, 5880,  975, 255, CYAN,    BLACK,   F, 8.25, B, C, n, Y, n, CAT},
    ControlSpec{"Command47", Bt, "",        CAT,                 7440, 5880,  975, 255, CYAN,    BLACK,   F, 8.25, B, C, n, Y, n, CAT},
    ControlSpec{"Command55", Bt, "",        CAT,                 8400, 5880,  975, 255, CYAN,    BLACK,   F, 9,    B, C, n, Y, n, CAT},
    // Service area.
    ControlSpec{"Frame14",   Fr, "",        "",                   120, 6735, 5415, 1200, GREY,   BLACK,   N, 0,    r, L, n, Y, n, ""},
    ControlSpec{"Label15",   Lb, "Frame14", "PC1",                120,  240,  735, 255, GREY,    BLACK,   F, 9,    B, L, n, Y, n, ""},
    ControlSpec{"Command64", Bt, "Frame14", CAT,                  960,  240,  975, 255, CYAN,    BLACK,   F, 9,    r, C, n, Y, n, CAT},
    ControlSpec{"Command52", Bt, "Frame14", CAT,                 1920,  240, 1095, 255, CYAN,    BLACK,   F, 9,    r, C, n, Y, n, CAT},
    ControlSpec{"Command53", Bt, "Frame14", CAT,                 3000,  240, 1215, 255, CYAN,    BLACK,   F, 9,    r, C, n, Y, n, CAT},
    ControlSpec{"Command58", Bt, "Frame14", CAT,                 4200,  240,  975, 255, CYAN,    BLACK,   F, 9,    r, C, n, Y, n, CAT},
    ControlSpec{"Label16",   Lb, "Frame14", "PC2",                120,  480,  735, 255, GREY,    BLACK,   F, 9,    B, L, n, Y, n, ""},
    ControlSpec{"Command72", Bt, "Frame14", CAT,                  960,  480,  975, 255, CYAN,    BLACK,   F, 9,    r, C, n, Y, n, CAT},
    ControlSpec{"Label24",   Lb, "Frame14", "Video",              120,  720,  855, 255, GREY,    BLACK,   F, 9,    B, L, n, Y, n, ""},
    ControlSpec{"Command82", Bt, "Frame14", CAT,                  960,  720,  975, 255, CYAN,    BLACK,   F, 9,    r, C, n, Y, n, CAT},
    ControlSpec{"Command69", Bt, "Frame14", CAT,                 1920,  720, 1095, 255, CYAN,    BLACK,   F, 9,    r, C, n, Y, n, CAT},
    ControlSpec{"Command36", Bt, "",        CAT,                 5760, 6840,  615, 255, PINK,    BLACK,   F, 9,    B, C, n, Y, n, CAT},
    ControlSpec{"Frame15",   Fr, "",        "",                   120, 8040, 7215, 570, GREY,    BLACK,   N, 0,    r, L, n, Y, n, ""},
    ControlSpec{"Label26",   Lb, "Frame15", "CMD",                120,  240,  495, 255, GREY,    BLACK,   F, 9.75, r, L, n, Y, n, ""},
    ControlSpec{"Text1",     Tx, "Frame15", "",                   600,  165, 5055, 345, STD,     STD,     F, 9.75, B, L, n, Y, n, "CMD"},
    ControlSpec{"Command95", Bt, "Frame15", "SEND",              5760,  240,  735, 255, GREEN,   BLACK,   F, 9,    B, C, n, Y, n, ""},
    ControlSpec{"Command96", Bt, "Frame15", "CLS",               6480,  240,  615, 255, PINK,    BLACK,   F, 9,    B, C, n, Y, n, ""},
};

// The outline of the cursor cross.
constexpr std::array kLines{
    LineSpec{"Line7",  1080, 2400, 2160, 2400},
    LineSpec{"Line8",   120, 2880, 1080, 2880},
    LineSpec{"Line9",  2160, 2880, 3120, 2880},
    LineSpec{"Line10",  120, 3480, 1080, 3480},
    LineSpec{"Line12", 2160, 3480, 3120, 3480},
    LineSpec{"Line11", 1080, 3960, 2160, 3960},
    LineSpec{"Line1",  1080, 2400, 1080, 2880},
    LineSpec{"Line2",  2160, 2400, 2160, 2880},
    LineSpec{"Line6",   120, 2880,  120, 3480},
    LineSpec{"Line3",  3120, 2880, 3120, 3480},
    LineSpec{"Line5",  1080, 3480, 1080, 3960},
    LineSpec{"Line4",  2160, 3480, 2160, 3960},
};
// clang-format on

}  // namespace

std::span<const ControlSpec> Controls() {
    static const auto controls = [] {
        auto filled = kControls;
        for (ControlSpec& control : filled)
            if (const CommandCaption* command = FindCaption(control.name)) {
                control.caption = command->caption;
                control.group = command->group;
            }
        return filled;
    }();
    return controls;
}

std::span<const LineSpec> Lines() {
    return kLines;
}

const ControlSpec* FindControl(std::string_view name) {
    for (const ControlSpec& control : Controls())
        if (control.name == name) return &control;
    return nullptr;
}

}  // namespace panel
