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
    uint64_t version = 0;  // changes whenever the texture's pixels do (NextSpriteVersion)
    int natural_w = 0, natural_h = 0;
    int drawn_w = 0, drawn_h = 0;
    int flags = 0;
    SDL_Rect source{};
    SDL_RendererFlip mirror = SDL_FLIP_NONE;
    std::vector<uint8_t> opacity_mask;  // flag 4 only
    bool known_blank = false;           // never drawn on since CreateBlankSprite
    bool canvas_open = false;
    bool keep_at_drawn_size = false;  // asked while the canvas was open: done as it closes
    std::vector<uint8_t> canvas;      // CPU copy while a canvas is open
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

// One sprite draw into the frame, with everything that decides its pixels.
struct FrameDraw {
    SDL_Texture* texture = nullptr;
    uint64_t version = 0;
    SDL_Rect source{};
    SDL_FRect dest{};
    SDL_BlendMode blend = SDL_BLENDMODE_NONE;
    Uint8 opacity = 255;
    SDL_ScaleMode scale = SDL_ScaleModeNearest;
    SDL_RendererFlip mirror = SDL_FLIP_NONE;

    bool operator==(const FrameDraw& o) const {
        return texture == o.texture && version == o.version && source.x == o.source.x &&
               source.y == o.source.y && source.w == o.source.w && source.h == o.source.h &&
               dest.x == o.dest.x && dest.y == o.dest.y && dest.w == o.dest.w &&
               dest.h == o.dest.h && blend == o.blend && opacity == o.opacity && scale == o.scale &&
               mirror == o.mirror;
    }
};

struct DisplayState {
    // A screen size the tests stand in for the system's (0: none), and
    // whether its change is still to be reported.
    int simulated_screen_width = 0, simulated_screen_height = 0;
    bool simulated_resize = false;
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
    // The frame's draws are kept and rendered when the frame is presented (or
    // earlier, when something needs the frame or changes a texture they use),
    // so that a frame whose draws are those of the frame on the window is not
    // rendered and presented again.
    std::vector<FrameDraw> frame_draws;  // this frame's draws, in order
    size_t frame_rendered = 0;           // how many of them are in the frame already
    std::vector<FrameDraw> shown_draws;  // the draws of the frame on the window
    bool window_stale = true;            // the window needs the frame again
    uint64_t frames_presented = 0;       // frames rendered and presented
    int filter = 0;                      // 0 nearest, 1 bilinear
    bool focused = false;
    bool presented = false;
    bool gl_on_cpu = false;  // no GPU: GL would run on the CPU; use the 2D renderer
    // Pacing.
    int target_fps = 0;
    uint64_t ticks_per_frame = 0;
    uint64_t last_frame = 0;
    uint64_t spin_ticks = 0;  // how long before a frame is due pacing stops sleeping
    bool pacing = true;
    // Event codes waiting for PollWindowEvent.
    std::deque<int> events;
};

DisplayState& Display();
ObjectTable<Sprite>& Sprites();
ObjectTable<AppWindow>& Windows();

// Renders the frame's draws that are not in it yet, clearing it to black
// first when none are. Whatever reads the frame calls this first.
void RenderFrameDraws();
// Before a texture's pixels change or it is destroyed: renders the frame's
// pending draws when any of them uses it.
void BeforeTextureChange(SDL_Texture* texture);
// A version number no sprite's pixels have had before.
uint64_t NextSpriteVersion();
// The frame and its draws start afresh: nothing kept, the window stale.
void ResetFrameDraws();
// Reads a texture's pixels into `out` (width * 4 bytes a row). Restores the
// frame as the render target.
bool ReadTexturePixels(SDL_Texture* texture, int width, int height, std::vector<uint8_t>* out);
// A render-target texture of the sprite format, or nullptr.
SDL_Texture* CreateSpriteTexture(int width, int height);
// Feeds a system event to the window event queue and the input state.
void HandleSystemEvent(const SDL_Event& event);
// Makes SIGTERM, SIGINT and SIGHUP requests to quit (TakeQuitRequest).
void CatchTerminationSignals();
// Gives the three signals their default action back.
void ReleaseTerminationSignals();
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
