// The catalogue of the fixed sprite numbers of the screens and menus: the
// full-screen pictures, the panels' source pictures and the copies the screens
// draw their titles and texts on, and the caption buttons. A caption button's
// active picture is its normal one + 1, so only the normal numbers are named.
// Game play's own pictures (77 to 90) are named in game/game.h.
#pragma once

#include <cstdint>

namespace display::sprites {

// Full-screen pictures and the logo.
inline constexpr int32_t kShadow = 1;  // the dimming layer under the overlays
inline constexpr int32_t kSplash = 2;
inline constexpr int32_t kLogo = 3;
inline constexpr int32_t kMenuBack = 4;
inline constexpr int32_t kPointer = 5;

// The caption buttons' faces and the panels' source pictures, as loaded.
inline constexpr int32_t kButtonFace = 8;
inline constexpr int32_t kButtonFaceActive = 9;
inline constexpr int32_t kMainMenuSource = 11;
inline constexpr int32_t kSettingsSource = 13;
inline constexpr int32_t kCreditsSource = 15;
inline constexpr int32_t kQuitSource = 18;
inline constexpr int32_t kInGameMenuSource = 20;

// The panels each screen renders on a copy of its source.
inline constexpr int32_t kMainMenuPanel = 10;
inline constexpr int32_t kSettingsPanel = 12;
inline constexpr int32_t kCreditsPanel = 14;
inline constexpr int32_t kHelpPanel = 16;
inline constexpr int32_t kQuitPanel = 17;
inline constexpr int32_t kPausePanel = 19;
inline constexpr int32_t kLevelFinishedPanel = 21;
inline constexpr int32_t kLevelFailedPanel = 22;
inline constexpr int32_t kGameCompletedPanel = 23;

// Caption buttons: the normal picture of each, in slot order.
inline constexpr int32_t kMainMenuNormals[5] = {24, 26, 28, 30, 32};
inline constexpr int32_t kPauseNormals[3] = {34, 36, 38};
inline constexpr int32_t kOkNormal = 54;
inline constexpr int32_t kCancelNormal = 56;
inline constexpr int32_t kHelpBackNormal = 58;
inline constexpr int32_t kCreditsBackNormal = 60;
inline constexpr int32_t kQuitNormals[2] = {62, 64};  // YES, NO
inline constexpr int32_t kLevelFinishedNormals[2] = {66, 68};
inline constexpr int32_t kLevelFailedNormals[2] = {70, 72};
inline constexpr int32_t kGameCompletedNormals[1] = {74};

// The settings rows' on/off and screen-mode pictures (normal, + 1 hovered).
inline constexpr int32_t kMusicOn = 40;
inline constexpr int32_t kMusicOff = 42;
inline constexpr int32_t kSoundsOn = 44;
inline constexpr int32_t kSoundsOff = 46;
inline constexpr int32_t kModeWindowed = 48;
inline constexpr int32_t kModeFullscreen = 50;
inline constexpr int32_t kModeBorderless = 52;
// The blank strip behind the settings rows.
inline constexpr int32_t kRowStrip = 76;

}  // namespace display::sprites
