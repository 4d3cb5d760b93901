// The window's four client heights, the tall/short rule and the start-up position on the screen.
#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>

#include "ui/layout.h"

namespace panel {

// Client heights that show the bands of the layout: the outer heights 5350, 6645, 7200 and 9100
// twips less a 370-twip title bar and frame, so the same bands show whatever the decoration.
inline constexpr int kCompactClientTwips = 4980;   // start-up; Command34 when tall
inline constexpr int kTraceClientTwips = 6275;     // Command34 when short
inline constexpr int kUnlockedClientTwips = 6830;  // Ctrl+J
inline constexpr int kFullClientTwips = 8730;      // double-click on the logo
// The outer boundary of 6000 twips moved by the same 370 twips.
inline constexpr int kTallClientTwips = 5630;

// A client height of whole pixels is tall from 376 pixels (5640 twips) on; 375 (5625) is short.
constexpr bool IsTall(int clientHeightPixels) {
    return clientHeightPixels * kTwipsPerPixel >= kTallClientTwips;
}

// The title bar and frame assumed while the platform cannot tell them (before the window is first
// shown, or with no window manager): 370 twips high, as the layout was made for, and 3 pixels a
// side.
inline constexpr QMargins kAssumedFrameTwips{45, 325, 45, 45};

// Where the window's outer top-left corner goes at start-up: centred on `screen` (pixels) with the
// full outer size, the client area of the whole layout plus `frameTwips`. Halves are exact in twips
// and rounded to the nearest pixel; nothing clamps the result to the screen.
QPoint StartupTopLeft(const QRect& screen, const QMargins& frameTwips = kAssumedFrameTwips);

}  // namespace panel
