// Game play: the level table, dealing a board, the turn rules, the clock, the
// game screen, the level-select map and the progress file.
//
// Everything here runs once per frame from the main loop's branches: dealing
// (DealStep) and the rules (PlayStep) after the drawing, clicks and hovers with
// the pointer position. Animations and delays count frames; only the level
// clock reads milliseconds. The *At forms take the current time so tests can
// drive the clock without waiting.
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
// The number of levels: the level table's size. Level n (1..kLevelCount) is
// LevelTable()[n - 1].
inline constexpr int32_t kLevelCount = 12;
const std::array<LevelSpec, kLevelCount>& LevelTable();

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
    int32_t current = 1;  // 1..kLevelCount
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

    // The clock bar as UpdateClockBar last prepared it: the visible width on
    // screen and the part of the front picture shown, in the picture's texels.
    int32_t barVisible = 0, barSourceX = 0, barSourceWidth = 0;
};
extern LevelState level;

// The tile of a column and row (both in range).
Tile& TileAt(int32_t column, int32_t row);
// The board index (column * rows + row) of the tile whose rectangle strictly
// holds the point, whatever its face; -1 between tiles or off the board.
int32_t FindTileAt(int32_t x, int32_t y);

// The sprite numbers of the twenty tile pictures, filled by the picture pass.
extern std::array<int32_t, 20> TilePictures;

// Fixed sprite numbers drawn by game play.
enum GameSprite : int32_t {
    SpriteLevelSelectBack = 6,
    SpriteGameBack = 7,
    SpriteBackButton = 77,
    SpriteBackButtonActive = 78,
    SpriteArrow = 79,
    SpritePause = 80,
    SpritePauseActive = 81,
    SpriteClockIcon = 82,
    SpriteClockBack = 86,
    SpriteClockFront = 87,
    SpriteTileBack = 88,
    SpriteLevelFocus = 89,
    SpriteTileFocus = 90,
};

// Sizes the pictures game play draws to the layout metrics: the HUD pictures,
// the tile back and pictures, the level buttons, the arrow and the back button.
// Idempotent; SetUpLevel and OpenLevelSelect call it, the picture pass may too.
void SizeGameSprites();

// Deals the current level; starts its music when asked and Music is on.
void SetUpLevel(bool withMusic);
// Lays the dealt board out again for new metrics (the screen changed size):
// every tile keeps its place in the grid, its face and its picture (the tile
// pictures were loaded again as new sprites: `picturesBefore` are the old
// ones), the game pictures are sized anew and the clock bar shows the time
// left; play goes on.
void LayOutBoardAgain(const std::array<int32_t, 20>& picturesBefore);
// One frame of dealing; ends it (clock starts, state Playing) when the last
// tile is in.
void DealStep();
void DealStepAt(int64_t nowMs);
// A click while Playing with board input on: the pause button or a tile.
void BoardClick(int32_t x, int32_t y);
// Once per frame while Playing with board input on: turn resolution, then the
// clock.
void PlayStep();
void PlayStepAt(int64_t nowMs);
// The pause button's hover look while Playing.
void HoverPauseButton(int32_t x, int32_t y);
// The visible clock bar width for the remaining time (0..bar width); prepares
// the bar sprite: it keeps its left end and shows the right-hand part of its
// picture.
int32_t UpdateClockBar(int64_t remaining);
// Pausing (Escape or the pause button) notes when the pause began; the caller
// then enters the pause menu. Resuming moves the level start time forward by
// the time paused, so the remaining time is what it was, and returns to Playing.
void BeginPause();
void BeginPauseAt(int64_t nowMs);
void ResumeFromPause();
void ResumeFromPauseAt(int64_t nowMs);
// Draws the game screen: background, HUD, tiles (dealing or by face).
void DrawGameScreen();

// Level select.
struct ArrowState {
    int32_t x = 0, y = 0, topBound = 0, bottomBound = 0, step = 0, direction = 1, shown = 0;
    // 1: below its button, drawn upside down (no room above a button at the
    // screen's top edge).
    int32_t pointsUp = 0;
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

// The ways out of a level, as the pause menu and the result dialogs choose
// them. Each sets the level's state and its music; the ones that deal a level
// enter Dealing, the others leave the next screen to the caller (the menus).
// "Music on" is the Music setting in force; the result music is sound 4.
//
// RestartLevel: the level dealt again from scratch, its music playing on.
void RestartLevel();
// RetryLevel: after a loss, the result music stops (Music on) and the same
// level is dealt with its music.
void RetryLevel();
// Whether the current level is the last of the table: its result leads to the
// game's completion instead of a next level.
bool IsLastLevel();
// NextLevel: after a win below the last level, the result music stops (Music
// on) and the next level is dealt with its music.
void NextLevel();
// LeaveLevel: the level abandoned from the pause menu, its progress not
// recorded: board input off; Music on: its track stops if it still plays and
// the menu music starts.
void LeaveLevel();
// LeaveResult: from a result to the main menu: board input off; Music on: the
// result music gives way to the menu music.
void LeaveResult();
// CompleteGame: the first completion of the game: the "Completed" setting
// becomes 1 and is saved at once with the settings (a crash before quitting
// must not bring the completion back), the level-select arrow is hidden, board
// input is off and, Music on, the result music gives way to the completion music (sound 5).
void CompleteGame();
// LeaveCompletedGame: from the game-completed screen to the main menu: the
// level's track stops if it still plays; Music on: the completion music gives
// way to the menu music; board input off.
void LeaveCompletedGame();

// Screens that game play hands over to but that belong to the menus (a level's
// result, the pause menu, the main menu from the level map) are entered
// through this hook, so game play needs nothing of the menus: the shell points
// it at the menus' EnterScreen, which sets the screen's buttons to their normal
// look before the state changes. Unset, the state is simply assigned.
extern void (*enterMenuScreen)(int32_t screenState);
void EnterMenuScreen(int32_t screenState);

// Keyboard and controller focus on the level map and the board (the menus'
// focus is ui's). The level map's focus is a LevelButton index: 0 the back
// button, 1..12 a playable level; the board's is a board index. Both are -1
// until placed. Place puts it on the screen's first choice (the arrow's level;
// the first tile left in reading order) unless it already stands on a valid
// one; Move goes to the nearest playable level or tile left in the direction
// (dx, dy one of the four unit steps), or through them in order (step +1 or
// -1, dx and dy 0), and stays when there is none; Activate does what a click
// on it does. The Draw forms draw the focus when `shown` (the keys lead).
struct BoardFocus {
    int32_t level = -1;
    int32_t tile = -1;
};
extern BoardFocus focus;
void PlaceLevelSelectFocus();
void MoveLevelSelectFocus(int32_t dx, int32_t dy, int32_t step);
void ActivateLevelSelectFocus();
void DrawLevelSelectFocus(bool shown);
void PlaceBoardFocus();
void MoveBoardFocus(int32_t dx, int32_t dy, int32_t step);
void ActivateBoardFocus();
void DrawBoardFocus(bool shown);

// Progress file "Mnemora.scores" in the given folder (ending with "/").
// LoadProgress: 1 when the file was read, 0 when it could not be opened (then
// level 1 is open and the others locked). Every level always ends up with one
// of the three looks: a bad or missing line gives the look a missing file
// would. SaveProgress merges with the file on disk level by level, keeping the
// higher look of the two (locked < open < finished) in the file and in the
// level buttons; 1 when the whole file was written, 0 otherwise (the previous
// file is then left as it was).
int32_t LoadProgress(const std::string& folder);
int32_t SaveProgress(const std::string& folder);

}  // namespace game
