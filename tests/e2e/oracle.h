// Where things are on the screen, and how some screens look, for the
// end-to-end journeys: the game itself is started in-process on SDL's dummy
// drivers at the same window size and language, and its layout (metrics,
// button slots, level buttons, tile rectangles) and a few reference frames
// are copied out before it is shut down again.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include "display/layout.h"
#include "ui/ui.h"
#include "x_session.h"

namespace e2e {

struct Oracle {
    display::Metrics metrics;
    ui::Dialogs dialogs;
    std::array<display::LevelButton, 13> levels{};
    std::map<int32_t, std::vector<Rect>> tiles;  // level number -> tile rectangles
    // Reference frames: the main menu, the result and pause overlays, and the
    // level-select map with and without its arrow.
    Picture mainMenu, levelFinished, levelFailed, gameCompleted, pauseMenu;
    Picture levelSelect, levelSelectNoArrow;
};

// The window size every journey uses: windowed 1280 x 720 (the "Resolution"
// index) on a screen of that size.
inline constexpr int32_t kWidth = 1280, kHeight = 720;
inline constexpr int32_t kResolutionIndex = 1;

// The screen the oracle's game runs on: by default the journeys' window; or a
// borderless display covering a screen of that size, as a page shows the game.
struct OracleScreen {
    int32_t width = kWidth, height = kHeight;
    bool covered = false;
};

// Builds the oracle for a language and a progress file ("" for none). False
// (with a message) when the game data is missing or a screen is not reached.
bool BuildOracle(const std::string& language, const std::string& progress, Oracle* oracle,
                 std::string* error, const OracleScreen& screen = {});

inline Rect SlotRect(const ui::ButtonSlot& s) {
    return {s.left, s.top, s.right, s.bottom};
}
inline Rect PanelRect(const ui::Panel& p) {
    return {p.x, p.y, p.x + p.width, p.y + p.height};
}
inline Rect LevelRect(const display::LevelButton& b) {
    return {b.hitLeft, b.hitTop, b.hitRight, b.hitBottom};
}

}  // namespace e2e
