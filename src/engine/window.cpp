// Engine windows and their events.
//
// System events are taken one at a time by PollWindowEvent (and drained by
// FlipFrame in full screen). Each one updates the input state (input.cpp) and,
// for window and click events, queues the engine's event code: the window
// event queue and the keyboard and mouse are fed by the one pump.
#include <SDL.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "engine/display.h"
#include "engine/display_internal.h"
#include "engine/platform/platform.h"

namespace engine {
namespace detail {

AppWindow::~AppWindow() {
    if (window && Display().video_ready) SDL_DestroyWindow(window);
}

ObjectTable<AppWindow>& Windows() {
    static auto* table = new ObjectTable<AppWindow>;  // never destroyed: no exit-order issues
    return *table;
}

namespace {

// Set by a quit event; taken, with a termination signal, by TakeQuitRequest.
bool quit_requested = false;

// A runaway producer must not grow the queue without bound.
constexpr size_t kMaxQueuedEvents = 4096;

AppWindow* FindWindow(Uint32 id) {
    AppWindow* found = nullptr;
    if (id == 0) return nullptr;
    Windows().ForEach([&](int, const AppWindow& w) {
        if (w.window && SDL_GetWindowID(w.window) == id) found = const_cast<AppWindow*>(&w);
    });
    return found;
}

void Queue(int code) {
    auto& d = Display();
    if (d.events.size() < kMaxQueuedEvents) d.events.push_back(code);
}

void TrackCursor(Uint32 window_id, int x, int y) {
    if (AppWindow* w = FindWindow(window_id)) {
        w->cursor_x = x;
        w->cursor_y = y;
        w->inside = true;
    }
}

void HandleWindowEvent(const SDL_WindowEvent& e) {
    auto& d = Display();
    // Shown, exposed, resized, restored: the window needs the frame again.
    if (e.event != SDL_WINDOWEVENT_ENTER && e.event != SDL_WINDOWEVENT_LEAVE) {
        d.window_stale = true;
    }
    switch (e.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            d.focused = true;
            Queue(kEventActivated);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            d.focused = false;
            Queue(kEventDeactivated);
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            d.focused = false;
            Queue(kEventMinimised);
            break;
        case SDL_WINDOWEVENT_MAXIMIZED:
            Queue(kEventMaximised);
            break;
        case SDL_WINDOWEVENT_RESTORED:
            d.focused = true;
            Queue(kEventRestored);
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            Queue(kEventRepaint);
            break;
        case SDL_WINDOWEVENT_MOVED:
            Queue(kEventMoved);
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            Queue(kEventSized);
            break;
        case SDL_WINDOWEVENT_CLOSE:
            Queue(kEventClose);
            break;
        case SDL_WINDOWEVENT_ENTER:
            if (AppWindow* w = FindWindow(e.windowID)) w->inside = true;
            break;
        case SDL_WINDOWEVENT_LEAVE:
            if (AppWindow* w = FindWindow(e.windowID)) w->inside = false;
            break;
        default:
            break;
    }
}

}  // namespace

void HandleSystemEvent(const SDL_Event& e) {
    InputHandleEvent(e);
    switch (e.type) {
        case SDL_QUIT:  // also a termination signal: close as the window's close box does
            quit_requested = true;
            Queue(kEventClose);
            break;
        case SDL_WINDOWEVENT:
            HandleWindowEvent(e.window);
            break;
        case SDL_MOUSEMOTION:
            TrackCursor(e.motion.windowID, e.motion.x, e.motion.y);
            break;
        case SDL_MOUSEBUTTONDOWN:
            TrackCursor(e.button.windowID, e.button.x, e.button.y);
            if (e.button.button == SDL_BUTTON_LEFT && e.button.clicks == 2) {
                Queue(kEventLeftDoubleClick);
            }
            break;
        case SDL_MOUSEBUTTONUP:
            TrackCursor(e.button.windowID, e.button.x, e.button.y);
            if (e.button.button == SDL_BUTTON_LEFT) Queue(kEventLeftClick);
            if (e.button.button == SDL_BUTTON_RIGHT) Queue(kEventRightClick);
            break;
        default:
            break;
    }
}

void CatchTerminationSignals() {
    // Ours rather than the video system's: it catches SIGHUP too, and is seen
    // in every display mode without reading the window events. A request of an
    // earlier run of the video system is gone with it.
    quit_requested = false;
    os::CatchTerminationSignals();
}

void ReleaseTerminationSignals() {
    os::RestoreTerminationSignals();
}

}  // namespace detail

int TakeQuitRequest() {
    const bool signalled = os::TakeTerminationSignal();
    const bool requested = detail::quit_requested || signalled;
    detail::quit_requested = false;
    return requested ? 1 : 0;
}

using detail::AppWindow;
using detail::Display;
using detail::Windows;

int PollWindowEvent() {
    auto& d = Display();
    if (!d.events.empty()) {
        int code = d.events.front();
        d.events.pop_front();
        return code;
    }
    if (!d.video_ready) return 0;
    if (os::TakeScreenResized() || std::exchange(d.simulated_resize, false)) {
        return kEventScreenResized;
    }
    SDL_Event event;
    if (!SDL_PollEvent(&event)) return 0;
    detail::HandleSystemEvent(event);
    return kEventOther;
}

int OpenAppWindow(int number, int x, int y, int width, int height, const std::string& title,
                  int flags) {
    auto& d = Display();
    if (!d.video_ready || width < 1 || height < 1 || width > detail::kMaxPictureSide ||
        height > detail::kMaxPictureSide) {
        if (number != AutoId) CloseAppWindow(number);
        return 0;
    }
    Uint32 sdl_flags = 0;
    if (flags & kWindowHidden) sdl_flags |= SDL_WINDOW_HIDDEN;
    // A pop-up without a caption is frameless; everything else gets a title bar.
    bool title_bar = (flags & kWindowTitleBar) == kWindowTitleBar;
    if ((flags & kWindowNoFrame) && !title_bar) sdl_flags |= SDL_WINDOW_BORDERLESS;
    if (flags & kWindowToolFrame) sdl_flags |= SDL_WINDOW_UTILITY;
    if (flags & kWindowSizingFrame) sdl_flags |= SDL_WINDOW_RESIZABLE;
    if (flags & kWindowMaximised) sdl_flags |= SDL_WINDOW_MAXIMIZED;
    if (flags & kWindowMinimised) sdl_flags |= SDL_WINDOW_MINIMIZED;
    if (flags & kWindowCentre) {
        // The size is clamped to the display only to find the centred position;
        // the window keeps its requested size.
        SDL_Rect bounds{0, 0, width, height};
        SDL_GetDisplayBounds(0, &bounds);
        int w = std::min(width, bounds.w), h = std::min(height, bounds.h);
        x = bounds.x + (bounds.w - w) / 2;
        y = bounds.y + (bounds.h - h) / 2;
    }
    SDL_SetHint(SDL_HINT_WINDOW_NO_ACTIVATION_WHEN_SHOWN, (flags & kWindowNoActivate) ? "1" : "0");
    SDL_Window* window = SDL_CreateWindow(title.c_str(), x, y, width, height, sdl_flags);
    if (!window) {
        if (number != AutoId) CloseAppWindow(number);
        return 0;
    }
    os::WindowMade(width, height);
    auto w = std::make_unique<AppWindow>();
    w->window = window;
    w->flags = flags;
    if (!(flags & (kWindowHidden | kWindowNoActivate | kWindowMinimised))) d.focused = true;
    if (number != AutoId) CloseAppWindow(number);  // closes a display inside the old one
    return Windows().Insert(number, std::move(w));
}

int64_t NativeWindowHandle(int window) {
    AppWindow* w = Windows().Get(window);
    return w ? static_cast<int64_t>(SDL_GetWindowID(w->window)) : 0;
}

void CloseAppWindow(int window) {
    auto& d = Display();
    auto close_one = [&](int id) {
        AppWindow* w = Windows().Get(id);
        if (!w) return;
        if (d.open && !d.fullscreen && d.window == w->window) CloseDisplay();
        Windows().Release(id);
    };
    if (window == -1) {
        std::vector<int> ids;
        Windows().ForEach([&](int id, const AppWindow&) { ids.push_back(id); });
        for (int id : ids)
            close_one(id);
    } else {
        close_one(window);
    }
}

int AppWindowExists(int window) {
    return Windows().Get(window) ? 1 : 0;
}

void SetAppWindowHidden(int window, int hidden) {
    AppWindow* w = Windows().Get(window);
    if (!w) return;
    auto& d = Display();
    if (hidden) {
        SDL_HideWindow(w->window);
        d.focused = false;
    } else {
        SDL_ShowWindow(w->window);
        SDL_RaiseWindow(w->window);
        d.focused = (SDL_GetWindowFlags(w->window) & SDL_WINDOW_MINIMIZED) == 0;
    }
}

void ActivateAppWindow(int window) {
    AppWindow* w = Windows().Get(window);
    if (!w) return;
    SDL_RaiseWindow(w->window);
    Uint32 flags = SDL_GetWindowFlags(w->window);
    if (!(flags & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED))) Display().focused = true;
}

void SetAppWindowState(int window, int state) {
    AppWindow* w = Windows().Get(window);
    if (!w) return;
    auto& d = Display();
    if (state == kWindowMaximised) {
        SDL_MaximizeWindow(w->window);
    } else if (state == kWindowMinimised) {
        SDL_MinimizeWindow(w->window);
        d.focused = false;
    } else if (state == 0) {
        SDL_RestoreWindow(w->window);
        if (!(SDL_GetWindowFlags(w->window) & SDL_WINDOW_HIDDEN)) d.focused = true;
    }
}

int SetAppWindowIcon(int window, const uint8_t* data, int64_t length) {
    AppWindow* w = Windows().Get(window);
    detail::Picture picture;
    if (!w || !data || length < 1 ||
        !detail::DecodePicture(data, static_cast<size_t>(length), &picture)) {
        return 0;
    }
    SDL_Surface* surface =
        SDL_CreateRGBSurfaceWithFormatFrom(picture.bgra.data(), picture.width, picture.height, 32,
                                           picture.width * 4, SDL_PIXELFORMAT_ARGB8888);
    if (!surface) return 0;
    SDL_SetWindowIcon(w->window, surface);
    SDL_FreeSurface(surface);
    return 1;
}

int WindowCursorX(int window) {
    AppWindow* w = Windows().Get(window);
    if (!w || !w->inside) return -1;
    int width = 0, height = 0;
    SDL_GetWindowSize(w->window, &width, &height);
    if (w->cursor_x < 0 || w->cursor_y < 0 || w->cursor_x >= width || w->cursor_y >= height) {
        return -1;
    }
    return w->cursor_x;
}

int WindowCursorY(int window) {
    return WindowCursorX(window) == -1 ? -1 : Windows().Get(window)->cursor_y;
}

}  // namespace engine
