// Display metrics: the screen size, its aspect class and every layout number
// derived from them. Everything the game draws is placed from these values, so
// the layout follows the display's own pixel size rather than a design size.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace display {

enum AspectClassId : int32_t {
    Aspect3x2 = 0,
    Aspect4x3 = 1,
    Aspect5x4 = 2,
    Aspect16x9 = 3,
    Aspect16x10 = 4,
    Aspect17x9 = 5,
    Aspect21x9 = 6,
    AspectCustom = 7,
};

// One button of the level-select screen: record 0 is the back button, 1..12
// the levels. The sprite is the level's look (locked, open, finished).
struct LevelButton {
    int32_t x = 0, y = 0;
    int32_t hitLeft = 0, hitTop = 0, hitRight = 0, hitBottom = 0;
    int32_t sprite = 0;
};

struct Metrics {
    int32_t ScreenWidth = 0;
    int32_t ScreenHeight = 0;
    int32_t AspectClass = AspectCustom;

    int32_t SplashSlideStep = 0;
    int32_t HudUnit = 0;
    int32_t BackButtonLeft = 0, BackButtonTop = 0;
    int32_t PauseButtonLeft = 0, PauseButtonTop = 0;
    int32_t LevelButtonWidth = 0, LevelButtonHeight = 0;
    int32_t ClockBarWidth = 0, ClockBarLeft = 0, ClockBarTop = 0;
    int32_t ClockIconLeft = 0, ClockIconTop = 0;
    double DesignHeight = 0;
    int32_t TileSize = 0, TileGap = 0;
    int32_t BoardCentreX = 0, BoardCentreY = 0;

    // Filled by the picture pass: the level-select background (sprite 6) is
    // drawn at (0, LevelSelectBackTop), its bottom edge on the screen's bottom
    // edge, because the level buttons are placed from the bottom; negative when
    // the picture is taller than the screen.
    int32_t LevelSelectBackTop = 0;

    // Filled after the picture pass, from the logo's drawn size.
    int32_t LogoWidth = 0, LogoHeight = 0;
    int32_t LogoLeft = 0, LogoTop = 0;
    int32_t PanelCentreY = 0;

    // Filled by ComputePanelLayout when the dialogs are built: the vertical
    // line the menu column's panels and buttons centre on, and the display
    // height of the main-menu panel (which scales every panel and caption
    // button).
    int32_t MenuColumnX = 0;
    double MainPanelHeight = 0;
};

extern Metrics metrics;

// The level-button table: positions of the back button (0) and levels 1..12.
extern std::array<LevelButton, 13> levelButtons;

// The window sizes offered in windowed mode, indexed by the "Resolution" setting.
inline constexpr int kResolutionCount = 9;
const std::array<std::string, kResolutionCount>& ResolutionList();
// The index clamped into the list, so a bad stored value never reads outside it.
int32_t ClampResolution(int32_t index);

// The aspect class of a display size, decided from width / height written with
// two decimals: "1.78" is 16:9, "1.33" is 4:3, and so on; 7 for anything else.
int32_t ClassifyAspect(int32_t width, int32_t height);

// The text of the class for the log line written before an aspect-dependent
// background ("AspectRatio:  16:9"); empty for classes that write none.
std::string AspectLogLine(int32_t aspectClass, bool gamePicture);
// The class suffix of the splash ("orvanta_") and game ("ingame_") pictures.
std::string SplashPictureName(int32_t aspectClass);
std::string GamePictureName(int32_t aspectClass);

// Fills every metric from ScreenWidth, ScreenHeight and AspectClass, and the
// positions and hit rectangles of the level-button table (sprites untouched).
void ComputeLayout();
// Places the logo (drawn at a quarter of the screen width, keeping the picture's
// proportions) and the panels' vertical centre below it.
void ComputeLogoLayout(int32_t logoNaturalWidth, int32_t logoNaturalHeight);
// Places the menu column and fixes the panels' scale from the natural sizes of
// the panel pictures: the main menu's height, and the widest and tallest of all
// panels. Where the column at a quarter of the width holds the widest panel at
// half the screen's height, a margin (a 40th of the shorter side) clear of the
// edge, that is the layout; on portrait and near-square screens the column
// moves to the middle (the logo with it) and the scale shrinks only as far as
// every panel needs to stay inside the margin, below the logo.
void ComputePanelLayout(int32_t mainNaturalHeight, int32_t widestNaturalWidth,
                        int32_t tallestNaturalHeight);

}  // namespace display
