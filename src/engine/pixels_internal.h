// Internal to the engine: how the canvas (text and boxes drawn by the CPU)
// reaches the pixels of sprites and image objects, which the sprite service owns.
#pragma once

#include <cstdint>

namespace engine::detail {

// A block of 32-bit pixels, bytes in the order blue, green, red, alpha
// (straight alpha), rows `pitch` bytes apart.
struct PixelView {
    uint8_t* bgra = nullptr;
    int width = 0;
    int height = 0;
    int pitch = 0;
};

// The CPU copy of the pixels behind a canvas target (from SpriteCanvas), made
// from the sprite's current contents. Returns false when the target names no
// sprite.
bool LockCanvasTarget(int target, PixelView* out);
// Uploads the CPU copy back into the sprite's texture.
void UnlockCanvasTarget(int target);
// The pixels of a 32-bit image object (24-bit images are widened on decode).
bool ImagePixelView(int image, PixelView* out);

// How many frames FlipFrame has rendered and presented since the program
// started; a frame the window already shows is not counted.
uint64_t FramesPresented();

}  // namespace engine::detail
