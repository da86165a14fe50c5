// The modal dialogs: the quit confirmation (in the menu column from the main
// menu, centred on the screen as the confirmation to leave a level), the pause
// menu, and the level-finished, level-failed and game-completed results with
// their two-line messages. The overlays are drawn over the game screen.
#include "app/state.h"
#include "display/layout.h"
#include "engine/canvas.h"
#include "engine/display.h"
#include "game/game.h"
#include "ui/toolkit.h"

namespace ui {

std::pair<std::string, std::string> SplitMessage(const std::string& text) {
    const size_t first = text.find('|');
    if (first == std::string::npos) return {text, std::string()};
    const size_t second = text.find('|', first + 1);
    return {text.substr(0, first),
            text.substr(first + 1,
                        second == std::string::npos ? std::string::npos : second - first - 1)};
}

void BuildPauseMenu() {
    auto& d = dialogs;
    static const char* const keys[3] = {"tInGameRESUME", "tInGameRESTART", "tInGameQUIT"};
    static constexpr int32_t k[3] = {200, 380, 560};
    int32_t nw = 0, nh = 0;
    RenderPanel(kPausePanel, kInGameMenuSource, "tInGameTITLE", {}, &nw, &nh);
    d.pauseMenu = ScaleCentrePanel(kPausePanel, nw, nh);
    for (int32_t i = 0; i < 3; ++i)
        RenderCaptionPair(kPauseNormals[i], keys[i]);
    ButtonSet& set = d.pauseButtons;
    set.count = 3;
    set.hover = 0;
    const int32_t x = display::metrics.ScreenWidth / 2 - d.ButtonWidth / 2;
    for (int32_t i = 0; i < 3; ++i)
        set.slot[i + 1] = CaptionSlot(kPauseNormals[i], x, ButtonY(d.pauseMenu, k[i], 737));
}

// The quit panel's YES and NO under a panel standing at either place.
static void FillQuitSlots(ButtonSet* set, const Panel& panel) {
    set->count = 2;
    set->hover = 0;
    const int32_t x = panel.x + panel.width / 2 - dialogs.ButtonWidth / 2;
    set->slot[1] = CaptionSlot(kQuitNormals[0], x, ButtonY(panel, 200, 585));
    set->slot[2] = CaptionSlot(kQuitNormals[1], x, ButtonY(panel, 380, 585));
}

void BuildQuitDialog() {
    auto& d = dialogs;
    int32_t nw = 0, nh = 0;
    RenderPanel(kQuitPanel, kQuitSource, "tQuitTITLE", {}, &nw, &nh);
    d.quitMenuColumn = ScaleMenuColumnPanel(kQuitPanel, nw, nh);
    d.quitCentre = d.quitMenuColumn;
    PlaceCentre(&d.quitCentre);
    RenderCaptionPair(kQuitNormals[0], "tQuitYES");
    RenderCaptionPair(kQuitNormals[1], "tQuitNO");
    FillQuitSlots(&d.quitButtons, d.quitMenuColumn);
    FillQuitSlots(&d.leaveButtons, d.quitCentre);
}

// A result dialog: the settings panel's artwork with a title and a two-line
// message, centred on the screen, with one or two buttons.
static void BuildMessageDialog(Panel* panel, int32_t picture, const char* titleKey,
                               const char* textKey, int32_t font, ButtonSet* set,
                               const int32_t* normals, const char* const* keys, const int32_t* k,
                               int32_t count) {
    const auto& c = app::colours;
    int32_t nw = 0, nh = 0;
    RenderPanel(
        picture, kSettingsSource, titleKey,
        [&](int32_t naturalWidth) {
            SelectFont(font);
            const auto lines = SplitMessage(Text(textKey));
            const std::string* texts[2] = {&lines.first, &lines.second};
            const int32_t tops[2] = {240, 340};
            for (int32_t i = 0; i < 2; ++i) {
                const int32_t x = naturalWidth / 2 - engine::MeasureTextWidth(*texts[i]) / 2;
                engine::DrawCanvasText(x, tops[i], *texts[i], c.ColourDialogText, c.ColourPanel);
            }
        },
        &nw, &nh);
    *panel = ScaleCentrePanel(picture, nw, nh);
    for (int32_t i = 0; i < count; ++i)
        RenderCaptionPair(normals[i], keys[i]);
    set->count = count;
    set->hover = 0;
    const int32_t x = display::metrics.ScreenWidth / 2 - dialogs.ButtonWidth / 2;
    for (int32_t i = 0; i < count; ++i)
        set->slot[i + 1] = CaptionSlot(normals[i], x, ButtonY(*panel, k[i], 868));
}

void BuildLevelFinished() {
    static const char* const keys[2] = {"tLevelFinishedNEXT", "tLevelFinishedMENU"};
    static constexpr int32_t k[2] = {495, 680};
    BuildMessageDialog(&dialogs.levelFinished, kLevelFinishedPanel, "tLevelFinishedTITLE",
                       "tLevelFinishedTEXT", 5, &dialogs.levelFinishedButtons,
                       kLevelFinishedNormals, keys, k, 2);
}

void BuildLevelFailed() {
    static const char* const keys[2] = {"tLevelFailedRETRY", "tLevelFailedMENU"};
    static constexpr int32_t k[2] = {495, 680};
    BuildMessageDialog(&dialogs.levelFailed, kLevelFailedPanel, "tLevelFailedTITLE",
                       "tLevelFailedTEXT", 6, &dialogs.levelFailedButtons, kLevelFailedNormals,
                       keys, k, 2);
}

void BuildGameCompleted() {
    static const char* const keys[1] = {"tCompletedMENU"};
    static constexpr int32_t k[1] = {680};
    BuildMessageDialog(&dialogs.gameCompleted, kGameCompletedPanel, "tCompletedTITLE",
                       "tCompletedTEXT", 7, &dialogs.gameCompletedButtons, kGameCompletedNormals,
                       keys, k, 1);
}

void HighlightQuit(int32_t index) {
    HighlightCaptions(&dialogs.quitButtons, kQuitNormals, index);
}
void HighlightLeaveConfirm(int32_t index) {
    HighlightCaptions(&dialogs.leaveButtons, kQuitNormals, index);
}
void HighlightPauseMenu(int32_t index) {
    HighlightCaptions(&dialogs.pauseButtons, kPauseNormals, index);
}
void HighlightLevelFinished(int32_t index) {
    HighlightCaptions(&dialogs.levelFinishedButtons, kLevelFinishedNormals, index);
}
void HighlightLevelFailed(int32_t index) {
    HighlightCaptions(&dialogs.levelFailedButtons, kLevelFailedNormals, index);
}
void HighlightGameCompleted(int32_t index) {
    HighlightCaptions(&dialogs.gameCompletedButtons, kGameCompletedNormals, index);
}

// ---------------------------------------------------------------------------
// Actions: each button maps to a screen and, where a level ends, to one of
// game play's ways out of it.

void ClickQuit(int32_t index) {
    if (index == 1) {
        app::loop.quitRequest = 1;
    } else if (index == 2) {
        GoToMainMenu();
    }
}

void ResumeGame() {
    dialogs.pauseButtons.hover = 0;
    HighlightPauseMenu(0);
    game::ResumeFromPause();
    app::loop.ScreenState = app::Playing;
}

// The dialogs a level can show again after a new deal start unhovered.
static void ResetLevelDialogs() {
    for (const int32_t state :
         {app::PauseMenu, app::LeaveConfirm, app::LevelFinished, app::LevelFailed}) {
        ButtonsOfState(state)->hover = 0;
        HighlightOfState(state)(0);
    }
}

void ClickPauseMenu(int32_t index) {
    switch (index) {
        case 1:
            ResumeGame();
            break;
        case 2:
            // The level starts again from scratch; its music plays on.
            ResetLevelDialogs();
            game::RestartLevel();
            break;
        case 3:
            EnterScreen(app::LeaveConfirm);
            break;
        default:
            break;
    }
}

void ClickLeaveConfirm(int32_t index) {
    if (index == 1) {
        game::LeaveLevel();
        GoToMainMenu();
    } else if (index == 2) {
        // Back to the pause menu: the pause goes on.
        EnterPauseMenu();
    }
}

// The first completion of the last level shows the game-completed dialog with
// its own music, whichever way the level-finished dialog is left.
static void ShowGameCompleted() {
    game::CompleteGame();
    EnterScreen(app::GameCompleted);
}

void ClickLevelFinished(int32_t index) {
    if (index < 1 || index > 2) return;
    dialogs.levelFinishedButtons.hover = 0;
    HighlightLevelFinished(0);
    if (game::IsLastLevel()) {
        if (app::settings.Completed == 0) {
            ShowGameCompleted();
        } else {
            LevelResultToMenu();
        }
        return;
    }
    if (index == 1) {
        game::NextLevel();
    } else {
        LevelResultToMenu();
    }
}

void ClickLevelFailed(int32_t index) {
    if (index == 1) {
        ResetLevelDialogs();
        game::RetryLevel();
    } else if (index == 2) {
        LevelResultToMenu();
    }
}

void LevelResultToMenu() {
    game::LeaveResult();
    GoToMainMenu();
}

void ClickGameCompleted(int32_t index) {
    if (index == 1) GameCompletedToMenu();
}

void GameCompletedToMenu() {
    game::LeaveCompletedGame();
    GoToMainMenu();
}

}  // namespace ui
