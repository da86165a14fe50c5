// Keyboard and controller focus on the menus and dialogs.
//
// The focus lives beside the hover index of each button set: while it shows,
// the hover index is the focused button, so the screen's highlight routine
// gives it its active picture and a key acts on it through the same click
// dispatch the mouse uses. The geometry helpers are shared with the level map
// and the board (game/focus.cpp).
#include "app/state.h"
#include "audio/audio.h"
#include "display/navigation.h"
#include "ui/toolkit.h"

namespace ui {

using display::FocusRect;
using display::NearestInDirection;
using display::StepInOrder;

KeyFocus keyFocus;

namespace {

// The set's slots as rectangles, index 0 standing for slot 1.
std::vector<FocusRect> SlotRects(int32_t screenState, const ButtonSet& set) {
    std::vector<FocusRect> rects;
    for (int32_t i = 1; i <= set.count; ++i) {
        const ButtonSlot& s = set.slot[static_cast<size_t>(i)];
        rects.push_back({s.left, s.top, s.right, s.bottom, SlotEnabled(screenState, i)});
    }
    return rects;
}

void FocusSlot(int32_t screenState, ButtonSet* set, int32_t index) {
    set->focus = index;
    set->hover = index;
    if (auto highlight = HighlightOfState(screenState)) highlight(index);
}

}  // namespace

void PlaceDialogFocus(int32_t screenState) {
    ButtonSet* set = ButtonsOfState(screenState);
    if (!set || set->count == 0) return;
    int32_t index = set->focus;
    // Not yet placed on this screen: it starts where the pointer has left the
    // highlight, if anywhere.
    if (!SlotEnabled(screenState, index)) index = set->hover;
    if (!SlotEnabled(screenState, index)) {
        index = FindDialogScreen(screenState)->firstFocus;
        if (!SlotEnabled(screenState, index)) {
            const std::vector<FocusRect> rects = SlotRects(screenState, *set);
            index = StepInOrder(rects, -1, 1) + 1;
        }
    }
    FocusSlot(screenState, set, index);
}

void MoveDialogFocus(int32_t screenState, int32_t dx, int32_t dy, int32_t step) {
    ButtonSet* set = ButtonsOfState(screenState);
    if (!set || set->count == 0) return;
    PlaceDialogFocus(screenState);
    const int32_t from = set->focus;
    if (screenState == app::Settings && dx != 0 && from <= 5) {
        // On a settings row, left and right change its value.
        if (StepSettingsRow(from, dx)) {
            audio::PlayEffect(audio::ClickEffect, app::settings.MusicVolume);
        }
        return;
    }
    const std::vector<FocusRect> rects = SlotRects(screenState, *set);
    int32_t to = step != 0 ? StepInOrder(rects, from - 1, step) + 1
                           : NearestInDirection(rects, from - 1, dx, dy) + 1;
    // OK and CANCEL stand level below the middle of the rows: down from a row
    // goes to OK rather than to whichever rounding put a pixel nearer.
    if (screenState == app::Settings && step == 0 && dy > 0 && from <= 5 && to == 7) to = 6;
    FocusSlot(screenState, set, to);
}

void ActivateDialogFocus(int32_t screenState) {
    ButtonSet* set = ButtonsOfState(screenState);
    if (!set || !SlotEnabled(screenState, set->focus)) return;
    set->hover = set->focus;
    ClickDialog(screenState);
}

}  // namespace ui
