// Keyboard and game-controller navigation: a focus over the screen's buttons,
// level buttons or tiles (ui/focus.cpp, game/focus.cpp). It shows from the
// first move, acts as a click where it stands, and hides again when the mouse
// moves, so the pointer's hover rules apply unchanged whenever the mouse is in
// use.
#include <array>
#include <iterator>

#include "app/shell_internal.h"
#include "app/state.h"
#include "engine/input.h"
#include "engine/system.h"
#include "game/game.h"
#include "ui/ui.h"

namespace app {

namespace {

// A held direction moves the focus again after this long, then at this pace.
constexpr int64_t kRepeatDelayMs = 300;
constexpr int64_t kRepeatEveryMs = 120;

// The keys and pad entries that move the focus.
struct Direction {
    int key;
    int pad;
    int32_t dx, dy;
};
constexpr Direction kDirections[] = {
    {engine::kKeyUp, engine::kPadUp, 0, -1},
    {engine::kKeyDown, engine::kPadDown, 0, 1},
    {engine::kKeyLeft, engine::kPadLeft, -1, 0},
    {engine::kKeyRight, engine::kPadRight, 1, 0},
};

// What the direction keys and Tab held in the last frame, and when a held
// direction repeats.
struct NavigationState {
    std::array<bool, 4> held{};
    std::array<int64_t, 4> nextRepeat{};
    bool tabHeld = false;
    // The pointer as last seen: when it moves, the mouse is in use again.
    bool pointerSeen = false;
    int32_t pointerX = 0, pointerY = 0;
    // A click was handled in this frame: a key does not act on top of it.
    bool clicked = false;
};
NavigationState nav;

bool IsDialogOrBoard(int32_t state) {
    return IsDialogState(state) || state == LevelSelect || state == Playing;
}

// Puts the focus on the state's screen where it stands or on its first choice.
void PlaceFocus(int32_t state) {
    if (IsDialogState(state)) {
        ui::PlaceDialogFocus(state);
    } else if (state == LevelSelect) {
        game::PlaceLevelSelectFocus();
    } else if (state == Playing) {
        game::PlaceBoardFocus();
    }
}

// A move of the focus; the first one only shows it where it stands.
void MoveFocus(int32_t dx, int32_t dy, int32_t step) {
    const int32_t state = loop.ScreenState;
    if (ui::keyFocus.shown != 1) {
        ui::keyFocus.shown = 1;
        PlaceFocus(state);
        return;
    }
    if (IsDialogState(state)) {
        ui::MoveDialogFocus(state, dx, dy, step);
    } else if (state == LevelSelect) {
        game::MoveLevelSelectFocus(dx, dy, step);
    } else if (state == Playing && game::level.boardInput) {
        game::MoveBoardFocus(dx, dy, step);
    }
}

void ActivateFocus() {
    const int32_t state = loop.ScreenState;
    if (ui::keyFocus.shown != 1) {
        MoveFocus(0, 0, 0);
        return;
    }
    if (IsDialogState(state)) {
        ui::ActivateDialogFocus(state);
    } else if (state == LevelSelect) {
        game::ActivateLevelSelectFocus();
    } else if (state == Playing && game::level.boardInput) {
        game::ActivateBoardFocus();
    }
}

}  // namespace

void StartNavigationFrame() {
    nav.clicked = false;
}

void NoteClick() {
    nav.clicked = true;
}

void WatchPointer(int32_t x, int32_t y) {
    if (nav.pointerSeen && (x != nav.pointerX || y != nav.pointerY)) ui::keyFocus.shown = 0;
    nav.pointerSeen = true;
    nav.pointerX = x;
    nav.pointerY = y;
}

void FollowScreenChange() {
    auto& f = ui::keyFocus;
    const int32_t state = loop.ScreenState;
    if (state == f.state) return;
    const int32_t previous = f.state;
    f.state = state;
    if (ui::ButtonSet* set = ui::ButtonsOfState(state)) set->focus = 0;
    if (state == LevelSelect) game::focus.level = -1;
    if (state == Dealing || (state == Playing && previous != PauseMenu)) game::focus.tile = -1;
    if (f.shown == 1 && IsDialogOrBoard(state)) PlaceFocus(state);
}

void Navigate() {
    const int64_t now = engine::ElapsedMs();
    for (size_t i = 0; i < std::size(kDirections); ++i) {
        const Direction& d = kDirections[i];
        const bool down = engine::IsKeyDown(d.key) || engine::IsKeyDown(d.pad);
        if (!down) {
            nav.held[i] = false;
            continue;
        }
        if (!nav.held[i]) {
            nav.held[i] = true;
            nav.nextRepeat[i] = now + kRepeatDelayMs;
        } else if (now >= nav.nextRepeat[i]) {
            nav.nextRepeat[i] = now + kRepeatEveryMs;
        } else {
            continue;
        }
        MoveFocus(d.dx, d.dy, 0);
    }
    const bool tab = engine::IsKeyDown(engine::kKeyTab) != 0;
    if (tab && !nav.tabHeld) {
        const bool shift =
            engine::IsKeyDown(engine::kKeyLeftShift) || engine::IsKeyDown(engine::kKeyRightShift);
        MoveFocus(0, 0, shift ? -1 : 1);
    }
    nav.tabHeld = tab;
    const bool activate =
        engine::WasKeyReleased(engine::kKeyEnter) || engine::WasKeyReleased(engine::kKeyPadEnter) ||
        engine::WasKeyReleased(engine::kKeySpace) || engine::WasKeyReleased(engine::kPadA);
    if (activate && !nav.clicked) ActivateFocus();
}

void ResetNavigation() {
    nav = NavigationState{};
    ui::keyFocus = ui::KeyFocus{};
    game::focus = game::BoardFocus{};
}

}  // namespace app
