// The main loop: one pass per frame over the one ScreenState. Each pass takes
// the window events, presents the previous frame, draws the state, advances
// its animations and rules, tests the pointer, handles the click and the keys
// and checks for the quit request. No screen owns a loop of its own; every
// transition is an assignment of ScreenState inside this pass.
//
// Keys and game controllers move a focus over the screen's buttons, level
// buttons or tiles (ui/focus.cpp, game/focus.cpp): it shows from the first
// move, acts as a click where it stands, and hides again when the mouse moves,
// so the pointer's hover rules apply unchanged whenever the mouse is in use.
#include <array>
#include <iterator>

#include "app/log.h"
#include "app/shell.h"
#include "app/state.h"
#include "audio/audio.h"
#include "display/layout.h"
#include "engine/display.h"
#include "engine/input.h"
#include "engine/system.h"
#include "game/game.h"
#include "ui/ui.h"

namespace app {

namespace {

// Set-1 scan codes of the keys the loop acts on.
constexpr int kKeyEscape = 0x01;
constexpr int kKeyN = 0x31;
constexpr int kKeyM = 0x32;
constexpr int kKeyF2 = 0x3C;
constexpr int kKeyPadMinus = 0x4A;
constexpr int kKeyPadPlus = 0x4E;
constexpr int kKeyTab = 0x0F;
constexpr int kKeyEnter = 0x1C;
constexpr int kKeySpace = 0x39;
constexpr int kKeyLeftShift = 0x2A;
constexpr int kKeyRightShift = 0x36;
// Extended keys: the 0xE0-prefixed codes with 0x80 set.
constexpr int kKeyPadEnter = 0x9C;
constexpr int kKeyUp = 0xC8;
constexpr int kKeyLeft = 0xCB;
constexpr int kKeyRight = 0xCD;
constexpr int kKeyDown = 0xD0;

// A held direction moves the focus again after this long, then at this pace.
constexpr int64_t kRepeatDelayMs = 300;
constexpr int64_t kRepeatEveryMs = 120;

constexpr int32_t kSplashFrames = 100;
constexpr int32_t kSlideFrames = 25;

struct FocusState {
    // The unfocused pass paused the music; resume it when focus returns.
    bool pausedWhileUnfocused = false;
};
FocusState focus;

// The keys and pad entries that move the focus.
struct Direction {
    int key;
    int pad;
    int32_t dx, dy;
};
constexpr Direction kDirections[] = {
    {kKeyUp, engine::kPadUp, 0, -1},
    {kKeyDown, engine::kPadDown, 0, 1},
    {kKeyLeft, engine::kPadLeft, -1, 0},
    {kKeyRight, engine::kPadRight, 1, 0},
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

LoopHooks defaultHooks() {
    return LoopHooks{
        &audio::ToggleMusic, &audio::ToggleSounds, &audio::StepVolume,  &ui::EscapeDialog,
        &ui::GoToMainMenu,   &game::BeginPause,    &ui::EnterPauseMenu,
    };
}
LoopHooks hooks = defaultHooks();

bool IsDialogState(int32_t state) {
    return ui::IsDialogState(state);
}

void Hover(int32_t x, int32_t y);

void HandleClick(int32_t x, int32_t y) {
    nav.clicked = true;
    // A click goes where the pointer is, not where the keys left the focus.
    if (ui::keyFocus.shown == 1) {
        ui::keyFocus.shown = 0;
        Hover(x, y);
    }
    const int32_t state = loop.ScreenState;
    if (IsDialogState(state)) {
        ui::ClickDialog(state);
    } else if (state == LevelSelect) {
        game::ClickLevelSelect(x, y);
    } else if (state == Playing && game::level.boardInput) {
        game::BoardClick(x, y);
    }
}

void HandleWindowEvent(int event) {
    const int32_t mode = settings.GameScreen;
    switch (event) {
        case engine::kEventRepaint:
            engine::FlipFrame();
            break;
        case engine::kEventLeftClick:
            HandleClick(engine::WindowCursorX(0), engine::WindowCursorY(0));
            break;
        case engine::kEventMinimised:
            if (mode == 1) audio::PauseMusicForFocus();
            break;
        case engine::kEventRestored:
        case engine::kEventActivated:
            audio::ResumeMusicForFocus();
            break;
        case engine::kEventDeactivated:
            if (mode != 2) break;
            audio::PauseMusicForFocus();
            // The first deactivation after a reopen is the old window going
            // away, not the player leaving: keep the new window up.
            if (loop.reopenFlag == 1) {
                loop.reopenFlag = 0;
            } else {
                engine::SetAppWindowState(0, engine::kWindowMinimised);
            }
            break;
        case engine::kEventClose:
            loop.quitRequest = 1;
            break;
        default:
            break;
    }
}

void Draw() {
    const int32_t state = loop.ScreenState;
    switch (state) {
        case Splash:
            engine::DrawSpriteOpaque(2, 0, 0);
            break;
        case SplashSlide:
            ui::DrawDialogScreen(SplashSlide);
            engine::DrawSpriteOpaque(2, 0, loop.splashY);
            break;
        case LevelSelect:
            game::DrawLevelSelect();
            game::DrawLevelSelectFocus(ui::keyFocus.shown == 1);
            break;
        case Dealing:
        case Playing:
            game::DrawGameScreen();
            if (state == Playing) game::DrawBoardFocus(ui::keyFocus.shown == 1);
            break;
        default:
            if (state >= PauseMenu) game::DrawGameScreen();
            ui::DrawDialogScreen(state);
            break;
    }
    if (settings.GameScreen == 0) {
        engine::PollMouse();
        // While the keys lead, the pointer would only cover what they show.
        if (state > SplashSlide && ui::keyFocus.shown != 1)
            engine::DrawSprite(5, engine::CursorX(), engine::CursorY());
    }
}

void Animate() {
    auto& l = loop;
    switch (l.ScreenState) {
        case Splash:
            if (++l.frameCounter > kSplashFrames) {
                l.ScreenState = SplashSlide;
                l.frameCounter = 0;
            }
            break;
        case SplashSlide:
            ++l.frameCounter;
            if (l.frameCounter < kSlideFrames) l.splashY += display::metrics.SplashSlideStep;
            if (l.frameCounter >= kSlideFrames) {
                l.frameCounter = 0;
                l.ScreenState = MainMenu;
                engine::ReleaseSprite(2);
            }
            break;
        case LevelSelect:
            game::AnimateLevelSelect();
            break;
        case Dealing:
            game::DealStep();
            break;
        case Playing:
            if (game::level.boardInput) game::PlayStep();
            break;
        default:
            break;
    }
}

void Hover(int32_t x, int32_t y) {
    const int32_t state = loop.ScreenState;
    if (IsDialogState(state)) {
        ui::HoverDialog(state, x, y);
    } else if (state == LevelSelect) {
        game::HoverLevelSelect(x, y);
    } else if (state == Playing && game::level.boardInput) {
        game::HoverPauseButton(x, y);
    }
}

void Escape() {
    const int32_t state = loop.ScreenState;
    switch (state) {
        case Splash:
        case SplashSlide:
        case Dealing:
            break;
        case MainMenu:
            loop.quitRequest = 1;
            break;
        case Playing:
            hooks.beginPause();
            hooks.enterPauseMenu();
            break;
        case LevelSelect:
            hooks.goToMainMenu();
            break;
        default:
            hooks.escapeDialog(state);
            break;
    }
}

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

// A screen entered starts from its first choice; a new deal from its first
// tile. Coming back to the board from the pause menu keeps the tile.
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

// The arrows and the pad's directions move on the press, then repeat while
// held; Tab (with Shift: backwards) steps on the press too; Enter, Space and A
// act on the release, as the other keys do.
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
    const bool tab = engine::IsKeyDown(kKeyTab) != 0;
    if (tab && !nav.tabHeld) {
        const bool shift = engine::IsKeyDown(kKeyLeftShift) || engine::IsKeyDown(kKeyRightShift);
        MoveFocus(0, 0, shift ? -1 : 1);
    }
    nav.tabHeld = tab;
    const bool activate =
        engine::WasKeyReleased(kKeyEnter) || engine::WasKeyReleased(kKeyPadEnter) ||
        engine::WasKeyReleased(kKeySpace) || engine::WasKeyReleased(engine::kPadA);
    if (activate && !nav.clicked) ActivateFocus();
}

void Keys() {
    engine::PollKeyboard();
    const int32_t state = loop.ScreenState;
    if (engine::WasKeyReleased(kKeyF2)) SaveScreenshot();
    const bool music = engine::WasKeyReleased(kKeyM) || engine::WasKeyReleased(engine::kPadBack);
    if (music && state != Settings) hooks.toggleMusic(state);
    if (engine::WasKeyReleased(kKeyN) && state != Settings) hooks.toggleSounds();
    // B backs out as Escape does; Start pauses and resumes.
    const bool start =
        engine::WasKeyReleased(engine::kPadStart) && (state == Playing || state == PauseMenu);
    if (engine::WasKeyReleased(kKeyEscape) || engine::WasKeyReleased(engine::kPadB) || start)
        Escape();
    if (engine::IsKeyDown(kKeyPadPlus)) hooks.stepVolume(+1);
    if (engine::IsKeyDown(kKeyPadMinus)) hooks.stepVolume(-1);
    // The keys above may have changed the screen: the focus follows first.
    FollowScreenChange();
    if (loop.ScreenState == state) Navigate();
    FollowScreenChange();
}

// The mouse moving hands the screen back to the pointer.
void WatchPointer(int32_t x, int32_t y) {
    if (nav.pointerSeen && (x != nav.pointerX || y != nav.pointerY)) ui::keyFocus.shown = 0;
    nav.pointerSeen = true;
    nav.pointerX = x;
    nav.pointerY = y;
}

}  // namespace

LoopHooks& Hooks() {
    return hooks;
}

void ResetHooks() {
    hooks = defaultHooks();
    focus = FocusState{};
    nav = NavigationState{};
    ui::keyFocus = ui::KeyFocus{};
    game::focus = game::BoardFocus{};
}

bool RunFrame() {
    auto& l = loop;
    const bool fullscreen = settings.GameScreen == 0;
    nav.clicked = false;
    if (!fullscreen) {
        while (const int event = engine::PollWindowEvent())
            HandleWindowEvent(event);
    }
    engine::FlipFrame();
    // A logout, kill or Ctrl+C ends the game through the normal quit, which
    // saves the settings and progress.
    if (engine::TakeQuitRequest()) l.quitRequest = 1;

    if (!engine::IsDisplayFocused()) {
        // Nothing to draw or read while the player is elsewhere: hand the
        // mouse back, keep the music quiet and wait.
        if (!focus.pausedWhileUnfocused) audio::PauseMusicForFocus();
        focus.pausedWhileUnfocused = true;
        engine::ReleaseMouseCapture(1);
        engine::SleepMs(100);
        engine::FlipFrame();
        return l.quitRequest != 1;
    }
    if (focus.pausedWhileUnfocused) {
        focus.pausedWhileUnfocused = false;
        // Full screen has no window events to say the player is back: take
        // the mouse again and let the music go on here.
        if (fullscreen) engine::ReleaseMouseCapture(0);
        audio::ResumeMusicForFocus();
    }

    Draw();
    Animate();
    WatchPointer(PointerX(), PointerY());
    if (ui::keyFocus.shown != 1) Hover(PointerX(), PointerY());
    if (fullscreen) {
        const bool down = engine::IsMouseButtonDown(1) != 0;
        if (down && l.mouseArmed == 1) {
            l.mouseArmed = 0;
            HandleClick(engine::CursorX(), engine::CursorY());
        } else if (!down) {
            l.mouseArmed = 1;
        }
    }
    Keys();
    return l.quitRequest != 1;
}

void SaveScreenshot() {
    const auto& m = display::metrics;
    if (!engine::CaptureScreenToSprite(0, 0, 0, m.ScreenWidth, m.ScreenHeight)) {
        LogValue("Saving screenshot:", "FAILED");
        return;
    }
    const std::string name =
        folders.SaveFolder + "Mnemora " +
        engine::FormatDateTime("%dd-%mm-%yyyy %hh-%ii-%ss", engine::CurrentDateTime()) + ".bmp";
    const int saved = engine::SaveSpriteAsBitmap(0, name, engine::kBitmapOpaque);
    LogValue("Saving screenshot:", saved ? "OK" : "FAILED");
}

}  // namespace app
