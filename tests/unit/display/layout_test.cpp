#include "display/layout.h"

#include <gtest/gtest.h>

#include <tuple>

#include "game/game.h"

namespace {

using display::ClassifyAspect;
using display::metrics;

void Open(int w, int h) {
    metrics = {};
    metrics.ScreenWidth = w;
    metrics.ScreenHeight = h;
    metrics.AspectClass = ClassifyAspect(w, h);
    display::ComputeLayout();
}

TEST(Aspect, ClassesFromTheTwoDecimalRatio) {
    EXPECT_EQ(ClassifyAspect(1920, 1080), display::Aspect16x9);  // 1.78
    EXPECT_EQ(ClassifyAspect(1366, 768), display::Aspect16x9);   // 1.7786 -> 1.78
    EXPECT_EQ(ClassifyAspect(1360, 768), display::Aspect16x9);   // 1.7708 -> 1.77
    EXPECT_EQ(ClassifyAspect(1024, 768), display::Aspect4x3);
    EXPECT_EQ(ClassifyAspect(1600, 1200), display::Aspect4x3);
    EXPECT_EQ(ClassifyAspect(800, 600), display::Aspect4x3);
    EXPECT_EQ(ClassifyAspect(1152, 864), display::Aspect4x3);
    EXPECT_EQ(ClassifyAspect(1280, 1024), display::Aspect5x4);
    EXPECT_EQ(ClassifyAspect(1440, 960), display::Aspect3x2);
    EXPECT_EQ(ClassifyAspect(1680, 1050), display::Aspect16x10);
    EXPECT_EQ(ClassifyAspect(4096, 2160), display::Aspect17x9);  // 1.896 -> 1.90
    EXPECT_EQ(ClassifyAspect(2560, 1080), display::Aspect21x9);  // 2.37
    EXPECT_EQ(ClassifyAspect(3440, 1440), display::Aspect21x9);  // 2.389 -> 2.39
    EXPECT_EQ(ClassifyAspect(1000, 1000), display::AspectCustom);
    EXPECT_EQ(ClassifyAspect(0, 0), display::AspectCustom);
}

TEST(Aspect, BackgroundPicturesAndLogLinesPerClass) {
    EXPECT_EQ(display::SplashPictureName(display::Aspect21x9), "orvanta_16x9.png");
    EXPECT_EQ(display::GamePictureName(display::Aspect21x9), "ingame_16x9.png");
    EXPECT_EQ(display::AspectLogLine(display::Aspect21x9, false), "");
    EXPECT_EQ(display::SplashPictureName(display::Aspect17x9), "orvanta_17x9.png");
    EXPECT_EQ(display::GamePictureName(display::Aspect17x9), "ingame_16x9.png");
    EXPECT_EQ(display::AspectLogLine(display::Aspect17x9, false), "AspectRatio:  17:9");
    EXPECT_EQ(display::AspectLogLine(display::Aspect17x9, true), "");
    EXPECT_EQ(display::AspectLogLine(display::Aspect4x3, true), "AspectRatio:  3:3");
    EXPECT_EQ(display::SplashPictureName(display::AspectCustom), "orvanta_16x9.png");
    EXPECT_EQ(display::AspectLogLine(display::AspectCustom, false), "AspectRatio:  custom");
}

TEST(Layout, FullHdMetrics) {
    Open(1920, 1080);
    EXPECT_EQ(metrics.HudUnit, 64);
    EXPECT_EQ(metrics.TileSize, 138);
    EXPECT_EQ(metrics.TileGap, 13);
    EXPECT_EQ(metrics.BoardCentreX, 960);
    EXPECT_EQ(metrics.BoardCentreY, 567);
    EXPECT_EQ(metrics.ClockBarWidth, 681);
    EXPECT_EQ(metrics.LevelButtonWidth, 80);
    EXPECT_EQ(metrics.LevelButtonHeight, 68);
    EXPECT_EQ(metrics.PauseButtonLeft, 1843);
    EXPECT_EQ(metrics.PauseButtonTop, 32);
    EXPECT_EQ(metrics.ClockBarLeft, 620);
    EXPECT_EQ(metrics.ClockIconLeft, 588);
    EXPECT_EQ(metrics.SplashSlideStep, 43);
    // Level 1 on the map: x = 1920 * 31 / 3840, y = 1080 - 1536 * 301 / 3072.
    EXPECT_EQ(display::levelButtons[1].x, 15);
    EXPECT_EQ(display::levelButtons[1].y, 930);
    EXPECT_EQ(display::levelButtons[1].hitRight, 15 + 80);
    EXPECT_EQ(display::levelButtons[0].hitLeft, 1843);
    EXPECT_EQ(display::levelButtons[0].hitBottom, 32 + 64);
}

TEST(Layout, TileSizesPerClassAreEven) {
    Open(1024, 768);
    EXPECT_EQ(metrics.TileSize, 84);  // 598 / 7 = 85, made even
    Open(1280, 1024);
    EXPECT_EQ(metrics.TileSize, 108);  // 812 / 7.5 = 108.3
    Open(1440, 960);
    EXPECT_EQ(metrics.TileSize, 120);  // 721 / 6 = 120
    Open(1680, 1050);
    EXPECT_EQ(metrics.TileSize, 140);  // 772 / 5.5 = 140.4
    Open(3840, 2160);
    EXPECT_EQ(metrics.TileSize, 276);  // 1526 / 5.5 = 277.45 -> 277, made even
    for (int w : {1024, 1280, 1366, 1360, 2560, 3440, 4096}) {
        Open(w, w == 1280 ? 1024 : 768);
        EXPECT_EQ(metrics.TileSize % 2, 0) << w;
    }
}

// Every level's board as SetUpLevel lays it out, inside the screen and below
// the heads-up display.
void ExpectBoardsInside(int w, int h) {
    for (const game::LevelSpec& spec : game::LevelTable()) {
        const int T = metrics.TileSize, G = metrics.TileGap;
        const int left = metrics.BoardCentreX - (T * spec.columns + G * spec.columns - 1) / 2;
        const int top = metrics.BoardCentreY - (T * spec.rows + G * spec.rows - 1) / 2;
        EXPECT_GE(left, 0) << w << " x " << h;
        EXPECT_LE(left + (T + G) * (spec.columns - 1) + T, w) << w << " x " << h;
        EXPECT_GE(top, metrics.HudUnit / 2 + metrics.HudUnit) << w << " x " << h;
        EXPECT_LE(top + (T + G) * (spec.rows - 1) + T, h) << w << " x " << h;
    }
}

TEST(Layout, BoardsFitPortraitAndNearSquareScreens) {
    // From the height alone a 1080-wide portrait screen got 246-pixel tiles
    // and 2136-pixel boards.
    Open(1080, 1920);
    EXPECT_EQ(metrics.TileSize, 120);
    EXPECT_EQ(metrics.TileGap, 12);
    Open(1200, 1920);
    EXPECT_EQ(metrics.TileSize, 134);
    for (auto [w, h] : {std::pair{1080, 1920},
                        {1200, 1920},
                        {1440, 2560},
                        {1000, 1000},
                        {1100, 1000},
                        {768, 1024},
                        {600, 1000}}) {
        Open(w, h);
        EXPECT_EQ(metrics.TileSize % 2, 0);
        ExpectBoardsInside(w, h);
    }
    // Landscape screens keep the size from the height.
    for (auto [w, h, tile] : {std::tuple{1920, 1080, 138},
                              {1024, 768, 84},
                              {1280, 1024, 108},
                              {1440, 960, 120},
                              {1680, 1050, 140},
                              {2560, 1080, 138},
                              {3440, 1440, 184},
                              {3840, 2160, 276},
                              {1024, 576, 74},
                              {4096, 2160, 276}}) {
        Open(w, h);
        EXPECT_EQ(metrics.TileSize, tile) << w << " x " << h;
        ExpectBoardsInside(w, h);
    }
}

TEST(Layout, EveryLevelButtonStaysOnWideScreens) {
    // On 21:9 the map's top rows would start above the screen.
    Open(3440, 1440);
    for (int n = 1; n <= 12; ++n) {
        EXPECT_GE(display::levelButtons[n].y, 0) << n;
        EXPECT_LE(display::levelButtons[n].hitBottom, 1440) << n;
    }
    EXPECT_EQ(display::levelButtons[6].y, 0);
}

TEST(Layout, LogoAndPanelCentre) {
    Open(1920, 1080);
    display::ComputeLogoLayout(920, 400);
    EXPECT_EQ(metrics.LogoWidth, 475);   // (1920 / 100) * 25
    EXPECT_EQ(metrics.LogoHeight, 209);  // 400 / 920 * 19.2 * 25 = 208.7
    EXPECT_EQ(metrics.LogoLeft, 480 - 237);
    EXPECT_EQ(metrics.LogoTop, 35);  // 139.33 - 104.5 = 34.8
    EXPECT_EQ(metrics.PanelCentreY, (1080 - 209) / 2 + 209);
}

TEST(Layout, ResolutionIndexIsClamped) {
    EXPECT_EQ(display::ClampResolution(-3), 0);
    EXPECT_EQ(display::ClampResolution(4), 4);
    EXPECT_EQ(display::ClampResolution(99), 8);
    EXPECT_EQ(display::ResolutionList()[1], "1280x720");
}

}  // namespace
