// Stand-ins for game play until it is built, so the other subsystems link.
// The game-play work replaces this file.
#include "game/game.h"

namespace game {
LevelState level;
ArrowState arrow;
std::array<int32_t, 20> TilePictures{};
const std::array<LevelSpec, 12>& LevelTable() {
    static const std::array<LevelSpec, 12> table{};
    return table;
}
Tile& TileAt(int32_t column, int32_t row) {
    return level.board[column * level.rows + row];
}
void SetUpLevel(bool) {}
void DealStep() {}
void BoardClick(int32_t, int32_t) {}
void PlayStep() {}
void HoverPauseButton(int32_t, int32_t) {}
int32_t UpdateClockBar(int64_t) {
    return 0;
}
void BeginPause() {}
void ResumeFromPause() {}
void DrawGameScreen() {}
void OpenLevelSelect() {}
void DrawLevelSelect() {}
void AnimateLevelSelect() {}
void HoverLevelSelect(int32_t, int32_t) {}
void ClickLevelSelect(int32_t, int32_t) {}
void MarkLevelWon(int32_t) {}
int32_t LoadProgress(const std::string&) {
    return 0;
}
int32_t SaveProgress(const std::string&) {
    return 0;
}
}  // namespace game
