// The level-select map: twelve level buttons along the painted path, each
// locked, open or finished, a back button, and an arrow bobbing above the first
// level that is open but not yet finished.
//
// A button's look is the player's progress: the sprite number held in its
// LevelButton record is what the screen draws, what a win changes and what the
// progress file stores.
#include "app/state.h"
#include "audio/audio.h"
#include "display/layout.h"
#include "engine/display.h"
#include "game/game.h"

namespace game {

ArrowState arrow;

namespace {

// The arrow moves this many steps each way, its height in all.
constexpr int32_t kArrowSteps = 18;

bool StrictlyInside(const display::LevelButton& b, int32_t x, int32_t y) {
    return b.hitLeft < x && x < b.hitRight && b.hitTop < y && y < b.hitBottom;
}

}  // namespace

void OpenLevelSelect() {
    auto& buttons = display::levelButtons;
    SizeGameSprites();
    buttons[0].sprite = SpriteBackButton;
    for (int32_t n = 1; n <= kLevelCount; ++n) {
        const display::LevelButton& b = buttons[static_cast<size_t>(n)];
        if (b.sprite != LevelOpen) continue;
        const int32_t height = display::metrics.LevelButtonHeight;
        arrow.x = b.hitLeft;
        arrow.shown = 1;
        arrow.step = height / kArrowSteps;
        arrow.pointsUp = b.hitTop - height < 0 ? 1 : 0;
        if (arrow.pointsUp == 0) {
            // Above the button, bobbing down towards it.
            arrow.y = b.hitTop - height;
            arrow.direction = 1;
            arrow.topBound = arrow.y;
            arrow.bottomBound = arrow.y + arrow.step * kArrowSteps;
        } else {
            // A button at the screen's top edge (held there on wide screens)
            // has no room above it: the arrow stands below it, upside down,
            // and bobs up towards it.
            arrow.y = b.hitBottom;
            arrow.direction = 0;
            arrow.bottomBound = arrow.y;
            arrow.topBound = arrow.y - arrow.step * kArrowSteps;
        }
        break;
    }
    // With no open level the arrow keeps its last state (hidden once the game
    // is completed).
    app::loop.ScreenState = app::LevelSelect;
}

void DrawLevelSelect() {
    // The map is drawn at the screen's width with its bottom edge on the
    // screen's bottom edge; the buttons were placed on it that way.
    const int32_t top =
        display::metrics.ScreenHeight - engine::SpriteDrawHeight(SpriteLevelSelectBack);
    engine::DrawSpriteOpaque(SpriteLevelSelectBack, 0, top);
    for (const display::LevelButton& b : display::levelButtons)
        engine::DrawSprite(b.sprite, b.x, b.y);
    if (arrow.shown == 1) {
        engine::SetSpriteMirror(SpriteArrow, arrow.pointsUp == 1 ? 2 : 0);
        engine::DrawSprite(SpriteArrow, arrow.x, arrow.y);
    }
}

void AnimateLevelSelect() {
    if (arrow.shown != 1) return;
    // One frame's rest at each end: the turn takes a pass of its own.
    if (arrow.direction == 0) {
        if (arrow.y > arrow.topBound) {
            arrow.y -= arrow.step;
        } else {
            arrow.direction = 1;
        }
    } else {
        if (arrow.y < arrow.bottomBound) {
            arrow.y += arrow.step;
        } else {
            arrow.direction = 0;
        }
    }
}

void HoverLevelSelect(int32_t x, int32_t y) {
    display::LevelButton& back = display::levelButtons[0];
    back.sprite = StrictlyInside(back, x, y) ? SpriteBackButtonActive : SpriteBackButton;
}

void ClickLevelSelect(int32_t x, int32_t y) {
    const auto& buttons = display::levelButtons;
    for (int32_t n = 0; n <= kLevelCount; ++n) {
        const display::LevelButton& b = buttons[static_cast<size_t>(n)];
        if (!StrictlyInside(b, x, y)) continue;
        if (n == 0) {
            audio::PlayEffect(audio::ClickEffect, app::settings.MusicVolume);
            EnterMenuScreen(app::MainMenu);
            return;
        }
        // A locked level does nothing, not even a sound.
        if (b.sprite <= LevelLocked) return;
        audio::PlayEffect(audio::ClickEffect, app::settings.MusicVolume);
        level.current = n;
        // The menu music goes even when Music was switched off while it played.
        if (audio::IsMusicPlaying(audio::MenuMusic))
            audio::StopMusic(audio::MenuMusic, audio::music.musicChannel);
        SetUpLevel(true);
        return;
    }
}

void MarkLevelWon(int32_t levelNumber) {
    if (levelNumber < 1 || levelNumber > kLevelCount) return;
    auto& buttons = display::levelButtons;
    buttons[static_cast<size_t>(levelNumber)].sprite = LevelFinishedLook;
    // Only a locked next level opens; a finished one stays finished.
    if (levelNumber < kLevelCount &&
        buttons[static_cast<size_t>(levelNumber + 1)].sprite == LevelLocked)
        buttons[static_cast<size_t>(levelNumber + 1)].sprite = LevelOpen;
}

}  // namespace game
