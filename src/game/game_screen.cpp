// The game screen: the in-game background, the pause button, the clock bar
// with its icon, and the tiles, redrawn whole every frame.
//
// The clock bar shrinks by showing less of its front picture rather than by
// redrawing it: UpdateClockBar narrows the sprite's source rectangle to the
// right-hand part of the picture and its drawn width to the visible width, so
// the bar keeps its left end and always shows its rounded right end.
#include <algorithm>

#include "app/state.h"
#include "display/layout.h"
#include "engine/display.h"
#include "game/game.h"

namespace game {

void SizeGameSprites() {
    const auto& m = display::metrics;
    const int32_t hud = m.HudUnit;
    for (int32_t sprite : {SpritePause, SpritePauseActive, SpriteClockIcon, SpriteBackButton,
                           SpriteBackButtonActive}) {
        engine::SetSpriteSize(sprite, hud, hud);
    }
    engine::SetSpriteSize(SpriteClockBack, m.ClockBarWidth, hud);
    engine::SetSpriteSize(SpriteTileBack, m.TileSize, m.TileSize);
    for (int32_t picture : TilePictures) {
        if (picture > 0) engine::SetSpriteSize(picture, m.TileSize, m.TileSize);
    }
    for (int32_t sprite :
         {static_cast<int32_t>(SpriteArrow), static_cast<int32_t>(LevelLocked),
          static_cast<int32_t>(LevelOpen), static_cast<int32_t>(LevelFinishedLook)}) {
        engine::SetSpriteSize(sprite, m.LevelButtonWidth, m.LevelButtonHeight);
    }
}

int32_t UpdateClockBar(int64_t remaining) {
    const auto& m = display::metrics;
    const int64_t barWidth = m.ClockBarWidth;
    int64_t visible = level.timeLimit > 0 ? remaining * barWidth / level.timeLimit : 0;
    visible = std::clamp<int64_t>(visible, 0, barWidth);

    // The source rectangle is in the front picture's own texels, which need
    // not be as many as the bar is wide on screen.
    engine::SetSpriteSourceRect(SpriteClockFront, -1, -1, -1, -1);
    const int64_t naturalWidth = engine::SpriteDrawWidth(SpriteClockFront);
    const int32_t naturalHeight = engine::SpriteDrawHeight(SpriteClockFront);
    const int64_t sourceX = barWidth > 0 ? naturalWidth * (barWidth - visible) / barWidth : 0;
    engine::SetSpriteSourceRect(SpriteClockFront, static_cast<int32_t>(sourceX), 0,
                                static_cast<int32_t>(naturalWidth - sourceX), naturalHeight);
    engine::SetSpriteSize(SpriteClockFront, static_cast<int32_t>(visible), m.HudUnit);

    level.barVisible = static_cast<int32_t>(visible);
    level.barSourceX = static_cast<int32_t>(sourceX);
    level.barSourceWidth = static_cast<int32_t>(naturalWidth - sourceX);
    return level.barVisible;
}

void DrawGameScreen() {
    const auto& m = display::metrics;
    engine::DrawSpriteOpaque(SpriteGameBack, 0, 0);
    engine::DrawSpriteOpaque(level.pauseSprite, m.PauseButtonLeft, m.PauseButtonTop);
    engine::DrawSpriteOpaque(SpriteClockBack, m.ClockBarLeft, m.ClockBarTop);
    engine::DrawSprite(SpriteClockFront, m.ClockBarLeft, m.ClockBarTop);
    engine::DrawSprite(SpriteClockIcon, m.ClockIconLeft, m.ClockIconTop);

    // The board vector is column-major, so this is column by column and row by
    // row inside each column: of a fading pair, the tile drawn first is 4
    // steps more opaque than the other.
    if (app::loop.ScreenState == app::Dealing) {
        for (const Tile& t : level.board)
            engine::DrawSpriteAlpha(SpriteTileBack, t.left, t.top, t.dealOpacity);
        return;
    }
    for (const Tile& t : level.board) {
        switch (t.face) {
            case FaceDown:
                engine::DrawSprite(SpriteTileBack, t.left, t.top);
                break;
            case FaceUp:
                engine::DrawSprite(t.picture, t.left, t.top);
                break;
            case FaceFading:
                engine::DrawSpriteAlpha(t.picture, t.left, t.top, level.matchFade);
                // The fade goes on behind the pause menu; stopping once the pair
                // is invisible keeps a long pause from running the count down
                // without end.
                if (level.matchFade > 0) level.matchFade -= 4;
                break;
            default:
                break;
        }
    }
}

}  // namespace game
