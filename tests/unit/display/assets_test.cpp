// Which background pictures the picture pass reads for each aspect class, and
// where the backgrounds land on the screen.
#include <gtest/gtest.h>

#include "display/assets.h"
#include "display/layout.h"

namespace {

using display::ChooseBackground;
using display::PlaceBackground;

TEST(BackgroundChoiceTest, AspectClassesPickTheirPicturesAndLogLines) {
    const int32_t c1920 = display::ClassifyAspect(1920, 1080);
    EXPECT_EQ(ChooseBackground("orvanta", c1920).entry, "orvanta_16x9.png");
    EXPECT_EQ(ChooseBackground("orvanta", c1920).logLine, "AspectRatio:  16:9");
    EXPECT_EQ(ChooseBackground("ingame", c1920).logLine, "AspectRatio:  16:9");

    // 3440 x 1440 is 21:9: the 16:9 pictures, and no class line before either.
    const int32_t wide = display::ClassifyAspect(3440, 1440);
    EXPECT_EQ(wide, display::Aspect21x9);
    EXPECT_EQ(ChooseBackground("orvanta", wide).entry, "orvanta_16x9.png");
    EXPECT_EQ(ChooseBackground("orvanta", wide).logLine, "");
    EXPECT_EQ(ChooseBackground("ingame", wide).entry, "ingame_16x9.png");
    EXPECT_EQ(ChooseBackground("ingame", wide).logLine, "");

    // 4096 x 2160 is 17:9: its own splash, the 16:9 game picture without a line.
    const int32_t c17 = display::ClassifyAspect(4096, 2160);
    EXPECT_EQ(ChooseBackground("orvanta", c17).entry, "orvanta_17x9.png");
    EXPECT_EQ(ChooseBackground("orvanta", c17).logLine, "AspectRatio:  17:9");
    EXPECT_EQ(ChooseBackground("ingame", c17).entry, "ingame_16x9.png");
    EXPECT_EQ(ChooseBackground("ingame", c17).logLine, "");

    const int32_t c43 = display::ClassifyAspect(1024, 768);
    EXPECT_EQ(ChooseBackground("orvanta", c43).entry, "orvanta_4x3.png");
    EXPECT_EQ(ChooseBackground("ingame", c43).entry, "ingame_4x3.png");
    EXPECT_EQ(ChooseBackground("ingame", c43).logLine, "AspectRatio:  3:3");
    EXPECT_EQ(ChooseBackground("orvanta", display::ClassifyAspect(1280, 1024)).entry,
              "orvanta_5x4.png");
    EXPECT_EQ(ChooseBackground("orvanta", display::AspectCustom).logLine, "AspectRatio:  custom");

    // The menu and map pictures are the same for every class.
    EXPECT_EQ(ChooseBackground("menuback", wide).entry, "menuback.png");
    EXPECT_EQ(ChooseBackground("levelselect", c43).entry, "levelselect.png");
    EXPECT_EQ(ChooseBackground("levelselect", c43).logLine, "");
}

TEST(BackgroundPlacementTest, ScaledToTheScreenWidthKeepingProportions) {
    // A 3840-wide picture on a 1024-wide screen.
    const auto splash = PlaceBackground("orvanta", 3840, 2160, 1024, 768);
    EXPECT_EQ(splash.scaledHeight, 576);
    EXPECT_EQ(splash.spriteWidth, 1024);
    EXPECT_EQ(splash.spriteHeight, 576);
    EXPECT_EQ(splash.drawTop, 0);

    // The menu background fills the screen, top-aligned.
    const auto menu = PlaceBackground("menuback", 3840, 2400, 1920, 1080);
    EXPECT_EQ(menu.spriteHeight, 1080);
    EXPECT_EQ(menu.drawTop, 0);

    // A picture already at the screen's width is not scaled.
    EXPECT_EQ(PlaceBackground("ingame", 1920, 1200, 1920, 1080).scaledHeight, 1200);
}

TEST(BackgroundPlacementTest, LevelMapSitsOnTheScreensBottomEdge) {
    // The map is 3840 x 3072; its level buttons are placed from the bottom,
    // so its bottom edge must be the screen's on every class.
    for (auto [w, h] : {std::pair{1920, 1080}, {1024, 768}, {2560, 1080}, {1280, 1024}}) {
        const auto map = PlaceBackground("levelselect", 3840, 3072, w, h);
        EXPECT_EQ(map.spriteWidth, w);
        EXPECT_EQ(map.drawTop + map.spriteHeight, h) << w << " x " << h;
    }
    EXPECT_EQ(PlaceBackground("levelselect", 3840, 3072, 1920, 1080).drawTop, 1080 - 1536);

    // On a portrait screen the map (864 high at 1080 wide) keeps its place at
    // the bottom and the sprite fills the screen: its sky above, nothing undrawn.
    const auto portrait = PlaceBackground("levelselect", 3840, 3072, 1080, 1920);
    EXPECT_EQ(portrait.scaledWidth, 1080);
    EXPECT_EQ(portrait.scaledHeight, 864);
    EXPECT_EQ(portrait.spriteHeight, 1920);
    EXPECT_EQ(portrait.drawTop, 0);
    EXPECT_EQ(portrait.imageTop, 1920 - 864);
    // The game picture is scaled to cover it instead, centred.
    const auto game = PlaceBackground("ingame", 3840, 2160, 1080, 1920);
    EXPECT_EQ(game.scaledHeight, 1920);
    EXPECT_EQ(game.scaledWidth, 3413);
    EXPECT_EQ(game.imageLeft, (1080 - 3413) / 2);
    EXPECT_EQ(game.spriteHeight, 1920);
    EXPECT_EQ(PlaceBackground("ingame", 3840, 2160, 1920, 1080).imageLeft, 0);

    // So is the menu background on portrait and near-square screens: the
    // sprite is the screen, the picture covers it, centred.
    for (auto [w, h] : {std::pair{1080, 1920}, {1200, 1920}, {1000, 1000}}) {
        const auto menu = PlaceBackground("menuback", 3840, 2400, w, h);
        EXPECT_EQ(menu.spriteWidth, w);
        EXPECT_EQ(menu.spriteHeight, h);
        EXPECT_GE(menu.scaledHeight, h);
        EXPECT_LE(menu.imageLeft, 0);
        EXPECT_GE(menu.imageLeft + menu.scaledWidth, w) << w << " x " << h;
        EXPECT_EQ(menu.imageTop, 0);
    }
}

}  // namespace
