// Twips to pixels, the tall/short rule and the start-up position, as pure arithmetic.
#include <gtest/gtest.h>

#include "tests/ui/qt_printers.h"
#include "ui/layout.h"
#include "ui/window_geometry.h"

namespace panel {
namespace {

struct TwipsCase {
    int twips;
    int pixels;
};
void PrintTo(const TwipsCase& t, std::ostream* out) {
    *out << std::to_string(t.twips);
}

class TwipsToPixelsTest : public ::testing::TestWithParam<TwipsCase> {};

TEST_P(TwipsToPixelsTest, TakesTheNearestWholePixel) {
    EXPECT_EQ(TwipsToPixels(GetParam().twips), GetParam().pixels);
}

INSTANTIATE_TEST_SUITE_P(Layout, TwipsToPixelsTest,
                         ::testing::Values(TwipsCase{0, 0}, TwipsCase{7, 0}, TwipsCase{8, 1},
                                           TwipsCase{45, 3}, TwipsCase{250, 17}, TwipsCase{252, 17},
                                           TwipsCase{492, 33}, TwipsCase{5616, 374},
                                           TwipsCase{6312, 421}, TwipsCase{9495, 633},
                                           TwipsCase{-50, -3}, TwipsCase{-53, -4}));

struct TallCase {
    int clientPixels;
    bool tall;
};
void PrintTo(const TallCase& t, std::ostream* out) {
    *out << std::to_string(t.clientPixels);
}

class TallTest : public ::testing::TestWithParam<TallCase> {};

TEST_P(TallTest, TallFromTheMovedBoundaryOn) {
    EXPECT_EQ(IsTall(GetParam().clientPixels), GetParam().tall);
}

// 5630 twips is 375.33 pixels: 375 (5625) is short, 376 (5640) the first tall height.
INSTANTIATE_TEST_SUITE_P(Heights, TallTest,
                         ::testing::Values(TallCase{332, false}, TallCase{375, false},
                                           TallCase{376, true}, TallCase{418, true},
                                           TallCase{455, true}, TallCase{582, true}));

struct StartCase {
    const char* name;
    QRect screen;
    QMargins frameTwips;
    QPoint topLeft;
};
void PrintTo(const StartCase& t, std::ostream* out) {
    *out << t.name;
}

class StartupTopLeftTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartupTopLeftTest, CentresTheFullOuterWindow) {
    EXPECT_EQ(StartupTopLeft(GetParam().screen, GetParam().frameTwips), GetParam().topLeft);
}

// With the assumed frame the full outer height is 9100 twips, the width 9585.
INSTANTIATE_TEST_SUITE_P(
    Screens, StartupTopLeftTest,
    ::testing::Values(
        // top (11520 - 9100) / 2 = 1210 twips = 80.67 px; left 2887.5 twips = 192.5 px.
        StartCase{"Xga", QRect(0, 0, 1024, 768), kAssumedFrameTwips, QPoint(193, 81)},
        // top (9000 - 9100) / 2 = -50 twips: above the screen's top edge, not clamped.
        StartCase{"Svga", QRect(0, 0, 800, 600), kAssumedFrameTwips, QPoint(81, -3)},
        StartCase{"FullHd", QRect(0, 0, 1920, 1080), kAssumedFrameTwips, QPoint(641, 237)},
        // The primary screen right of another one: its own origin counts.
        StartCase{"OffsetScreen", QRect(1920, 0, 1280, 1024), kAssumedFrameTwips,
                  QPoint(2241, 209)},
        // A frame the platform reports: 4 px sides, 30 px title bar, 4 px bottom.
        StartCase{"KnownFrame", QRect(0, 0, 1024, 768), QMargins(60, 450, 60, 60),
                  QPoint(192, 76)}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace panel
