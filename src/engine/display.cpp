// The display and the frame cycle: opening and closing the one display, the
// frame picture every sprite is drawn into, presenting and pacing, the event
// pump that feeds both the window event queue and the input state, and the
// message box.
//
// The renderer is SDL's accelerated one with vsync where a GPU draws it, else
// the 2D software renderer (the only one under the dummy video driver the
// tests use).
// Drawing goes into one display-sized target texture (the frame); FlipFrame
// copies it to the window and presents. Blended draws use straight alpha with
// the destination's alpha taken from the source, where the renderer can compose
// that blend mode, and SDL's standard blending otherwise.
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/display.h"
#include "engine/display_internal.h"
#include "engine/input.h"
#include "engine/picture_decode.h"
#include "engine/pixels_internal.h"
#include "engine/platform/platform.h"

namespace engine {
namespace detail {

DisplayState& Display() {
    static auto* state = new DisplayState;  // never destroyed: no exit-order issues
    return *state;
}

uint64_t FramesPresented() {
    return Display().frames_presented;
}

namespace {

bool DriverIs(const char* name) {
    const char* current = SDL_GetCurrentVideoDriver();
    if (current) return SDL_strcasecmp(current, name) == 0;
    const char* wanted = std::getenv("SDL_VIDEODRIVER");
    return wanted && SDL_strcasecmp(wanted, name) == 0;
}

// A driver with no screen behind it: only the software renderer exists, and no
// message box can be seen.
bool HeadlessDriver() {
    return DriverIs("dummy") || DriverIs("offscreen");
}

// True when an accelerated renderer draws through a GL whose hardware is the
// CPU: Mesa's llvmpipe, softpipe or swrast.
bool GlRunsOnCpu(SDL_Renderer* renderer) {
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(renderer, &info) != 0 || !info.name) return false;
    if (std::strncmp(info.name, "opengl", 6) != 0) return false;
    using GetString = const unsigned char* (*)(unsigned int);
    auto get_string = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    if (!get_string) return false;
    constexpr unsigned int kGlRenderer = 0x1F01;
    const auto* name = reinterpret_cast<const char*>(get_string(kGlRenderer));
    if (!name) return false;
    return std::strstr(name, "llvmpipe") || std::strstr(name, "softpipe") ||
           std::strstr(name, "swrast") || std::strstr(name, "Software Rasterizer");
}

// SDL's accelerated renderer where a GPU draws it, else SDL's own 2D software
// renderer. A GL emulated on the CPU draws the same frames several times
// slower than the 2D renderer (a whole core at idle instead of half of one),
// and its driver maps about 45 MB of LLVM that can never be unloaded, so it is
// not loaded at all on a machine without a GPU and is dropped when it turns
// out to be one. A renderer named in SDL_RENDER_DRIVER is the player's choice.
SDL_Renderer* MakeRenderer(SDL_Window* window, int flip_mode) {
    auto& d = Display();
    SDL_Renderer* renderer = nullptr;
    const bool chosen = std::getenv("SDL_RENDER_DRIVER") != nullptr;
    if (!chosen && !d.gl_on_cpu && !os::MachineHasGpu()) d.gl_on_cpu = true;
    if (!HeadlessDriver() && !d.gl_on_cpu) {
        Uint32 flags = SDL_RENDERER_ACCELERATED | SDL_RENDERER_TARGETTEXTURE;
        // A page's frames reach the screen at the browser's own refresh once
        // the program yields: no swap interval to ask for there.
        if (flip_mode && !os::FramesYield()) flags |= SDL_RENDERER_PRESENTVSYNC;
        renderer = SDL_CreateRenderer(window, -1, flags);
        if (renderer && !chosen && GlRunsOnCpu(renderer)) {
            SDL_DestroyRenderer(renderer);
            renderer = nullptr;
            d.gl_on_cpu = true;
        }
    }
    // The 2D renderer draws into the window's own surface, not through GL.
    if (d.gl_on_cpu) SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (!renderer) {
        renderer =
            SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE | SDL_RENDERER_TARGETTEXTURE);
    }
    return renderer;
}

// The renderer and the frame for the window in d.window; false (with nothing
// left behind) when either cannot be made.
bool MakeRendererAndFrame(int width, int height, int flip_mode) {
    auto& d = Display();
    d.renderer = MakeRenderer(d.window, flip_mode);
    if (!d.renderer) return false;
    d.frame = SDL_CreateTexture(d.renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET,
                                width, height);
    if (!d.frame || SDL_SetRenderTarget(d.renderer, d.frame) != 0) {
        SDL_DestroyRenderer(d.renderer);  // destroys the frame too
        d.renderer = nullptr;
        d.frame = nullptr;
        return false;
    }
    // Straight alpha whose destination alpha is the source's, where the
    // renderer composes it; SDL's own blending otherwise.
    SDL_BlendMode straight = SDL_ComposeCustomBlendMode(
        SDL_BLENDFACTOR_SRC_ALPHA, SDL_BLENDFACTOR_ONE_MINUS_SRC_ALPHA, SDL_BLENDOPERATION_ADD,
        SDL_BLENDFACTOR_ONE, SDL_BLENDFACTOR_ZERO, SDL_BLENDOPERATION_ADD);
    d.blend = SDL_SetTextureBlendMode(d.frame, straight) == 0 ? straight : SDL_BLENDMODE_BLEND;
    SDL_SetTextureBlendMode(d.frame, SDL_BLENDMODE_NONE);
    d.width = width;
    d.height = height;
    d.flip_mode = flip_mode;
    d.filter = 0;
    ResetFrameDraws();
    d.presented = false;
    d.open = true;
    return true;
}

bool SizeOk(int width, int height) {
    return width >= 1 && height >= 1 && width <= kMaxPictureSide && height <= kMaxPictureSide;
}

void Present() {
    auto& d = Display();
    if (!d.renderer) return;
    Uint32 window_flags = SDL_GetWindowFlags(d.window);
    if (window_flags & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN)) {
        // Nothing can be seen: drop the frame.
        d.presented = false;
        ResetFrameDraws();
        SDL_Delay(10);
        return;
    }
    // The same draws of the same pictures as the frame on the window: it is
    // on the window already (an idle menu costs next to nothing).
    if (!d.window_stale && d.frame_rendered == 0 && d.frame_draws == d.shown_draws) {
        d.frame_draws.clear();
        d.presented = true;
        return;
    }
    RenderFrameDraws();
    SDL_SetRenderTarget(d.renderer, nullptr);
    SDL_SetRenderDrawColor(d.renderer, 0, 0, 0, 255);
    SDL_RenderClear(d.renderer);
    SDL_SetTextureBlendMode(d.frame, SDL_BLENDMODE_NONE);
    SDL_SetTextureAlphaMod(d.frame, 255);
    SDL_SetTextureScaleMode(d.frame, SDL_ScaleModeLinear);
    int out_w = 0, out_h = 0;
    SDL_GetRendererOutputSize(d.renderer, &out_w, &out_h);
    SDL_Rect dst{0, 0, d.width, d.height};
    if (d.fullscreen) {
        dst = SDL_Rect{0, 0, out_w, out_h};  // a mode of another size shows the frame scaled
    } else {
        dst.x = d.offset_x;
        dst.y = d.offset_y;
        if (d.auto_stretch) {
            dst.w = out_w - d.offset_x - d.right_offset;
            dst.h = out_h - d.offset_y - d.bottom_offset;
        }
    }
    if (dst.w == d.width && dst.h == d.height)
        SDL_SetTextureScaleMode(d.frame, SDL_ScaleModeNearest);
    SDL_RenderCopy(d.renderer, d.frame, nullptr, &dst);
    SDL_RenderPresent(d.renderer);
    SDL_SetRenderTarget(d.renderer, d.frame);
    d.presented = true;
    d.shown_draws.swap(d.frame_draws);
    d.frame_draws.clear();
    d.frame_rendered = 0;
    d.window_stale = false;
    ++d.frames_presented;
    os::FramePresented(d.frames_presented);
}

// Where frames yield (a page), the wait is one sleep to the due time, and a
// frame that is late or unpaced still hands control back once.
void PaceByYielding() {
    auto& d = Display();
    const uint64_t frequency = SDL_GetPerformanceFrequency();
    uint64_t now = SDL_GetPerformanceCounter();
    int64_t wait_us = 0;
    if (d.pacing && d.ticks_per_frame != 0 && d.last_frame != 0) {
        const uint64_t due = d.last_frame + d.ticks_per_frame;
        if (now < due) wait_us = static_cast<int64_t>((due - now) * 1000000 / frequency);
    }
    os::SleepMicroseconds(wait_us);
    now = SDL_GetPerformanceCounter();
    // A frame more than one late starts the count afresh rather than rushing.
    if (d.last_frame != 0 && now - d.last_frame < 2 * d.ticks_per_frame) {
        d.last_frame += d.ticks_per_frame;
    } else {
        d.last_frame = now;
    }
}

void Pace() {
    auto& d = Display();
    if (os::FramesYield()) return PaceByYielding();
    if (!d.pacing || d.target_fps < 1 || d.ticks_per_frame == 0) return;
    const uint64_t frequency = SDL_GetPerformanceFrequency();
    uint64_t now = SDL_GetPerformanceCounter();
    if (d.last_frame != 0) {
        // Sleep in microseconds until a margin before the frame is due, then
        // spin. The margin follows how late the sleeps wake: a late wake-up
        // widens it at once, punctual ones narrow it slowly, so a quiet machine
        // spins a few tenths of a millisecond and a busy one keeps its frames.
        const uint64_t least = frequency / 4000;  // 0.25 ms
        const uint64_t most = frequency / 250;    // 4 ms
        if (d.spin_ticks < least) d.spin_ticks = frequency / 1000;
        const uint64_t due = d.last_frame + d.ticks_per_frame;
        if (now + d.spin_ticks < due) {
            const uint64_t wake = due - d.spin_ticks;
            while (now < wake) {
                const uint64_t sleep_us = (wake - now) * 1000000 / frequency;
                if (sleep_us == 0) break;
                os::SleepMicroseconds(static_cast<int64_t>(sleep_us));
                now = SDL_GetPerformanceCounter();
            }
            const uint64_t late = now > wake ? now - wake : 0;
            const uint64_t wanted = std::clamp(2 * late + least, least, most);
            if (wanted > d.spin_ticks) {
                d.spin_ticks = wanted;
            } else {
                d.spin_ticks -= (d.spin_ticks - wanted) / 64;
            }
        }
        while ((now = SDL_GetPerformanceCounter()) <= due) {
        }
    }
    d.last_frame = now;
}

void DrainEvents() {
    while (PollWindowEvent() != 0) {
    }
    Display().events.clear();
}

}  // namespace
}  // namespace detail

using detail::Display;

int InitSpriteSystem() {
    auto& d = Display();
    if (d.video_ready) return 1;
    // Large short-lived blocks (decoded pictures, sounds) go back to the
    // system when freed.
    os::TuneAllocatorForPlay();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "Mnemora: video system: %s\n", SDL_GetError());
        return 0;
    }
    SDL_StopTextInput();  // keys only; no input method windows
    detail::CatchTerminationSignals();
    d.video_ready = true;
    return 1;
}

void ShutdownSpriteSystem() {
    auto& d = Display();
    if (!d.video_ready) return;
    CloseDisplay();
    CloseAppWindow(-1);
    ReleaseCursor(-1);
    ShutdownInput();
    d.events.clear();
    detail::ReleaseTerminationSignals();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    d.video_ready = false;
}

int OpenExclusiveDisplay(int width, int height, int, const std::string& title, int flipMode) {
    auto& d = Display();
    CloseDisplay();
    if (!d.video_ready || !detail::SizeOk(width, height)) return 0;
    SDL_ShowCursor(SDL_DISABLE);
    d.window =
        SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED_DISPLAY(0),
                         SDL_WINDOWPOS_UNDEFINED_DISPLAY(0), width, height, SDL_WINDOW_FULLSCREEN);
    if (d.window) os::WindowMade(width, height);
    if (d.window && detail::MakeRendererAndFrame(width, height, flipMode)) {
        d.fullscreen = true;
        d.focused = true;
        SDL_RaiseWindow(d.window);
        return 1;
    }
    std::fprintf(stderr, "Mnemora: full-screen display %dx%d: %s\n", width, height, SDL_GetError());
    if (d.window) SDL_DestroyWindow(d.window);
    d.window = nullptr;
    SDL_ShowCursor(SDL_ENABLE);
    detail::Sprites().ReleaseAll();
    return 0;
}

int OpenDisplayInWindow(int64_t parentWindow, int x, int y, int width, int height, int autoStretch,
                        int rightOffset, int bottomOffset, int flipMode) {
    auto& d = Display();
    CloseDisplay();
    SDL_Window* window = nullptr;
    if (d.video_ready && parentWindow > 0 && parentWindow <= UINT32_MAX) {
        window = SDL_GetWindowFromID(static_cast<Uint32>(parentWindow));
    }
    if (!window || !detail::SizeOk(width, height)) {
        detail::Sprites().ReleaseAll();
        return 0;
    }
    d.window = window;
    if (!detail::MakeRendererAndFrame(width, height, flipMode)) {
        std::fprintf(stderr, "Mnemora: display in window %dx%d: %s\n", width, height,
                     SDL_GetError());
        d.window = nullptr;
        detail::Sprites().ReleaseAll();
        return 0;
    }
    d.fullscreen = false;
    d.offset_x = x;
    d.offset_y = y;
    d.auto_stretch = autoStretch != 0;
    d.right_offset = rightOffset;
    d.bottom_offset = bottomOffset;
    // A hidden or minimised window cannot be seen; otherwise the focus is the
    // window's, and showing and activating it sets it (SetAppWindowHidden, 0).
    if (SDL_GetWindowFlags(window) & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED)) {
        d.focused = false;
    }
    return 1;
}

void CloseDisplay() {
    auto& d = Display();
    if (!d.open) return;
    detail::InputDisplayClosed();
    detail::ResetFrameDraws();
    detail::Sprites().ReleaseAll();  // textures belong to the renderer
    // Leave no render target behind: SDL 2.26 destroying a renderer whose
    // target texture is still set queues commands it never frees.
    SDL_SetRenderTarget(d.renderer, nullptr);
    SDL_DestroyTexture(d.frame);
    SDL_DestroyRenderer(d.renderer);
    if (d.fullscreen) {
        SDL_DestroyWindow(d.window);
        d.focused = false;  // a window's focus stays the window's
    }
    SDL_ShowCursor(SDL_ENABLE);
    d.renderer = nullptr;
    d.frame = nullptr;
    d.window = nullptr;
    d.open = false;
    d.fullscreen = false;
    d.presented = false;
    d.width = d.height = 0;
    d.offset_x = d.offset_y = 0;
    d.auto_stretch = false;
}

int IsDisplayOpen() {
    return Display().open ? 1 : 0;
}
int DisplayWidth() {
    return Display().width;
}
int DisplayHeight() {
    return Display().height;
}

int SetTargetFrameRate(int fps) {
    auto& d = Display();
    uint64_t frequency = SDL_GetPerformanceFrequency();
    if (fps < 1 || frequency == 0) return 0;
    d.target_fps = fps;
    d.ticks_per_frame = frequency / static_cast<uint64_t>(fps);
    d.last_frame = 0;
    return 1;
}

void SetFramePacing(bool on) {
    auto& d = Display();
    d.pacing = on;
    d.last_frame = 0;
}

void SetSpriteFiltering(int mode) {
    if (mode == 0 || mode == 1) Display().filter = mode;
}

void EndLoading() {
    const bool dropped = detail::DropSparePixels();
    if (!os::TuneAllocatorForPlay() && dropped) os::TrimAllocator();
}

void FlipFrame() {
    auto& d = Display();
    if (d.open && d.fullscreen) detail::DrainEvents();
    detail::Present();
    if (d.open && d.fullscreen) detail::DrainEvents();
    // Loading is over once a frame shows, if not said before.
    EndLoading();
    detail::Pace();
}

int IsDisplayFocused() {
    auto& d = Display();
    return d.open && d.focused ? 1 : 0;
}

int ShowMessageBox(const std::string& title, const std::string& text, int flags) {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    std::fflush(stderr);
    if (flags & kMessageBoxFatal) detail::ReleaseTerminationSignals();
    // A page shows the message itself; the first button is the answer.
    const bool fatal = (flags & kMessageBoxFatal) != 0;
    int buttons = flags & 0xF;
    SDL_MessageBoxButtonData ok[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT,
         kResultOk, "OK"}};
    SDL_MessageBoxButtonData ok_cancel[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, kResultOk, "OK"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, kResultCancel, "Cancel"}};
    SDL_MessageBoxButtonData yes_no[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, kResultYes, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, kResultNo, "No"}};
    SDL_MessageBoxData box{};
    box.title = title.c_str();
    box.message = text.c_str();
    if (buttons == kMessageBoxOkCancel) {
        box.buttons = ok_cancel;
        box.numbuttons = 2;
    } else if (buttons == kMessageBoxYesNo) {
        box.buttons = yes_no;
        box.numbuttons = 2;
    } else {
        box.buttons = ok;
        box.numbuttons = 1;
    }
    if (detail::HeadlessDriver() || os::ShowMessageInPage(title, text, fatal)) {
        return box.buttons[0].buttonid;
    }
    int icon = flags & 0xF0;
    box.flags = icon == kMessageBoxIconWarning       ? SDL_MESSAGEBOX_WARNING
                : icon == kMessageBoxIconInformation ? SDL_MESSAGEBOX_INFORMATION
                                                     : SDL_MESSAGEBOX_ERROR;
    // A full-screen display would hide the box.
    auto& d = Display();
    if (d.open && d.fullscreen) SDL_MinimizeWindow(d.window);
    int pressed = 0;
    if (SDL_ShowMessageBox(&box, &pressed) != 0) return 0;
    return pressed;
}

}  // namespace engine
