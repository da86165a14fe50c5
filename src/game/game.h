// Game play: the level table, dealing a board, the turn rules, the clock, the
// game screen, the level-select map and the progress file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace game {

struct LevelSpec {
    int32_t columns;
    int32_t rows;
    int32_t tiles;
    int64_t timeLimitMs;
    int32_t musicTrack;  // sound number of the level's music
};
// Level n (1..12) is LevelTable()[n - 1].
const std::array<LevelSpec, 12>& LevelTable();

enum TileFace : uint8_t { FaceRemoved = 0, FaceDown = 1, FaceUp = 2, FaceFading = 3 };

struct Tile {
    int32_t picture = 0;
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    uint8_t face = FaceRemoved;
    int32_t dealDelay = 0;
    int32_t dealOpacity = 0;
};

// The level being played and its turn and clock state.
struct LevelState {
    int32_t current = 1;  // 1..12
    int32_t columns = 0, rows = 0;
    int32_t tilesLeft = 0;
    int64_t timeLimit = 0;
    int32_t musicTrack = 1;
    std::vector<Tile> board;    // column-major: index = column * rows + row
    std::vector<int32_t> deck;  // picture sprite numbers

    int32_t revealed = 0;
    int32_t firstColumn = 0, firstRow = 0, secondColumn = 0, secondRow = 0;
    int32_t matchFade = 255;
    int32_t turnSound = 0;
    int32_t boardInput = 0;

    int64_t startTime = 0, remaining = 0, pauseStart = 0;
    int32_t pauseSprite = 80;
};
extern LevelState level;

Tile& TileAt(int32_t column, int32_t row);

// The sprite numbers of the twenty tile pictures, filled by the picture pass.
extern std::array<int32_t, 20> TilePictures;

// Deals the current level; starts its music when asked and Music is on.
void SetUpLevel(bool withMusic);
// One frame of dealing; ends it (clock starts, state Playing) when the last
// tile is in.
void DealStep();
// A click while Playing with board input on: the pause button or a tile.
void BoardClick(int32_t x, int32_t y);
// Once per frame while Playing with board input on: turn resolution, then the
// clock.
void PlayStep();
// The pause button's hover look while Playing.
void HoverPauseButton(int32_t x, int32_t y);
// The visible clock bar width for the remaining time; prepares the bar sprite.
int32_t UpdateClockBar(int64_t remaining);
// Pausing (Escape or the pause button) and resuming shift the level clock.
void BeginPause();
void ResumeFromPause();
// Draws the game screen: background, HUD, tiles (dealing or by face).
void DrawGameScreen();

// Level select.
struct ArrowState {
    int32_t x = 0, y = 0, topBound = 0, bottomBound = 0, step = 0, direction = 1, shown = 0;
};
extern ArrowState arrow;
enum LevelLook : int32_t { LevelLocked = 83, LevelOpen = 84, LevelFinishedLook = 85 };
void OpenLevelSelect();
void DrawLevelSelect();
void AnimateLevelSelect();
void HoverLevelSelect(int32_t x, int32_t y);
void ClickLevelSelect(int32_t x, int32_t y);
// A win: the level becomes finished and the next one opens if locked.
void MarkLevelWon(int32_t levelNumber);

// Progress file "Mnemora.scores" in the given folder (ending with "/").
int32_t LoadProgress(const std::string& folder);
int32_t SaveProgress(const std::string& folder);

}  // namespace game
