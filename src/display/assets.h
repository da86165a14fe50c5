// The asset catalogue and its three loading passes: the font, then the music
// and sound effects, then (with the display open) every picture, the tile set
// and the eight fonts. Every asset comes from the data pack "Mnemora.data"
// beside the program, is read whole into a fresh memory block, decoded from
// there and the block freed. Any asset that cannot be read is fatal.
#pragma once

#include <cstdint>
#include <string>

namespace display {

// Block sizes: an entry larger than its block cannot be read.
inline constexpr int64_t kLargeBlock = 15728640;      // font, music, effects
inline constexpr int64_t kBackgroundBlock = 4194304;  // the four backgrounds
inline constexpr int64_t kPictureBlock = 204800;      // every other picture

// Logs "Load asset (label):" FAILED, closes the display and window, shows the
// "tErrorASSET" box and ends the program. Never returns.
[[noreturn]] void AssetFailed(const std::string& label);

void LoadFontPass();
void LoadSoundPass();
// Needs the open display and the layout metrics; fills the logo metrics too.
void LoadPicturePass();
// The eight fonts of face "Titan One", numbers 0..7.
void CreateFonts();
// Sprite 76: the 920 x 60 strip behind the settings rows, in ColourPanel.
void CreatePanelStrip();

// Which pack entry a background comes from for an aspect class, and the log
// line written before it is read ("" for none): "orvanta" and "ingame" depend
// on the class, "menuback" and "levelselect" do not.
struct BackgroundChoice {
    std::string entry;
    std::string logLine;
};
BackgroundChoice ChooseBackground(const std::string& name, int32_t aspectClass);

// Where a background lands on the screen: scaled to the screen's width keeping
// its proportions, the sprite's size, and the y it is drawn at (its bottom on
// the screen's bottom for the level-select map, else 0). On a screen taller
// than the picture at its width, the map's sprite is the screen's height with
// the picture at its bottom (imageTop) and its sky above, and the game picture
// and the menu background are scaled to cover the screen instead, centred
// (imageLeft).
struct BackgroundPlacement {
    int32_t scaledWidth = 0, scaledHeight = 0;
    int32_t spriteWidth = 0, spriteHeight = 0;
    int32_t imageLeft = 0, imageTop = 0;
    int32_t drawTop = 0;
};
BackgroundPlacement PlaceBackground(const std::string& name, int32_t imageWidth,
                                    int32_t imageHeight, int32_t screenWidth, int32_t screenHeight);

}  // namespace display
