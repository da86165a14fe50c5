// Menus and dialogs: panels and caption buttons rendered once into pictures,
// button slots with strict hit rectangles, one hover index and one highlight
// routine per dialog, and what each click and Escape does.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace ui {

// One button: its current picture, where it is drawn, and its hit rectangle.
struct ButtonSlot {
    int32_t picture = 0;
    int32_t x = 0, y = 0;
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// A dialog's buttons, indexed from 1, and its hover index (0: none).
struct ButtonSet {
    std::array<ButtonSlot, 8> slot{};
    int32_t count = 0;
    int32_t hover = 0;
};

// A panel picture and where it stands.
struct Panel {
    int32_t picture = 0;
    int32_t x = 0, y = 0, width = 0, height = 0;
};

struct Dialogs {
    int32_t ButtonWidth = 0, ButtonHeight = 0;
    Panel mainMenu, settings, help, credits, quitMenuColumn, quitCentre, pauseMenu, levelFinished,
        levelFailed, gameCompleted;
    ButtonSet mainMenuButtons, settingsButtons, helpButtons, creditsButtons, quitButtons,
        leaveButtons, pauseButtons, levelFinishedButtons, levelFailedButtons, gameCompletedButtons;
};
extern Dialogs dialogs;

// Builds.
void BuildMainMenu();
void BuildSettings();
void BuildHelp();
void BuildCredits();
void BuildPauseMenu();
void BuildQuitDialog();
void BuildLevelFinished();
void BuildLevelFailed();
void BuildGameCompleted();
// All builds: in the start-up order, or in the order used after a language
// change (settings last).
void RebuildAllDialogs(bool afterLanguageChange);

// Highlight routines.
void HighlightMainMenu(int32_t index);
void HighlightSettings(int32_t index);
void HighlightHelp(int32_t index);
void HighlightCredits(int32_t index);
void HighlightQuit(int32_t index);
void HighlightLeaveConfirm(int32_t index);
void HighlightPauseMenu(int32_t index);
void HighlightLevelFinished(int32_t index);
void HighlightLevelFailed(int32_t index);
void HighlightGameCompleted(int32_t index);

// Entering screens: hover 0, highlight 0, then the state.
void GoToMainMenu();
void EnterSettings();
void EnterPauseMenu();
void EnterLevelFinished();
void EnterLevelFailed();
void EnterGameCompleted();

// The main loop's hooks for the dialog states (MainMenu, SplashSlide's menu,
// Help, Credits, Settings, QuitConfirm, and the overlays PauseMenu to
// GameCompleted). Draw covers the whole screen for the menu states and draws
// the dimming layer, panel and buttons for the overlays.
void DrawDialogScreen(int32_t screenState);
void HoverDialog(int32_t screenState, int32_t x, int32_t y);
void ClickDialog(int32_t screenState);
void EscapeDialog(int32_t screenState);

// The help text markup: draws on the open canvas, returns the last line's y.
// The measurer and drawer let tests watch what is drawn.
struct MarkupTarget {
    std::function<int32_t(const std::string&)> measure;
    std::function<int32_t(int32_t x, int32_t y, const std::string& text, uint32_t colour)> draw;
};
int32_t DrawMarkupText(const MarkupTarget& target, int32_t x0, int32_t y, int32_t right,
                       int32_t lineHeight, const std::string& text, uint32_t normal,
                       uint32_t highlight);

}  // namespace ui
