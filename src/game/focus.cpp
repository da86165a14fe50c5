// Keyboard and controller focus on the level map and on the board: which
// level button or tile the arrow keys, Tab and the pad have reached, how it
// moves, what activating it does (exactly what a click at its centre does)
// and the mark that shows it: a ring over a level, the back button's active
// look, a frame over a tile.
#include "app/state.h"
#include "display/layout.h"
#include "display/navigation.h"
#include "engine/display.h"
#include "game/game.h"

namespace game {

BoardFocus focus;

namespace {

// The level map's buttons: the back button and the playable levels.
std::vector<display::FocusRect> LevelRects() {
    std::vector<display::FocusRect> rects;
    for (size_t n = 0; n < display::levelButtons.size(); ++n) {
        const display::LevelButton& b = display::levelButtons[n];
        rects.push_back(
            {b.hitLeft, b.hitTop, b.hitRight, b.hitBottom, n == 0 || b.sprite > LevelLocked});
    }
    return rects;
}

bool LevelFocusValid() {
    const auto rects = LevelRects();
    return focus.level >= 0 && focus.level < static_cast<int32_t>(rects.size()) &&
           rects[static_cast<size_t>(focus.level)].enabled;
}

void ShowBackButtonFocus() {
    display::levelButtons[0].sprite = focus.level == 0 ? SpriteBackButtonActive : SpriteBackButton;
}

// The board's tiles in reading order (row by row), and their board indexes.
// Tiles still on the board can take the focus; removed and fading ones not.
struct BoardRects {
    std::vector<display::FocusRect> rects;
    std::vector<int32_t> boardIndex;
};
BoardRects TileRects() {
    BoardRects out;
    for (int32_t r = 0; r < level.rows; ++r) {
        for (int32_t c = 0; c < level.columns; ++c) {
            const int32_t index = c * level.rows + r;
            if (index >= static_cast<int32_t>(level.board.size())) continue;
            const Tile& t = level.board[static_cast<size_t>(index)];
            out.rects.push_back(
                {t.left, t.top, t.right, t.bottom, t.face == FaceDown || t.face == FaceUp});
            out.boardIndex.push_back(index);
        }
    }
    return out;
}

int32_t ReadingPosition(const BoardRects& b, int32_t boardIndex) {
    for (size_t i = 0; i < b.boardIndex.size(); ++i)
        if (b.boardIndex[i] == boardIndex) return static_cast<int32_t>(i);
    return -1;
}

}  // namespace

void PlaceLevelSelectFocus() {
    if (!LevelFocusValid()) {
        // The level the arrow points at, else the first playable one, else back.
        focus.level = 0;
        for (int32_t n = 1; n <= kLevelCount; ++n) {
            if (display::levelButtons[static_cast<size_t>(n)].sprite == LevelOpen) {
                focus.level = n;
                break;
            }
        }
        if (focus.level == 0) {
            for (int32_t n = 1; n <= kLevelCount && focus.level == 0; ++n)
                if (display::levelButtons[static_cast<size_t>(n)].sprite > LevelLocked)
                    focus.level = n;
        }
    }
    ShowBackButtonFocus();
}

void MoveLevelSelectFocus(int32_t dx, int32_t dy, int32_t step) {
    PlaceLevelSelectFocus();
    const auto rects = LevelRects();
    focus.level = step != 0 ? display::StepInOrder(rects, focus.level, step)
                            : display::NearestInDirection(rects, focus.level, dx, dy);
    ShowBackButtonFocus();
}

void ActivateLevelSelectFocus() {
    if (!LevelFocusValid()) return;
    const display::LevelButton& b = display::levelButtons[static_cast<size_t>(focus.level)];
    ClickLevelSelect((b.hitLeft + b.hitRight) / 2, (b.hitTop + b.hitBottom) / 2);
}

void DrawLevelSelectFocus(bool shown) {
    if (!shown || focus.level < 1 || !LevelFocusValid()) return;
    const display::LevelButton& b = display::levelButtons[static_cast<size_t>(focus.level)];
    engine::DrawSprite(SpriteLevelFocus, b.x, b.y);
}

void PlaceBoardFocus() {
    // A tile that went stays focused as a place on the board: the next move
    // starts from there.
    if (focus.tile >= 0 && focus.tile < static_cast<int32_t>(level.board.size())) return;
    const BoardRects b = TileRects();
    const int32_t first = display::StepInOrder(b.rects, -1, 1);
    focus.tile = first >= 0 && first < static_cast<int32_t>(b.boardIndex.size())
                     ? b.boardIndex[static_cast<size_t>(first)]
                     : -1;
}

void MoveBoardFocus(int32_t dx, int32_t dy, int32_t step) {
    PlaceBoardFocus();
    const BoardRects b = TileRects();
    const int32_t from = ReadingPosition(b, focus.tile);
    if (from < 0) return;
    const int32_t to = step != 0 ? display::StepInOrder(b.rects, from, step)
                                 : display::NearestInDirection(b.rects, from, dx, dy);
    focus.tile = b.boardIndex[static_cast<size_t>(to)];
}

void ActivateBoardFocus() {
    if (level.boardInput != 1 || focus.tile < 0 ||
        focus.tile >= static_cast<int32_t>(level.board.size()))
        return;
    const Tile& t = level.board[static_cast<size_t>(focus.tile)];
    BoardClick((t.left + t.right) / 2, (t.top + t.bottom) / 2);
}

void DrawBoardFocus(bool shown) {
    if (!shown || focus.tile < 0 || focus.tile >= static_cast<int32_t>(level.board.size())) return;
    const Tile& t = level.board[static_cast<size_t>(focus.tile)];
    engine::DrawSprite(SpriteTileFocus, t.left, t.top);
}

}  // namespace game
