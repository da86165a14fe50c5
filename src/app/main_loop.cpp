// The main loop: one pass per frame over the one ScreenState. Each pass takes
// the window events, presents the previous frame, draws the state, advances
// its animations and rules, tests the pointer, handles the click and the keys
// and checks for the quit request. No screen owns a loop of its own; every
// transition is an assignment of ScreenState inside this pass.
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

bool IsDialogState(int32_t state) {
    switch (state) {
        case MainMenu:
        case Help:
        case Credits:
        case Settings:
        case QuitConfirm:
        case PauseMenu:
        case LeaveConfirm:
        case LevelFinished:
        case LevelFailed:
        case GameCompleted:
            return true;
        default:
            return false;
    }
}

void HandleClick(int32_t x, int32_t y) {
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
            break;
        case Dealing:
        case Playing:
            game::DrawGameScreen();
            break;
        default:
            if (state >= PauseMenu) game::DrawGameScreen();
            ui::DrawDialogScreen(state);
            break;
    }
    if (settings.GameScreen == 0) {
        engine::PollMouse();
        if (state > SplashSlide) engine::DrawSprite(5, engine::CursorX(), engine::CursorY());
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

void Keys() {
    engine::PollKeyboard();
    const int32_t state = loop.ScreenState;
    if (engine::WasKeyReleased(kKeyF2)) SaveScreenshot();
    if (engine::WasKeyReleased(kKeyM) && state != Settings) hooks.toggleMusic(state);
    if (engine::WasKeyReleased(kKeyN) && state != Settings) hooks.toggleSounds();
    if (engine::WasKeyReleased(kKeyEscape)) Escape();
    if (engine::IsKeyDown(kKeyPadPlus)) hooks.stepVolume(+1);
    if (engine::IsKeyDown(kKeyPadMinus)) hooks.stepVolume(-1);
}

}  // namespace

LoopHooks& Hooks() {
    return hooks;
}

void ResetHooks() {
    hooks = defaultHooks();
    focus = FocusState{};
}

bool RunFrame() {
    auto& l = loop;
    const bool fullscreen = settings.GameScreen == 0;
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
    Hover(PointerX(), PointerY());
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
