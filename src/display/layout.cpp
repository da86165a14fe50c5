#include "display/layout.h"

#include <algorithm>
#include <cmath>

#include "engine/system.h"
#include "game/game.h"

namespace display {

Metrics metrics;
std::array<LevelButton, 13> levelButtons;

namespace {

// Where each level button sits on the 3840 x 3072 level-select picture: K from
// its left edge, V upwards from its bottom edge (the picture is drawn at the
// screen's width with its bottom edge on the screen's bottom edge).
constexpr int32_t kLevelK[12] = {31, 296, 990, 866, 1027, 1758, 2167, 2344, 2697, 2874, 3463, 3434};
constexpr int32_t kLevelV[12] = {301, 411, 869, 1588, 1705, 1879, 1210, 1089, 578, 500, 881, 1606};

int32_t Round(double value) {
    return static_cast<int32_t>(std::lround(value));
}

// Whether every level's board, laid out as SetUpLevel lays it out with tiles of
// this size, stands inside the screen: a gap clear of the left and right edges,
// below the heads-up display and above the bottom edge.
bool BoardsFit(const Metrics& m, int32_t tile) {
    const int64_t T = tile;
    const int64_t G = tile / 10;
    const int64_t hudBottom = m.HudUnit / 2 + m.HudUnit;
    for (const game::LevelSpec& spec : game::LevelTable()) {
        const int64_t left = m.BoardCentreX - (T * spec.columns + G * spec.columns - 1) / 2;
        const int64_t top = m.BoardCentreY - (T * spec.rows + G * spec.rows - 1) / 2;
        const int64_t right = left + (T + G) * (spec.columns - 1) + T;
        const int64_t bottom = top + (T + G) * (spec.rows - 1) + T;
        if (left < G || right > m.ScreenWidth - G || top < hudBottom || bottom > m.ScreenHeight)
            return false;
    }
    return true;
}

}  // namespace

const std::array<std::string, kResolutionCount>& ResolutionList() {
    static const std::array<std::string, kResolutionCount> list = {
        "1024x576",  "1280x720",  "1366x768",  "1920x1080", "2048x1152",
        "2560x1440", "2880x1620", "3200x1800", "3840x2160"};
    return list;
}

int32_t ClampResolution(int32_t index) {
    if (index < 0) return 0;
    if (index >= kResolutionCount) return kResolutionCount - 1;
    return index;
}

int32_t ClassifyAspect(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return AspectCustom;
    const std::string ratio =
        engine::RealToText(static_cast<double>(width) / static_cast<double>(height), 2);
    struct Entry {
        const char* text;
        int32_t aspectClass;
    };
    static constexpr Entry kTable[] = {
        {"1.50", Aspect3x2},  {"1.33", Aspect4x3},   {"1.25", Aspect5x4},  {"1.77", Aspect16x9},
        {"1.78", Aspect16x9}, {"1.60", Aspect16x10}, {"1.89", Aspect17x9}, {"1.90", Aspect17x9},
        {"2.37", Aspect21x9}, {"2.38", Aspect21x9},  {"2.39", Aspect21x9},
    };
    for (const Entry& entry : kTable) {
        if (ratio == entry.text) return entry.aspectClass;
    }
    return AspectCustom;
}

std::string AspectLogLine(int32_t aspectClass, bool gamePicture) {
    switch (aspectClass) {
        case Aspect3x2:
            return "AspectRatio:  3:2";
        // The 4:3 class has always been logged as "3:3"; kept so logs compare.
        case Aspect4x3:
            return "AspectRatio:  3:3";
        case Aspect5x4:
            return "AspectRatio:  5:4";
        case Aspect16x9:
            return "AspectRatio:  16:9";
        case Aspect16x10:
            return "AspectRatio:  16:10";
        case Aspect17x9:
            return gamePicture ? "" : "AspectRatio:  17:9";
        case Aspect21x9:
            return "";
        default:
            return "AspectRatio:  custom";
    }
}

namespace {
const char* ClassSuffix(int32_t aspectClass, bool gamePicture) {
    switch (aspectClass) {
        case Aspect3x2:
            return "3x2";
        case Aspect4x3:
            return "4x3";
        case Aspect5x4:
            return "5x4";
        case Aspect16x10:
            return "16x10";
        case Aspect17x9:
            return gamePicture ? "16x9" : "17x9";
        default:
            return "16x9";
    }
}
}  // namespace

std::string SplashPictureName(int32_t aspectClass) {
    return std::string("orvanta_") + ClassSuffix(aspectClass, false) + ".png";
}

std::string GamePictureName(int32_t aspectClass) {
    return std::string("ingame_") + ClassSuffix(aspectClass, true) + ".png";
}

void ComputeLayout() {
    auto& m = metrics;
    const int32_t W = m.ScreenWidth;
    const int32_t H = m.ScreenHeight;

    m.SplashSlideStep = H / 25;
    m.HudUnit = W / 30;
    m.BackButtonLeft = Round(W - m.HudUnit * 1.2);
    m.BackButtonTop = m.HudUnit / 2;
    m.PauseButtonLeft = m.BackButtonLeft;
    m.PauseButtonTop = m.BackButtonTop;
    m.LevelButtonWidth = W * 160 / 3840;
    m.LevelButtonHeight = m.LevelButtonWidth * 136 / 160;
    m.ClockBarWidth = m.HudUnit * 681 / 64;
    m.ClockBarLeft = W / 2 - m.ClockBarWidth / 2;
    m.ClockBarTop = m.HudUnit / 2;
    m.ClockIconLeft = m.ClockBarLeft - m.HudUnit / 2;
    m.ClockIconTop = m.HudUnit / 2;
    m.DesignHeight = static_cast<double>(W) * 3072.0 / 3840.0;

    // Products can pass 2^31 on very large screens: work in 64 bits.
    const int64_t h = H;
    int32_t tile = 0;
    switch (m.AspectClass) {
        case Aspect3x2:
            tile = static_cast<int32_t>((h * 721 / 960) / 6);
            m.BoardCentreY = static_cast<int32_t>(h * 498 / 960);
            break;
        case Aspect4x3:
            tile = static_cast<int32_t>((h * 1197 / 1536) / 7);
            m.BoardCentreY = static_cast<int32_t>(h * 794 / 1536);
            break;
        case Aspect5x4:
            tile = Round(static_cast<double>(h * 1625 / 2048) / 7.5);
            m.BoardCentreY = static_cast<int32_t>(h * 1057 / 2048);
            break;
        case Aspect16x10:
            tile = Round(static_cast<double>(h * 1177 / 1600) / 5.5);
            m.BoardCentreY = static_cast<int32_t>(h * 833 / 1600);
            break;
        default:  // 16:9, and the wider and custom classes with it
            tile = Round(static_cast<double>(h * 1526 / 2160) / 5.5);
            m.BoardCentreY = static_cast<int32_t>(h * 1135 / 2160);
            break;
    }
    if (tile % 2 != 0) tile -= 1;
    m.BoardCentreX = W / 2;
    // The size comes from the height alone, which on a portrait or near-square
    // screen makes the wide boards wider than the screen: then the largest even
    // size at which they fit. Ordinary screens keep the size from the height.
    while (tile > 2 && !BoardsFit(m, tile))
        tile -= 2;
    m.TileSize = tile;
    m.TileGap = tile / 10;

    LevelButton& back = levelButtons[0];
    back.x = m.BackButtonLeft;
    back.y = m.BackButtonTop;
    back.hitLeft = back.x;
    back.hitTop = back.y;
    back.hitRight = back.x + m.HudUnit;
    back.hitBottom = back.y + m.HudUnit;
    for (int n = 1; n <= 12; ++n) {
        LevelButton& b = levelButtons[n];
        b.x = static_cast<int32_t>(static_cast<int64_t>(W) * kLevelK[n - 1] / 3840);
        b.y = Round(H - m.DesignHeight * kLevelV[n - 1] / 3072.0);
        // On screens wider than the map's proportions (21:9) the highest
        // buttons would start above the screen; keep every level reachable.
        if (b.y < 0) b.y = 0;
        b.hitLeft = b.x;
        b.hitTop = b.y;
        b.hitRight = b.x + m.LevelButtonWidth;
        b.hitBottom = b.y + m.LevelButtonHeight;
    }
}

void ComputeLogoLayout(int32_t logoNaturalWidth, int32_t logoNaturalHeight) {
    auto& m = metrics;
    m.LogoWidth = (m.ScreenWidth / 100) * 25;
    m.LogoHeight = logoNaturalWidth > 0 ? Round(static_cast<double>(logoNaturalHeight) /
                                                logoNaturalWidth * m.ScreenWidth / 100.0 * 25.0)
                                        : 0;
    m.LogoLeft = m.ScreenWidth / 4 - m.LogoWidth / 2;
    m.LogoTop = Round(m.LogoHeight / 1.5 - m.LogoHeight / 2.0);
    m.PanelCentreY = (m.ScreenHeight - m.LogoHeight) / 2 + m.LogoHeight;
    m.MenuColumnX = m.ScreenWidth / 4;
    m.MainPanelHeight = m.ScreenHeight / 2.0;
}

void ComputePanelLayout(int32_t mainNaturalHeight, int32_t widestNaturalWidth,
                        int32_t tallestNaturalHeight) {
    auto& m = metrics;
    const int64_t W = m.ScreenWidth;
    const int64_t H = m.ScreenHeight;
    const int64_t margin = std::min(W, H) / 40;
    m.MenuColumnX = m.ScreenWidth / 4;
    m.MainPanelHeight = m.ScreenHeight / 2.0;
    m.LogoLeft = m.MenuColumnX - m.LogoWidth / 2;
    if (mainNaturalHeight <= 0 || widestNaturalWidth <= 0 || tallestNaturalHeight <= 0) return;
    // The widest panel at half the screen's height, in the left column.
    const int64_t widest = widestNaturalWidth * (H / 2) / mainNaturalHeight;
    if (W / 4 - widest / 2 >= margin) return;

    // Too narrow for the column: panels centre on the screen, below the logo,
    // as large as the width and the height below the logo allow, never larger
    // than on a landscape screen of this height.
    m.MenuColumnX = m.ScreenWidth / 2;
    m.LogoLeft = m.MenuColumnX - m.LogoWidth / 2;
    int64_t height = H / 2;
    height = std::min(height, (W - 2 * margin) * mainNaturalHeight / widestNaturalWidth);
    height = std::min(height, std::max<int64_t>(0, H - m.LogoHeight - 2 * margin) *
                                  mainNaturalHeight / tallestNaturalHeight);
    m.MainPanelHeight = static_cast<double>(std::max<int64_t>(height, 1));
}

}  // namespace display
