// Stand-in until the sprite service provides these: no canvas target exists.
#include "engine/pixels_internal.h"

namespace engine::detail {

bool LockCanvasTarget(int, PixelView*) {
    return false;
}
void UnlockCanvasTarget(int) {}
bool ImagePixelView(int, PixelView*) {
    return false;
}

}  // namespace engine::detail
