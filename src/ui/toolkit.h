// The shared pieces of every dialog: caption buttons, panels and their common
// scale, the two placement families, slots, highlight and hover rules. Only the
// files of src/ui/ include this.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "display/sprites.h"
#include "ui/ui.h"

namespace ui {

// The sprite numbers of the catalogue, by their names.
using namespace display::sprites;

// Anchors of the artwork.
inline constexpr int32_t kCaptionCentreX = 163;
inline constexpr int32_t kAnchorY = 60;

// Font numbers.
inline constexpr int32_t kFontCaption = 0;
inline constexpr int32_t kFontTitle = 1;
inline constexpr int32_t kFontCredits = 2;
inline constexpr int32_t kFontSettings = 3;
inline constexpr int32_t kFontHelp = 4;

// The text of a key in the loaded language (through languageHooks).
std::string Text(const std::string& key);
// Selects an engine font by its number on the open canvas.
void SelectFont(int32_t font);

// A sprite's size as loaded or copied (before any SetSpriteSize).
int32_t NaturalWidth(int32_t sprite);
int32_t NaturalHeight(int32_t sprite);

// Renders one caption button: a copy of the face with the caption centred on
// the face's anchor, scaled to ButtonWidth x ButtonHeight.
void RenderCaptionButton(int32_t picture, int32_t face, const std::string& key);
// Both looks of a caption button: normal on picture, active on picture + 1.
void RenderCaptionPair(int32_t normal, const std::string& key);

// Renders a panel at natural size: a fresh copy of the source with its title,
// then the body drawn by `body` (given the natural width) on the still open
// canvas. Returns the natural width and height through the arguments.
void RenderPanel(int32_t picture, int32_t source, const std::string& titleKey,
                 const std::function<void(int32_t naturalWidth)>& body, int32_t* naturalWidth,
                 int32_t* naturalHeight);
// The common panel scale: the display height of a panel of this natural height
// (the main-menu panel is MainPanelHeight high: half the screen's height unless
// a narrow screen needs less), and the width keeping its proportions.
int32_t ScaledPanelHeight(int32_t naturalHeight);
int32_t ScaledPanelWidth(int32_t naturalWidth, int32_t naturalHeight, int32_t height);
// Scales the rendered panel with the common scale and places it.
Panel ScaleMenuColumnPanel(int32_t picture, int32_t naturalWidth, int32_t naturalHeight);
Panel ScaleCentrePanel(int32_t picture, int32_t naturalWidth, int32_t naturalHeight);
// Placement of a panel of display size W x H.
void PlaceMenuColumn(Panel* panel);
void PlaceCentre(Panel* panel);

// y of a button at K / D of the panel's height.
int32_t ButtonY(const Panel& panel, int32_t k, int32_t d);
// A caption-button slot at (x, y) whose hit rectangle is its picture's.
ButtonSlot CaptionSlot(int32_t picture, int32_t x, int32_t y);

// The highlight rule of caption buttons whose active picture is normal + 1.
void HighlightCaptions(ButtonSet* set, const int32_t* normals, int32_t index);

// The strict hover test over a set: the first slot strictly containing the
// point, 0 for none. `skip` (when given) rules slots out.
int32_t SlotUnder(const ButtonSet& set, int32_t x, int32_t y,
                  const std::function<bool(int32_t)>& skip = {});
// The highlight routine of a state's dialog, or nullptr.
void (*HighlightOfState(int32_t screenState))(int32_t);
// Whether a slot of a state's dialog can take the pointer or the focus now.
bool SlotEnabled(int32_t screenState, int32_t index);
// Applies a hover result: stores and highlights when it changed.
void ApplyHover(ButtonSet* set, int32_t index, void (*highlight)(int32_t));

// Draws a panel and its slots.
void DrawPanelAndSlots(const Panel& panel, const ButtonSet& set, bool opaqueButtons);

// One row of the table of dialog screens (ui/screens.cpp): the panel and the
// buttons (members of `dialogs`), the highlight routine, what the screen is
// drawn over (the menu background and logo, or the game screen dimmed by the
// shadow, the game screen itself being the loop's), whether the buttons are
// drawn opaque, which slots can take the pointer now (nullptr: all), the click
// action (given the hovered slot, after the click effect), the Escape action
// (no click effect) and the slot the keyboard focus starts on.
struct DialogScreen {
    enum Backdrop : uint8_t { OverMenuBackdrop, OverGame };
    int32_t state;
    Panel Dialogs::*panel;
    ButtonSet Dialogs::*buttons;
    void (*highlight)(int32_t index);
    Backdrop backdrop;
    bool opaqueButtons;
    bool (*slotEnabled)(int32_t index);
    void (*click)(int32_t index);
    void (*escape)();
    int32_t firstFocus;
};
// The row of a screen state, nullptr for states without a dialog.
const DialogScreen* FindDialogScreen(int32_t screenState);

// Settings screen internals shared with the table and the focus.
void ClickSettings(int32_t index);
// Steps a settings row's pending value forwards (direction 1, as a click does)
// or backwards (-1); OK and CANCEL and disabled rows do nothing. 1 when a value
// changed.
int32_t StepSettingsRow(int32_t index, int32_t direction);
// Whether a settings slot can take the pointer or the focus now.
bool SettingsSlotEnabled(int32_t index);
void LeaveSettings();
// Main menu action by slot index.
void ClickMainMenu(int32_t index);
// Dialog actions by slot index, and their Escape.
void ClickQuit(int32_t index);
void ClickPauseMenu(int32_t index);
void ClickLeaveConfirm(int32_t index);
void ClickLevelFinished(int32_t index);
void ClickLevelFailed(int32_t index);
void ClickGameCompleted(int32_t index);
void ResumeGame();
void LevelResultToMenu();
void GameCompletedToMenu();

}  // namespace ui
