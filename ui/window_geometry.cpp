#include "ui/window_geometry.h"

#include <cmath>

namespace panel {

QPoint StartupTopLeft(const QRect& screen, const QMargins& frameTwips) {
    const long outerWidth = kClientWidthTwips + frameTwips.left() + frameTwips.right();
    const long outerHeight = kClientHeightTwips + frameTwips.top() + frameTwips.bottom();
    // Twice the offset in twips keeps the halving exact; one pixel is 2 * 15 of those.
    const long left2 = long{screen.width()} * kTwipsPerPixel - outerWidth;
    const long top2 = long{screen.height()} * kTwipsPerPixel - outerHeight;
    const auto pixels = [](long doubledTwips) {
        return static_cast<int>(
            std::lround(static_cast<double>(doubledTwips) / (2 * kTwipsPerPixel)));
    };
    return screen.topLeft() + QPoint(pixels(left2), pixels(top2));
}

}  // namespace panel
