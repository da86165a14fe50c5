// Internal to the engine: the state shared by the display, sprite, image,
// window, cursor and input files, and the picture decoders.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <deque>
#include <vector>

#include "engine/object_table.h"
#include "engine/picture_decode.h"

namespace engine::detail {

struct Sprite {
    SDL_Texture* texture = nullptr;
    int natural_w = 0, natural_h = 0;
    int drawn_w = 0, drawn_h = 0;
    int flags = 0;
    SDL_Rect source{};
    std::vector<uint8_t> opacity_mask;  // flag 4 only
    int scale_mode = -1;                // last SDL scale mode set on the texture
    bool known_blank = false;           // never drawn on since CreateBlankSprite
    bool canvas_open = false;
    std::vector<uint8_t> canvas;  // CPU copy while a canvas is open
    ~Sprite();
};

struct Image {
    Picture picture;
};

struct AppWindow {
    SDL_Window* window = nullptr;
    int flags = 0;
    int cursor_x = -1, cursor_y = -1;
    bool inside = false;
    ~AppWindow();
};

struct DisplayState {
    bool video_ready = false;
    bool open = false;
    bool fullscreen = false;
    SDL_Window* window = nullptr;  // the display's window (owned when full screen)
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* frame = nullptr;
    int width = 0, height = 0;
    int offset_x = 0, offset_y = 0;  // where the frame sits in a window
    bool auto_stretch = false;
    int right_offset = 0, bottom_offset = 0;
    int flip_mode = 0;
    SDL_BlendMode blend = SDL_BLENDMODE_BLEND;  // straight alpha for blended draws
    bool frame_needs_clear = true;              // set by every present
    int filter = 0;                             // 0 nearest, 1 bilinear
    bool focused = false;
    bool presented = false;
    bool gl_on_cpu = false;  // no GPU: GL would run on the CPU; use the 2D renderer
    // Pacing.
    int target_fps = 0;
    uint64_t ticks_per_frame = 0;
    uint64_t last_frame = 0;
    bool pacing = true;
    // Event codes waiting for PollWindowEvent.
    std::deque<int> events;
};

DisplayState& Display();
ObjectTable<Sprite>& Sprites();
ObjectTable<AppWindow>& Windows();

// Points the renderer at the frame and, on the first draw after a present,
// clears it to black. False without a display.
bool BeginFrameDraw();
// Reads a texture's pixels into `out` (width * 4 bytes a row). Restores the
// frame as the render target.
bool ReadTexturePixels(SDL_Texture* texture, int width, int height, std::vector<uint8_t>* out);
// A render-target texture of the sprite format, or nullptr.
SDL_Texture* CreateSpriteTexture(int width, int height);
// Feeds a system event to the window event queue and the input state.
void HandleSystemEvent(const SDL_Event& event);
// Input's share of the system events and of display closing (input.cpp).
void InputHandleEvent(const SDL_Event& event);
void InputDisplayClosed();

// Sprite or image number/handle <-> the nonzero token the canvas code is given.
inline int TokenFromId(int id) {
    return ObjectTable<int>::IsHandle(id) ? id : id + 1;
}
inline int IdFromToken(int token) {
    if (token <= 0) return -2;  // names nothing
    return ObjectTable<int>::IsHandle(token) ? token : token - 1;
}

}  // namespace engine::detail
