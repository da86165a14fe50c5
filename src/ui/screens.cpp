// The dialog screens as one table: per screen state its panel, its buttons,
// its highlight routine, what it is drawn over, how its buttons are drawn,
// which of its buttons can take the pointer, its click and Escape actions and
// where the keyboard focus starts. The main loop's hooks below and the focus
// look a screen up here, so a new dialog is one row (plus its build and
// highlight routines).
#include "app/state.h"
#include "audio/audio.h"
#include "display/layout.h"
#include "engine/display.h"
#include "ui/toolkit.h"

namespace ui {

namespace {

void ToMainMenu(int32_t) {
    GoToMainMenu();
}
void Quit() {
    app::loop.quitRequest = 1;
}
void QuitNo() {
    ClickQuit(2);
}
void LeaveNo() {
    ClickLeaveConfirm(2);
}
void LevelFinishedMenu() {
    ClickLevelFinished(2);
}

using Screen = DialogScreen;
constexpr DialogScreen kScreens[] = {
    {app::MainMenu, &Dialogs::mainMenu, &Dialogs::mainMenuButtons, HighlightMainMenu,
     Screen::OverMenuBackdrop, true, nullptr, ClickMainMenu, Quit, 1},
    {app::Help, &Dialogs::help, &Dialogs::helpButtons, HighlightHelp, Screen::OverMenuBackdrop,
     true, nullptr, ToMainMenu, GoToMainMenu, 1},
    {app::Credits, &Dialogs::credits, &Dialogs::creditsButtons, HighlightCredits,
     Screen::OverMenuBackdrop, true, nullptr, ToMainMenu, GoToMainMenu, 1},
    {app::Settings, &Dialogs::settings, &Dialogs::settingsButtons, HighlightSettings,
     Screen::OverMenuBackdrop, false, SettingsSlotEnabled, ClickSettings, LeaveSettings, 1},
    // Enter twice must not quit or leave a level: the quit dialogs offer NO first.
    {app::QuitConfirm, &Dialogs::quitMenuColumn, &Dialogs::quitButtons, HighlightQuit,
     Screen::OverMenuBackdrop, true, nullptr, ClickQuit, QuitNo, 2},
    {app::PauseMenu, &Dialogs::pauseMenu, &Dialogs::pauseButtons, HighlightPauseMenu,
     Screen::OverGame, true, nullptr, ClickPauseMenu, ResumeGame, 1},
    {app::LeaveConfirm, &Dialogs::quitCentre, &Dialogs::leaveButtons, HighlightLeaveConfirm,
     Screen::OverGame, true, nullptr, ClickLeaveConfirm, LeaveNo, 2},
    {app::LevelFinished, &Dialogs::levelFinished, &Dialogs::levelFinishedButtons,
     HighlightLevelFinished, Screen::OverGame, false, nullptr, ClickLevelFinished,
     LevelFinishedMenu, 1},
    {app::LevelFailed, &Dialogs::levelFailed, &Dialogs::levelFailedButtons, HighlightLevelFailed,
     Screen::OverGame, false, nullptr, ClickLevelFailed, LevelResultToMenu, 1},
    {app::GameCompleted, &Dialogs::gameCompleted, &Dialogs::gameCompletedButtons,
     HighlightGameCompleted, Screen::OverGame, false, nullptr, ClickGameCompleted,
     GameCompletedToMenu, 1},
};

}  // namespace

const DialogScreen* FindDialogScreen(int32_t screenState) {
    for (const DialogScreen& screen : kScreens)
        if (screen.state == screenState) return &screen;
    return nullptr;
}

bool IsDialogState(int32_t screenState) {
    return FindDialogScreen(screenState) != nullptr;
}

ButtonSet* ButtonsOfState(int32_t screenState) {
    const DialogScreen* screen = FindDialogScreen(screenState);
    return screen ? &(dialogs.*screen->buttons) : nullptr;
}

void (*HighlightOfState(int32_t screenState))(int32_t) {
    const DialogScreen* screen = FindDialogScreen(screenState);
    return screen ? screen->highlight : nullptr;
}

bool SlotEnabled(int32_t screenState, int32_t index) {
    const DialogScreen* screen = FindDialogScreen(screenState);
    if (!screen) return false;
    const ButtonSet& set = dialogs.*screen->buttons;
    if (index < 1 || index > set.count) return false;
    return !screen->slotEnabled || screen->slotEnabled(index);
}

void EnterScreen(int32_t screenState) {
    if (const DialogScreen* screen = FindDialogScreen(screenState)) {
        (dialogs.*screen->buttons).hover = 0;
        screen->highlight(0);
    }
    app::loop.ScreenState = screenState;
}

void GoToMainMenu() {
    EnterScreen(app::MainMenu);
}

void EnterPauseMenu() {
    EnterScreen(app::PauseMenu);
}

void DrawDialogScreen(int32_t screenState) {
    // The sliding splash uncovers the main menu.
    const DialogScreen* screen =
        FindDialogScreen(screenState == app::SplashSlide ? app::MainMenu : screenState);
    if (!screen) return;
    if (screen->backdrop == DialogScreen::OverMenuBackdrop) {
        const auto& m = display::metrics;
        engine::DrawSpriteOpaque(kMenuBack, 0, 0);
        engine::DrawSprite(kLogo, m.LogoLeft, m.LogoTop);
    } else {
        engine::DrawSprite(kShadow, 0, 0);
    }
    DrawPanelAndSlots(dialogs.*screen->panel, dialogs.*screen->buttons, screen->opaqueButtons);
}

void HoverDialog(int32_t screenState, int32_t x, int32_t y) {
    const DialogScreen* screen = FindDialogScreen(screenState);
    if (!screen) return;
    ButtonSet* set = &(dialogs.*screen->buttons);
    const int32_t index =
        SlotUnder(*set, x, y, [screen](int32_t slot) { return !SlotEnabled(screen->state, slot); });
    ApplyHover(set, index, screen->highlight);
}

void ClickDialog(int32_t screenState) {
    const DialogScreen* screen = FindDialogScreen(screenState);
    if (!screen) return;
    const ButtonSet& set = dialogs.*screen->buttons;
    if (set.hover < 1 || set.hover > set.count) return;
    audio::PlayEffect(audio::ClickEffect, app::settings.MusicVolume);
    screen->click(set.hover);
}

void EscapeDialog(int32_t screenState) {
    if (const DialogScreen* screen = FindDialogScreen(screenState)) screen->escape();
}

}  // namespace ui
