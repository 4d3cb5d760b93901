// Every control of the window as the panel's description gives it: written out here on its own,
// not read back from ui/layout.cpp, so that a slip in either shows. The one expected copy of the
// layout: the layout test checks the window against it, and the counts of controls come from it.
#pragma once

#include <vector>

namespace panel::expected {

enum class Kind { Frame, Label, Trace, Button, Hold, Option, Text, Picture };
inline constexpr int kStd = -1;  // the platform's own colour

struct Expected {
    const char* name;
    Kind kind;
    const char* parent;  // "" for the window
    const char* caption;
    int left, top, width, height;  // twips
    int background;
    int text;
    char face;  // 'F' fixed, 'P' proportional, '-' none
    double points;
    bool bold;
    bool shown;  // at start, by itself (a hidden container aside)
};

// The shapes of the rows below.
namespace rows {

inline Expected frame(const char* name, const char* parent, int l, int t, int w, int h,
                      bool shown = true) {
    return {name, Kind::Frame, parent, "", l, t, w, h, 0xC0C0C0, kStd, '-', 0, false, shown};
}
inline Expected title(const char* name, const char* parent, const char* caption, int l, int t,
                      int w, int h, int text = 0x000000) {
    return {name, Kind::Label, parent, caption, l, t, w, h, 0xC0C0C0, text, 'F', 9, true, true};
}
inline Expected label(const char* name, const char* parent, const char* caption, int l, int t,
                      int w, int h, char face, double points, bool bold) {
    return {name, Kind::Label, parent,   caption, l,      t,    w,
            h,    0xC0C0C0,    0x000000, face,    points, bold, true};
}
inline Expected button(const char* name, const char* parent, const char* caption, int l, int t,
                       int w, int h, int background, char face, double points, bool bold,
                       bool shown = true) {
    return {name, Kind::Button, parent,   caption, l,      t,    w,
            h,    background,   0x000000, face,    points, bold, shown};
}
inline Expected hold(const char* name, const char* caption, int l, int t, int w, int h,
                     int background, char face, bool bold) {
    return {name, Kind::Hold, "", caption, l, t, w, h, background, 0x000000, face, 9, bold, true};
}
inline Expected option(const char* name, const char* parent, const char* caption, int l, int t,
                       int w, int h) {
    return {name, Kind::Option, parent,   caption, l, t,    w,
            h,    0xC0C0C0,     0x000000, 'F',     9, true, true};
}
inline Expected trace(const char* name, int l, int t, int w, int h, int text, double points) {
    return {name, Kind::Trace, "Frame9", "", l, t, w, h, 0xFFFFFF, text, 'P', points, true, true};
}

}  // namespace rows

inline std::vector<Expected> ExpectedLayout() {
    using namespace rows;
    const int green = 0xC0FFC0, pink = 0xFFC0C0, cyan = 0xC0FFFF, lavender = 0xC0C0FF,
              peach = 0xFFE0C0, lightOrange = 0xFFC080;
    std::vector<Expected> rows = {
        // The top row.
        frame("Frame1", "", 120, 240, 1695, 975),
        title("Label1", "Frame1", "POWER", 240, 240, 1095, 255, 0xC00000),
        button("Command17", "Frame1", "ON", 120, 600, 615, 300, green, 'P', 9, true),
        button("Command18", "Frame1", "OFF", 960, 600, 615, 300, pink, 'P', 9, true),
        frame("Frame2", "", 2040, 240, 3975, 975),
        title("Label2", "Frame2", "INPUT MODE SET", 1080, 240, 1935, 255),
        button("Command27", "Frame2", "PC1", 120, 600, 495, 300, cyan, 'P', 9, true),
        button("Command28", "Frame2", "PC2", 720, 600, 495, 300, cyan, 'P', 9, true),
        button("Command29", "Frame2", "Video", 1320, 600, 735, 300, cyan, 'P', 9, true),
        button("Command56", "Frame2", "HDMI", 2160, 600, 735, 300, cyan, 'F', 9, true),
        button("Command57", "Frame2", "Network", 3000, 600, 855, 300, cyan, 'F', 9, true),
        frame("Frame6", "", 6240, 240, 1695, 975),
        title("Label7", "Frame6", "MENU", 360, 240, 975, 255),
        button("Command23", "Frame6", "ON", 120, 600, 615, 300, green, 'P', 9, true),
        button("Command24", "Frame6", "OFF", 960, 600, 615, 300, pink, 'P', 9, true),
        {"Image1", Kind::Picture, "", "", 8160, 120, 1200, 390, 0xB4B4B4, kStd, '-', 0, false,
         true},
        // The second row.
        frame("Frame3", "", 120, 1440, 1695, 855),
        title("Label4", "Frame3", "SOUND MUTE", 120, 195, 1455, 300),
        button("Command19", "Frame3", "ON", 120, 480, 615, 300, green, 'P', 9, true),
        button("Command20", "Frame3", "OFF", 960, 480, 615, 300, pink, 'P', 9, true),
        frame("Frame4", "", 2520, 1440, 1695, 855),
        title("Label5", "Frame4", "NO SHOW", 360, 210, 1095, 285),
        button("Command21", "Frame4", "ON", 120, 480, 615, 300, green, 'P', 9, true),
        button("Command22", "Frame4", "OFF", 960, 480, 615, 300, pink, 'P', 9, true),
        frame("Frame7", "", 5040, 1440, 1695, 855),
        title("Label8", "Frame7", "FREEZE", 240, 210, 1215, 285),
        button("Command25", "Frame7", "ON", 120, 480, 615, 300, green, 'P', 9, true),
        button("Command26", "Frame7", "OFF", 960, 480, 615, 300, pink, 'P', 9, true),
        frame("Frame5", "", 7440, 1440, 1815, 855),
        title("Label6", "Frame5", "Screen Size", 120, 210, 1575, 285),
        button("Command31", "Frame5", "Normal", 120, 480, 855, 300, cyan, 'P', 9, false),
        button("Command32", "Frame5", "Full", 1080, 480, 615, 300, cyan, 'P', 9, false),
        // The cursor cross: 855 x 375.
        hold("Command5", "↑", 1200, 2520, 855, 375, peach, 'P', true),
        hold("Command9", "←", 240, 3000, 855, 375, peach, 'P', true),
        hold("Command6", "SELECT", 1200, 3000, 855, 375, 0xFF8000, 'F', false),
        hold("Command8", "→", 2160, 3000, 855, 375, peach, 'P', true),
        hold("Command7", "↓", 1200, 3480, 855, 375, peach, 'P', true),
        // The adjustment columns: titles at 2520, "+" at 2880, "-" at 3240, buttons 375 x 255.
        title("Label3", "", "VOL", 3600, 2520, 495, 255),
        hold("Command1", "+", 3600, 2880, 375, 255, lightOrange, 'F', true),
        hold("Command2", "-", 3600, 3240, 375, 255, lightOrange, 'F', true),
        label("Label13", "", "Brightness", 4560, 2520, 975, 255, 'F', 9, false),
        hold("Command15", "+", 4800, 2880, 375, 255, cyan, 'F', false),
        hold("Command35", "-", 4800, 3240, 375, 255, cyan, 'F', false),
        label("Label17", "", "D.Zoom", 6360, 2520, 735, 255, 'F', 9, false),
        hold("Command48", "+", 6480, 2880, 375, 255, cyan, 'P', false),
        hold("Command49", "-", 6480, 3240, 375, 255, cyan, 'F', false),
        label("Label18", "", "Keystone", 7320, 2520, 855, 255, 'F', 9, false),
        hold("Command50", "+", 7440, 2880, 375, 255, cyan, 'F', false),
        hold("Command51", "-", 7440, 3240, 375, 255, cyan, 'F', false),
        // The right-hand column at 8400, 975 wide.
        button("Command13", "", "A-IMAGE", 8400, 2760, 975, 250, 0x00C0C0, 'F', 9, false),
        button("Command30", "", "IMAGE", 8400, 3120, 975, 255, lavender, 'F', 9, false),
        button("Command14", "", "P-TIMER", 8400, 3360, 975, 250, lavender, 'F', 9, false),
        button("Command3", "", "DISPLAY CLEAR", 8400, 3600, 975, 492, lavender, 'F', 9, false),
        button("Command16", "", "END", 8400, 4320, 975, 375, 0xC0C0C0, 'F', 9, true),
        // The picture-mode grid, 975 x 255.
        button("Command4", "", "STAND", 240, 4080, 975, 255, cyan, 'F', 9, false),
        button("Command10", "", "REAL", 1200, 4080, 975, 255, cyan, 'F', 9, false),
        button("Command11", "", "CINEMA", 2160, 4080, 975, 255, cyan, 'F', 9, false),
        button("Command39", "", "IMAGE1", 240, 4320, 975, 255, cyan, 'F', 9, false),
        button("Command40", "", "IMAGE2", 1200, 4320, 975, 255, cyan, 'F', 9, false),
        button("Command41", "", "IMAGE3", 2160, 4320, 975, 255, cyan, 'F', 9, false),
        button("Command42", "", "IMAGE4", 240, 4560, 975, 255, cyan, 'F', 9, false),
        button("Command12", "", "B.Board", 1200, 4560, 975, 255, cyan, 'F', 9, false),
        button("Command37", "", "Dynamic", 2160, 4560, 975, 255, cyan, 'F', 9, false),
        // Fan mode, "COM" and the port selector.
        frame("Frame10", "", 6480, 3720, 1695, 975),
        title("Label14", "Frame10", "FAN MODE", 240, 240, 1335, 255),
        button("Command38", "Frame10", "L1", 120, 600, 735, 300, green, 'F', 9, false),
        button("Command43", "Frame10", "L2", 960, 600, 615, 300, pink, 'F', 9, false),
        button("Command33", "", "COM", 4080, 4200, 1815, 375, kStd, 'P', 9, false),
        frame("Frame8", "", 3480, 3600, 2775, 1185, false),
        option("Option1", "Frame8", "COM1", 240, 240, 1215, 255),
        option("Option2", "Frame8", "COM2", 1560, 240, 1095, 255),
        frame("Frame13", "Frame8", 120, 480, 2535, 615),
        option("Option9", "Frame13", "19200", 120, 240, 1095, 255),
        option("Option10", "Frame13", "9600", 1440, 240, 975, 300),
        // The trace area.
        frame("Frame9", "", 45, 4920, 6312, 1290),
        label("Label9", "Frame9", "TXD", 105, 210, 390, 285, 'F', 9, false),
        trace("Label11", 600, 180, 5610, 300, 0x000000, 9.75),
        label("Label10", "Frame9", "RXD", 75, 555, 450, 300, 'F', 9, false),
        trace("Label12", 600, 540, 5616, 300, 0x000000, 9.75),
        label("Label23", "Frame9", "STATUS", 120, 960, 735, 225, 'F', 8.25, false),
        trace("Label22", 930, 915, 5295, 300, 0xFF0000, 9),
        button("Command34", "", "データを表示する", 6600, 5040, 1200, 375, 0xC0C0C0, 'P', 9, false,
               false),
        button("Command44", "", "STATUS", 6480, 5640, 975, 255, cyan, 'F', 8.25, true),
        button("Command46", "", "L-TIME", 7440, 5640, 975, 255, cyan, 'F', 8.25, true),
        button("Command54", "", "TEMP", 8400, 5640, 975, 252, cyan, 'F', 8.25, true),
        button("Command45", "", "MODE", 6480, 5880, 975, 255, cyan, 'F', 8.25, true),
        button("Command47", "", "SETTING", 7440, 5880, 975, 255, cyan, 'F', 8.25, true),
        button("Command55", "", "L-MODE", 8400, 5880, 975, 255, cyan, 'F', 9, true),
        // The service area.
        frame("Frame14", "", 120, 6735, 5415, 1200),
        label("Label15", "Frame14", "PC1", 120, 240, 735, 255, 'F', 9, true),
        button("Command64", "Frame14", "RGB", 960, 240, 975, 255, cyan, 'F', 9, false),
        button("Command52", "Frame14", "Scart", 1920, 240, 1095, 255, cyan, 'F', 9, false),
        button("Command53", "Frame14", "Component", 3000, 240, 1215, 255, cyan, 'F', 9, false),
        button("Command58", "Frame14", "HDMI", 4200, 240, 975, 255, cyan, 'F', 9, false),
        label("Label16", "Frame14", "PC2", 120, 480, 735, 255, 'F', 9, true),
        button("Command72", "Frame14", "RGB", 960, 480, 975, 255, cyan, 'F', 9, false),
        label("Label24", "Frame14", "Video", 120, 720, 855, 255, 'F', 9, true),
        button("Command82", "Frame14", "Video", 960, 720, 975, 255, cyan, 'F', 9, false),
        button("Command69", "Frame14", "S-Video", 1920, 720, 1095, 255, cyan, 'F', 9, false),
        button("Command36", "", "C02", 5760, 6840, 615, 255, pink, 'F', 9, true),
        frame("Frame15", "", 120, 8040, 7215, 570),
        label("Label26", "Frame15", "CMD", 120, 240, 495, 255, 'F', 9.75, false),
        {"Text1", Kind::Text, "Frame15", "", 600, 165, 5055, 345, kStd, kStd, 'F', 9.75, true,
         true},
        button("Command95", "Frame15", "SEND", 5760, 240, 735, 255, green, 'F', 9, true),
        button("Command96", "Frame15", "CLS", 6480, 240, 615, 255, pink, 'F', 9, true),
    };
    return rows;
}

// How many rows of the layout are of `kind`.
inline int CountOf(Kind kind) {
    int count = 0;
    for (const Expected& row : ExpectedLayout()) count += row.kind == kind;
    return count;
}

}  // namespace panel::expected
