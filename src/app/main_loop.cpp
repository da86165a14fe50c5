// The main loop: one pass per frame over the one ScreenState. Each pass takes
// the window events, presents the previous frame, draws the state, advances
// its animations and rules, tests the pointer, handles the click and the keys
// and checks for the quit request; RunFrame reads in that order. No screen
// owns a loop of its own; every transition is an assignment of ScreenState
// inside this pass. Keys and pads also move a focus over the screen
// (navigation.cpp); F2 saves the frame (screenshot.cpp).
#include "app/shell.h"
#include "app/shell_internal.h"
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

constexpr int32_t kSplashFrames = 100;
constexpr int32_t kSlideFrames = 25;

struct FocusState {
    // The unfocused pass paused the music; resume it when focus returns.
    bool pausedWhileUnfocused = false;
};
FocusState focus;

LoopHooks defaultHooks() {
    return LoopHooks{
        &audio::ToggleMusic, &audio::ToggleSounds, &audio::StepVolume,  &ui::EscapeDialog,
        &ui::GoToMainMenu,   &game::BeginPause,    &ui::EnterPauseMenu,
    };
}
LoopHooks hooks = defaultHooks();

}  // namespace

bool IsDialogState(int32_t state) {
    return ui::IsDialogState(state);
}

namespace {

void HandleClick(int32_t x, int32_t y);

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
        case engine::kEventScreenResized:
            FollowScreenSize();
            break;
        default:
            break;
    }
}

// The pass of a frame while the player is elsewhere: nothing to draw or read;
// hand the mouse back, keep the music quiet and wait.
void WaitUnfocused() {
    if (!focus.pausedWhileUnfocused) audio::PauseMusicForFocus();
    focus.pausedWhileUnfocused = true;
    engine::ReleaseMouseCapture(1);
    engine::SleepMs(100);
    engine::FlipFrame();
}

// The first focused pass after that. Full screen has no window events to say
// the player is back: take the mouse again and let the music go on here.
void ReturnFocused(bool fullscreen) {
    if (!focus.pausedWhileUnfocused) return;
    focus.pausedWhileUnfocused = false;
    if (fullscreen) engine::ReleaseMouseCapture(0);
    audio::ResumeMusicForFocus();
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

}  // namespace

// The window's first repaint, or the loop's first flip, then shows the splash
// rather than an empty frame, a frame or two sooner.
void DrawFirstFrame() {
    Draw();
}

namespace {

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

void HandleClick(int32_t x, int32_t y) {
    NoteClick();
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

// Full screen reads the button itself: a click is the press, and the next one
// needs a release first.
void FullScreenClick() {
    auto& l = loop;
    const bool down = engine::IsMouseButtonDown(1) != 0;
    if (down && l.mouseArmed == 1) {
        l.mouseArmed = 0;
        HandleClick(engine::CursorX(), engine::CursorY());
    } else if (!down) {
        l.mouseArmed = 1;
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

// The keys acting on their release: the screenshot, music, sounds, Escape (B
// backs out as Escape does; Start pauses and resumes).
void Keys(int32_t state) {
    if (engine::WasKeyReleased(engine::kKeyF2)) SaveScreenshot();
    const bool music =
        engine::WasKeyReleased(engine::kKeyM) || engine::WasKeyReleased(engine::kPadBack);
    if (music && state != Settings) hooks.toggleMusic(state);
    if (engine::WasKeyReleased(engine::kKeyN) && state != Settings) hooks.toggleSounds();
    const bool start =
        engine::WasKeyReleased(engine::kPadStart) && (state == Playing || state == PauseMenu);
    if (engine::WasKeyReleased(engine::kKeyEscape) || engine::WasKeyReleased(engine::kPadB) ||
        start)
        Escape();
}

// The numeric-pad volume keys, every frame while held.
void VolumeKeys() {
    if (engine::IsKeyDown(engine::kKeyPadPlus)) hooks.stepVolume(+1);
    if (engine::IsKeyDown(engine::kKeyPadMinus)) hooks.stepVolume(-1);
}

}  // namespace

LoopHooks& Hooks() {
    return hooks;
}

void ResetHooks() {
    hooks = defaultHooks();
    focus = FocusState{};
    ResetNavigation();
}

bool RunFrame() {
    auto& l = loop;
    const bool fullscreen = settings.GameScreen == 0;
    StartNavigationFrame();
    // Window events (the window modes), then the previous frame on screen.
    if (!fullscreen) {
        while (const int event = engine::PollWindowEvent())
            HandleWindowEvent(event);
    }
    engine::FlipFrame();
    // A logout, kill or Ctrl+C ends the game through the normal quit, which
    // saves the settings and progress.
    if (engine::TakeQuitRequest()) l.quitRequest = 1;
    if (!engine::IsDisplayFocused()) {
        WaitUnfocused();
        return l.quitRequest != 1;
    }
    ReturnFocused(fullscreen);

    Draw();
    Animate();
    // The pointer over the buttons, unless the keys lead.
    WatchPointer(PointerX(), PointerY());
    if (ui::keyFocus.shown != 1) Hover(PointerX(), PointerY());
    if (fullscreen) FullScreenClick();
    // The keys. Those acting on release may change the screen: the focus
    // follows it before the keys move the focus on the screen they were
    // pressed on.
    engine::PollKeyboard();
    const int32_t state = l.ScreenState;
    Keys(state);
    VolumeKeys();
    FollowScreenChange();
    if (l.ScreenState == state) Navigate();
    FollowScreenChange();
    return l.quitRequest != 1;
}

}  // namespace app
