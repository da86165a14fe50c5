// The three asset passes. The pack is opened and closed once per pass, each
// asset goes through its own memory block, and every failure ends in
// AssetFailed: the game never runs with a part of its pictures or sounds.
#include "display/assets.h"

#include <cmath>
#include <string>
#include <vector>

#include "app/log.h"
#include "app/shell.h"
#include "app/state.h"
#include "display/layout.h"
#include "display/sprites.h"
#include "engine/archive.h"
#include "engine/canvas.h"
#include "engine/display.h"
#include "engine/files.h"
#include "engine/memory.h"
#include "engine/object_table.h"
#include "engine/sound.h"
#include "engine/system.h"
#include "game/game.h"
#include "i18n/language.h"

namespace display {

namespace {

using namespace sprites;

std::string PackPath() {
    return app::folders.GameFolder + "Mnemora.data";
}

void LogLoaded(const std::string& label) {
    app::LogValue("Load asset (" + label + "):", "OK");
}

// Reads a whole entry into a fresh block; the byte count, -1 when it failed.
int64_t ReadEntry(int pack, uint8_t* block, const std::string& entry) {
    return engine::ReadArchiveEntry(pack, block, engine::BlockSize(block), entry);
}

// One picture of the catalogue after the backgrounds.
struct PictureEntry {
    const char* entry;
    const char* label;
    int32_t sprite;
    int flags;  // kSpriteKeepAlpha, or 0: black is transparent
    enum Size { Natural, Screen, Hud, LevelButton, ClockBar, Tile, Logo } size;
};

constexpr int kAlpha = engine::kSpriteKeepAlpha;

// The colour of the level-select picture's top edge, its sky (#8FD0F0):
// screens taller than the picture show it above the picture.
constexpr uint32_t kMapSkyColour = 0xFFF0D08Fu;  // red in the low byte, opaque

constexpr PictureEntry kPictures[] = {
    {"shadow.png", "shadow.png", kShadow, kAlpha, PictureEntry::Screen},
    {"pointer.png", "pointer.png", kPointer, kAlpha, PictureEntry::Natural},
    {"logo.png", "logo.png", kLogo, kAlpha, PictureEntry::Logo},
    {"credits.png", "credits.png", kCreditsSource, kAlpha, PictureEntry::Natural},
    {"quit.png", "quit.png", kQuitSource, kAlpha, PictureEntry::Natural},
    {"mainmenu.png", "mainmenu.png", kMainMenuSource, kAlpha, PictureEntry::Natural},
    {"ingame_menu.png", "ingame_menu.png", kInGameMenuSource, kAlpha, PictureEntry::Natural},
    {"settings.png", "settings.png", kSettingsSource, kAlpha, PictureEntry::Natural},
    {"button.png", "button_big.png", kButtonFace, 0, PictureEntry::Natural},
    {"button_active.png", "button_big_active.png", kButtonFaceActive, 0, PictureEntry::Natural},
    {"gui_pause.png", "gui_pause.png", 80, 0, PictureEntry::Hud},
    {"gui_pause_active.png", "gui_pause_active.png", 81, 0, PictureEntry::Hud},
    {"gui_clock.png", "gui_clock.png", 82, kAlpha, PictureEntry::Hud},
    {"levelselect_back.png", "levelselect_back.png", 77, 0, PictureEntry::Hud},
    {"levelselect_back_active.png", "levelselect_back_active.png", 78, 0, PictureEntry::Hud},
    {"level_locked.png", "level_locked.png", 83, kAlpha, PictureEntry::LevelButton},
    {"level_open.png", "level_open.png", 84, kAlpha, PictureEntry::LevelButton},
    {"levelselect_arrow.png", "levelselect_arrow.png", 79, kAlpha, PictureEntry::LevelButton},
    {"timeback.png", "timeback.png", 86, 0, PictureEntry::ClockBar},
    {"timefront.png", "timefront.png", 87, kAlpha, PictureEntry::ClockBar},
    {"level_finished.png", "level_finished.png", 85, kAlpha, PictureEntry::LevelButton},
    {"back.png", "back.png", 88, kAlpha, PictureEntry::Tile},
    // The keyboard and controller focus marks of the level map and the board.
    {"level_focus.png", "level_focus.png", 89, kAlpha, PictureEntry::LevelButton},
    {"tile_focus.png", "tile_focus.png", 90, kAlpha, PictureEntry::Tile},
};

void SizePicture(const PictureEntry& picture) {
    const auto& m = metrics;
    switch (picture.size) {
        case PictureEntry::Screen:
            engine::SetSpriteSize(picture.sprite, m.ScreenWidth, m.ScreenHeight);
            break;
        case PictureEntry::Hud:
            engine::SetSpriteSize(picture.sprite, m.HudUnit, m.HudUnit);
            break;
        case PictureEntry::LevelButton:
            engine::SetSpriteSize(picture.sprite, m.LevelButtonWidth, m.LevelButtonHeight);
            break;
        case PictureEntry::ClockBar:
            engine::SetSpriteSize(picture.sprite, m.ClockBarWidth, m.HudUnit);
            break;
        case PictureEntry::Tile:
            engine::SetSpriteSize(picture.sprite, m.TileSize, m.TileSize);
            break;
        case PictureEntry::Logo: {
            // The logo spans a quarter of the screen's width; its height keeps
            // the picture's proportions and places the panels below it.
            ComputeLogoLayout(engine::SpriteDrawWidth(picture.sprite),
                              engine::SpriteDrawHeight(picture.sprite));
            engine::SetSpriteSize(picture.sprite, m.LogoWidth, m.LogoHeight);
            break;
        }
        case PictureEntry::Natural:
            break;
    }
}

// The backgrounds, in loading order.
constexpr const char* kBackgrounds[] = {"orvanta", "menuback", "levelselect", "ingame"};

int32_t BackgroundSprite(const std::string& name) {
    if (name == "orvanta") return sprites::kSplash;
    if (name == "menuback") return sprites::kMenuBack;
    if (name == "levelselect") return 6;
    return 7;
}

void LoadBackground(int pack, const std::string& name) {
    auto& m = metrics;
    uint8_t* block = engine::AllocBlock(kBackgroundBlock);
    if (!block) AssetFailed("memory - " + name);
    const BackgroundChoice choice = ChooseBackground(name, m.AspectClass);
    if (!choice.logLine.empty()) app::LogLine(choice.logLine);
    const int64_t length = ReadEntry(pack, block, choice.entry);
    if (length < 0) {
        engine::FreeBlock(block);
        AssetFailed(choice.entry);
    }
    // The placement needs only the picture's natural size, from its header;
    // the picture is then decoded straight to the size it is drawn at.
    int naturalWidth = 0, naturalHeight = 0;
    int image = 0;
    BackgroundPlacement place;
    if (engine::PictureHeaderSize(block, length, &naturalWidth, &naturalHeight)) {
        place = PlaceBackground(name, naturalWidth, naturalHeight, m.ScreenWidth, m.ScreenHeight);
        image = engine::DecodeImageScaledSized(engine::AutoId, block, length, place.scaledWidth,
                                               place.scaledHeight);
    }
    engine::FreeBlock(block);
    if (!image) AssetFailed("image - " + name);

    const int32_t sprite = BackgroundSprite(name);
    if (engine::CreateBlankSprite(sprite, place.spriteWidth, place.spriteHeight)) {
        if (engine::BeginCanvas(engine::SpriteCanvas(sprite))) {
            // Composited, so the blank sprite takes the picture's alpha too: a
            // plain copy would leave it transparent, and the backgrounds are
            // drawn opaque, so every frame and screenshot would carry alpha 0.
            engine::SetCanvasMode(engine::kCanvasAlphaBlend);
            if (place.imageTop > 0)
                engine::FillCanvasRect(0, 0, place.spriteWidth, place.imageTop, kMapSkyColour);
            engine::BlitImage(engine::ImageBitmapHandle(image), place.imageLeft, place.imageTop);
            engine::EndCanvas();
        }
    }
    if (name == "levelselect") m.LevelSelectBackTop = place.drawTop;
    engine::ReleaseImage(image);
    LogLoaded(name);
}

void LoadPicture(int pack, const PictureEntry& picture) {
    uint8_t* block = engine::AllocBlock(kPictureBlock);
    if (!block) return;  // skipped without a word, as a small allocation failing is
    const int64_t length = ReadEntry(pack, block, picture.entry);
    if (length < 0) {
        engine::FreeBlock(block);
        AssetFailed(picture.label);
    }
    engine::SpriteFromImageDataSized(picture.sprite, block, length, picture.flags);
    engine::FreeBlock(block);
    LogLoaded(picture.label);
    SizePicture(picture);
}

// The pack entry of tile picture n (1..20): "blue01.png" to "blue20.png".
std::string TileEntry(int n) {
    return "blue" + engine::PadLeft(engine::IntToText(n), 2, "0") + ".png";
}

void LoadTiles(int pack) {
    const auto& m = metrics;
    for (int n = 1; n <= 20; ++n) {
        // Sprite 0 is the screenshot: a picture that is not there is NoObject.
        game::TilePictures[n - 1] = engine::NoObject;
        uint8_t* block = engine::AllocBlock(kPictureBlock);
        if (!block) continue;
        const int64_t length = ReadEntry(pack, block, TileEntry(n));
        if (length < 0) {
            engine::FreeBlock(block);
            AssetFailed("tiles");
        }
        const int sprite = engine::SpriteFromImageDataSized(engine::AutoId, block, length, kAlpha);
        engine::FreeBlock(block);
        game::TilePictures[n - 1] = sprite != 0 ? sprite : engine::NoObject;
        LogLoaded("tiles");
        engine::SetSpriteSize(sprite, m.TileSize, m.TileSize);
    }
}

}  // namespace

void AssetFailed(const std::string& label) {
    app::LogValue("Load asset (" + label + "):", "FAILED");
    if (engine::IsDisplayOpen()) engine::CloseDisplay();
    if (app::settings.GameScreen != 0 && engine::AppWindowExists(0)) engine::CloseAppWindow(0);
    engine::ShowMessageBox("Mnemora::" + i18n::Text("tErrorERROR"), i18n::Text("tErrorASSET"),
                           engine::kMessageBoxOk);
    app::EndProgram(1);
}

BackgroundChoice ChooseBackground(const std::string& name, int32_t aspectClass) {
    if (name == "orvanta")
        return {SplashPictureName(aspectClass), AspectLogLine(aspectClass, false)};
    if (name == "ingame") return {GamePictureName(aspectClass), AspectLogLine(aspectClass, true)};
    return {name + ".png", ""};
}

BackgroundPlacement PlaceBackground(const std::string& name, int32_t imageWidth,
                                    int32_t imageHeight, int32_t screenWidth,
                                    int32_t screenHeight) {
    BackgroundPlacement place;
    place.scaledWidth = screenWidth;
    place.scaledHeight = imageHeight;
    if (imageWidth > 0 && imageWidth != screenWidth) {
        place.scaledHeight = static_cast<int32_t>(std::lround(
            static_cast<double>(imageHeight) / imageWidth * static_cast<double>(screenWidth)));
    }
    place.spriteWidth = screenWidth;
    if (name == "menuback") {
        place.spriteHeight = screenHeight;
    } else {
        place.spriteHeight = place.scaledHeight;
    }
    // On a portrait or near-square screen a picture at the screen's width is
    // shorter than the screen, and the frame would show black beneath it.
    const bool shorter = place.scaledHeight < screenHeight && imageHeight > 0;
    if (name == "levelselect") {
        place.drawTop = screenHeight - place.scaledHeight;
        if (shorter) {
            // The buttons stand on the picture drawn at the screen's width, so
            // it stays so; the strip above it is filled with its sky.
            place.spriteHeight = screenHeight;
            place.imageTop = screenHeight - place.scaledHeight;
            place.drawTop = 0;
        }
    } else if ((name == "ingame" || name == "menuback") && shorter) {
        // Nothing is placed on the game picture or the menu background:
        // scaled to cover, centred.
        place.scaledHeight = screenHeight;
        place.scaledWidth = static_cast<int32_t>(std::lround(
            static_cast<double>(imageWidth) / imageHeight * static_cast<double>(screenHeight)));
        place.imageLeft = (screenWidth - place.scaledWidth) / 2;
        place.spriteHeight = screenHeight;
    }
    return place;
}

void LoadFontPass() {
    // The game's face first, then its companion for the characters the game's
    // face lacks: the engine takes missing characters from the faces installed
    // after it, in that order.
    static constexpr const char* kFontEntries[] = {"TitanOne-Regular.ttf",
                                                   "MPlusRounded1c-Black.ttf"};
    const int pack = engine::OpenArchive(engine::AutoId, PackPath(), engine::kArchivePack);
    if (!pack) AssetFailed("font");
    uint8_t* block = engine::AllocBlock(kLargeBlock);
    if (!block) AssetFailed("font");
    // Only into the run's private folder: under a shared one a fixed name could
    // be someone else's file or link.
    const std::string temp = engine::PrivateTempFolder();
    if (temp.empty()) AssetFailed("font");
    for (const char* entry : kFontEntries) {
        const int64_t length = ReadEntry(pack, block, entry);
        if (length < 0) AssetFailed("font");
        const std::string path = temp + entry;
        const int file = engine::NewFile(engine::AutoId, path);
        if (!file || engine::WriteBytes(file, block, length) < 1) {
            if (file) engine::CloseFileObject(file);
            AssetFailed("font");
        }
        engine::CloseFileObject(file);
        // Without its fonts the game would draw every caption in a stand-in
        // face, or none at all: that is a broken installation, not a working one.
        if (!engine::InstallPrivateFont(path)) AssetFailed(entry);
        LogLoaded(entry);
    }
    engine::FreeBlock(block);
    engine::CloseArchive(pack);
}

void LoadSoundPass() {
    struct SoundEntry {
        const char* entry;
        int32_t sound;
    };
    static constexpr SoundEntry kSounds[] = {
        {"music0.ogg", 0},
        {"music1.ogg", 1},
        {"music2.ogg", 2},
        {"music3.ogg", 3},
        {"music_kids_play_loop_01.ogg", 5},
        {"chime_tinkle_wood_bell_positive_04.ogg", 7},
        {"beep_funny_scanning_targeting_02.ogg", 8},
        {"music_kids_play_loop_02.ogg", 4},
        {"ui_menu_popup_02.ogg", 6},
    };
    const int pack = engine::OpenArchive(engine::AutoId, PackPath(), engine::kArchivePack);
    if (!pack) AssetFailed("music and sfx");
    for (const SoundEntry& sound : kSounds) {
        uint8_t* block = engine::AllocBlock(kLargeBlock);
        if (!block) AssetFailed(sound.entry);
        const int64_t length = ReadEntry(pack, block, sound.entry);
        if (length < 0) AssetFailed(sound.entry);
        if (!engine::DecodeSound(sound.sound, block, length)) AssetFailed(sound.entry);
        engine::FreeBlock(block);
        LogLoaded(sound.entry);
    }
    engine::CloseArchive(pack);
}

// Every picture the pass reads, in the order it reads them; the backgrounds
// with the size LoadBackground decodes them to.
std::vector<engine::DecodeAheadEntry> PicturePassEntries() {
    std::vector<engine::DecodeAheadEntry> entries;
    const int32_t screenWidth = metrics.ScreenWidth, screenHeight = metrics.ScreenHeight;
    for (const char* name : kBackgrounds) {
        auto sizer = [name = std::string(name), screenWidth, screenHeight](
                         int width, int height, int* toWidth, int* toHeight) {
            const BackgroundPlacement place =
                PlaceBackground(name, width, height, screenWidth, screenHeight);
            *toWidth = place.scaledWidth;
            *toHeight = place.scaledHeight;
        };
        entries.push_back({ChooseBackground(name, metrics.AspectClass).entry, sizer});
    }
    for (const PictureEntry& picture : kPictures)
        entries.push_back({picture.entry, nullptr});
    for (int n = 1; n <= 20; ++n)
        entries.push_back({TileEntry(n), nullptr});
    return entries;
}

void LoadPicturePass() {
    const int pack = engine::OpenArchive(engine::AutoId, PackPath(), engine::kArchivePack);
    if (!pack) AssetFailed("");
    // The engine decodes the pictures on the second core while this pass
    // builds sprites from the ones before; each is still loaded, checked and
    // logged here in turn.
    engine::DecodeAhead(pack, PicturePassEntries());
    for (const char* name : kBackgrounds) {
        LoadBackground(pack, name);
    }
    // The panel sources stay untouched: each dialog draws its texts on a copy
    // of its own, made when the dialogs are built.
    for (const PictureEntry& picture : kPictures)
        LoadPicture(pack, picture);
    LoadTiles(pack);
    engine::EndDecodeAhead();
    engine::CloseArchive(pack);
}

void CreateFonts() {
    struct FontEntry {
        int32_t number;
        int32_t size;
    };
    static constexpr FontEntry kFonts[] = {{1, 40}, {0, 30}, {3, 33}, {2, 26},
                                           {4, 26}, {5, 50}, {6, 50}, {7, 50}};
    for (const FontEntry& font : kFonts) {
        engine::LoadFontFace(font.number, "Titan One", font.size, engine::kFontHighQuality);
    }
}

void CreatePanelStrip() {
    if (!engine::CreateBlankSprite(sprites::kRowStrip, 920, 60)) return;
    if (!engine::BeginCanvas(engine::SpriteCanvas(sprites::kRowStrip))) return;
    // Composited at full alpha: a blank sprite starts transparent, and a strip
    // that only took the colour's red, green and blue would never show.
    engine::SetCanvasMode(engine::kCanvasAlphaBlend);
    engine::FillCanvasRect(0, 0, 920, 60, app::colours.ColourPanel | 0xFF000000u);
    engine::EndCanvas();
}

}  // namespace display
