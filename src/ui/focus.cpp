// Keyboard and controller focus on the menus and dialogs.
//
// The focus lives beside the hover index of each button set: while it shows,
// the hover index is the focused button, so the screen's highlight routine
// gives it its active picture and a key acts on it through the same click
// dispatch the mouse uses. The geometry helpers are shared with the level map
// and the board (game/focus.cpp).
#include <cstdlib>
#include <limits>

#include "app/state.h"
#include "audio/audio.h"
#include "ui/toolkit.h"

namespace ui {

KeyFocus keyFocus;

int32_t NearestInDirection(const std::vector<FocusRect>& rects, int32_t from, int32_t dx,
                           int32_t dy) {
    if (from < 0 || from >= static_cast<int32_t>(rects.size())) return from;
    // Centres doubled, so halves stay exact.
    auto cx = [](const FocusRect& r) { return int64_t{r.left} + r.right; };
    auto cy = [](const FocusRect& r) { return int64_t{r.top} + r.bottom; };
    const FocusRect& here = rects[static_cast<size_t>(from)];
    int32_t best = from;
    int64_t bestScore = std::numeric_limits<int64_t>::max();
    for (size_t i = 0; i < rects.size(); ++i) {
        const FocusRect& r = rects[i];
        if (static_cast<int32_t>(i) == from || !r.enabled) continue;
        const int64_t ax = cx(r) - cx(here), ay = cy(r) - cy(here);
        const int64_t along = ax * dx + ay * dy;
        if (along <= 0) continue;
        const int64_t across = dx != 0 ? std::llabs(ay) : std::llabs(ax);
        const int64_t score = along + 3 * across;
        if (score < bestScore) {
            bestScore = score;
            best = static_cast<int32_t>(i);
        }
    }
    return best;
}

int32_t StepInOrder(const std::vector<FocusRect>& rects, int32_t from, int32_t step) {
    const int32_t n = static_cast<int32_t>(rects.size());
    if (n == 0) return from;
    int32_t i = from < 0 || from >= n ? (step > 0 ? -1 : n) : from;
    for (int32_t tries = 0; tries < n; ++tries) {
        i = ((i + (step > 0 ? 1 : -1)) % n + n) % n;
        if (rects[static_cast<size_t>(i)].enabled) return i;
    }
    return from;
}

namespace {

bool SlotEnabled(int32_t screenState, const ButtonSet& set, int32_t index) {
    if (index < 1 || index > set.count) return false;
    return screenState != app::Settings || SettingsSlotEnabled(index);
}

// The set's slots as rectangles, index 0 standing for slot 1.
std::vector<FocusRect> SlotRects(int32_t screenState, const ButtonSet& set) {
    std::vector<FocusRect> rects;
    for (int32_t i = 1; i <= set.count; ++i) {
        const ButtonSlot& s = set.slot[static_cast<size_t>(i)];
        rects.push_back({s.left, s.top, s.right, s.bottom, SlotEnabled(screenState, set, i)});
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
    if (!SlotEnabled(screenState, *set, index)) index = set->hover;
    if (!SlotEnabled(screenState, *set, index)) {
        // Enter twice must not quit or leave a level: the quit dialogs offer NO.
        index = screenState == app::QuitConfirm || screenState == app::LeaveConfirm ? 2 : 1;
        if (!SlotEnabled(screenState, *set, index)) {
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
    if (!set || !SlotEnabled(screenState, *set, set->focus)) return;
    set->hover = set->focus;
    ClickDialog(screenState);
}

}  // namespace ui
