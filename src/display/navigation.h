// Moving a keyboard or controller focus among rectangles on the screen: the
// menus' buttons, the level map's buttons and the board's tiles all move the
// same way.
#pragma once

#include <cstdint>
#include <vector>

namespace display {

// Among rectangles, the one nearest to `from` in a direction (dx, dy one of the
// four unit steps): its centre must lie beyond `from`'s in that direction, and
// it is the one with the least distance along the direction plus three times
// the distance across it, so a move keeps to its row or column where it can.
// Disabled ones are skipped. The index, or `from` when there is none.
struct FocusRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool enabled = true;
};
int32_t NearestInDirection(const std::vector<FocusRect>& rects, int32_t from, int32_t dx,
                           int32_t dy);
// The next enabled one after `from` (step 1) or before it (step -1), wrapping;
// `from` when there is no other.
int32_t StepInOrder(const std::vector<FocusRect>& rects, int32_t from, int32_t step);

}  // namespace display
