// Moving a focus among rectangles: nearest in a direction, or next in order.
#include "display/navigation.h"

#include <cstdlib>
#include <limits>

namespace display {

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

}  // namespace display
