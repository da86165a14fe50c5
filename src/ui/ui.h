// Menus and dialogs: panels and caption buttons rendered once into pictures,
// button slots with strict hit rectangles, one hover index and one highlight
// routine per dialog, and what each click and Escape does.
//
// Nothing here lays out or renders per frame. Each dialog's build routine
// renders its panel (with its title and body texts) and its caption buttons
// into pictures of their final size and fills its slots; the main loop then
// calls DrawDialogScreen, HoverDialog, ClickDialog and EscapeDialog for the
// state it is in.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/object_table.h"

namespace ui {

// One button: its current picture (engine::NoObject for none), where it is
// drawn, and its hit rectangle.
struct ButtonSlot {
    int32_t picture = engine::NoObject;
    int32_t x = 0, y = 0;
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// A dialog's buttons, indexed from 1, its hover index (0: none) and the
// button the keyboard or a controller has focused (0: none yet). While the
// focus shows, the hover index follows it, so the focused button shows its
// active picture and a key acts on it as a click would.
struct ButtonSet {
    std::array<ButtonSlot, 8> slot{};
    int32_t count = 0;
    int32_t hover = 0;
    int32_t focus = 0;
};

// A panel picture and where it stands, in display pixels.
struct Panel {
    int32_t picture = engine::NoObject;
    int32_t x = 0, y = 0, width = 0, height = 0;
};

// The settings screen's row pictures: three looks per window size (normal,
// hovered, disabled) and two per language (normal, hovered), parallel to the
// resolution list and the language choice list, made as the screen first shows
// them and released by the next build. Entries are sprite handles,
// engine::NoObject for a picture not made yet or that could not be made.
struct SettingsRowPictures {
    std::array<std::array<int32_t, 3>, 9> resolution = [] {
        std::array<std::array<int32_t, 3>, 9> none{};
        for (auto& looks : none)
            looks.fill(engine::NoObject);
        return none;
    }();
    std::vector<std::array<int32_t, 2>> language;
};

struct Dialogs {
    int32_t ButtonWidth = 0, ButtonHeight = 0;
    Panel mainMenu, settings, help, credits, quitMenuColumn, quitCentre, pauseMenu, levelFinished,
        levelFailed, gameCompleted;
    ButtonSet mainMenuButtons, settingsButtons, helpButtons, creditsButtons, quitButtons,
        leaveButtons, pauseButtons, levelFinishedButtons, levelFailedButtons, gameCompletedButtons;
    // The settings rows' drawn size.
    int32_t RowW = 0, RowH = 0;
    SettingsRowPictures settingsRows;
};
extern Dialogs dialogs;

// Builds: each renders its pictures (replacing earlier ones of the same
// numbers) and rewrites its slots. The main menu's build fixes ButtonWidth and
// ButtonHeight and the panel scale, so it runs first.
void BuildMainMenu();
void BuildSettings();
void BuildHelp();
void BuildCredits();
void BuildPauseMenu();
void BuildQuitDialog();
void BuildLevelFinished();
void BuildLevelFailed();
void BuildGameCompleted();
// All builds: in the start-up order (after the display opened and the pictures
// were loaded), or in the order used after a language change (settings last).
void RebuildAllDialogs(bool afterLanguageChange);

// Highlight routines: every slot back to its normal picture, then the slot of
// the index (1..n) to its active one.
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

// Entering screens: for a dialog state, hover 0 and highlight 0; then the
// state. GoToMainMenu and EnterPauseMenu are EnterScreen of theirs.
// EnterSettings also copies the settings in force into the pending ones and
// puts the language choice list on the language in force. EnterPauseMenu does
// not note the pause start: the caller does that (game::BeginPause) first.
void EnterScreen(int32_t screenState);
void GoToMainMenu();
void EnterSettings();
void EnterPauseMenu();

// The main loop's hooks for the dialog states (MainMenu, SplashSlide's menu,
// Help, Credits, Settings, QuitConfirm, and the overlays PauseMenu to
// GameCompleted). Draw covers the whole screen for the menu states and draws
// the dimming layer, panel and buttons for the overlays (the game screen below
// them is the caller's). Hover takes the pointer in screen pixels. Click acts
// on the hover index of the state's dialog (nothing when it is 0). Escape does
// what the state's cancelling action does, without the click effect. Each does
// nothing for states without a dialog.
void DrawDialogScreen(int32_t screenState);
void HoverDialog(int32_t screenState, int32_t x, int32_t y);
void ClickDialog(int32_t screenState);
void EscapeDialog(int32_t screenState);

// Whether a state shows a dialog (a row of the table of dialog screens), and
// its button set, or nullptr (states without buttons).
bool IsDialogState(int32_t screenState);
ButtonSet* ButtonsOfState(int32_t screenState);

// Keyboard and controller focus. It shows from the first key or pad move and
// hides when the mouse moves; while it shows, the pointer's hover test is not
// made. `state` is the screen it was last placed on: the main loop places it
// again whenever the screen changes.
struct KeyFocus {
    int32_t shown = 0;
    int32_t state = -1;
};
extern KeyFocus keyFocus;

// The focus on a dialog state's buttons: Place keeps it where it stands on an
// enabled button, else puts it on the hovered one, else on the dialog's first
// choice (NO in the two quit dialogs, else the first button); Move goes in a direction or in order
// as above (on the settings rows left and right step the row's value instead); Activate does what a
// click on the focused button does. Each does nothing for states without buttons.
void PlaceDialogFocus(int32_t screenState);
void MoveDialogFocus(int32_t screenState, int32_t dx, int32_t dy, int32_t step);
void ActivateDialogFocus(int32_t screenState);

// The help text markup: draws on the open canvas, returns the last line's y.
// The measurer and drawer let tests watch what is drawn; draw returns x plus
// the drawn width.
struct MarkupTarget {
    std::function<int32_t(const std::string&)> measure;
    std::function<int32_t(int32_t x, int32_t y, const std::string& text, uint32_t colour)> draw;
};
int32_t DrawMarkupText(const MarkupTarget& target, int32_t x0, int32_t y, int32_t right,
                       int32_t lineHeight, const std::string& text, uint32_t normal,
                       uint32_t highlight);

// The credits' fixed lines (product, people, studio, company, address), the
// same in every language, in drawing order.
std::vector<std::string> CreditsFixedLines();

// A result dialog's message: the text before the first "|" and the text
// between it and the next "|" (empty when there is no "|").
std::pair<std::string, std::string> SplitMessage(const std::string& text);

// Where the menus read their texts and the language choice list. Empty members
// use the language subsystem (i18n); tests and tools put their own tables here.
struct LanguageHooks {
    std::function<std::string(const std::string&)> text;
    std::function<int32_t()> count;
    std::function<std::string(int32_t)> nameAt;
    std::function<int32_t(const std::string&)> position;
    std::function<std::string()> next;
    std::function<int32_t()> current;
};
extern LanguageHooks languageHooks;

}  // namespace ui
