// Synthetic input for tests, pushed as SDL events.
#include "engine/testing/synthetic_events.h"

#include <SDL.h>

#include <map>

#include "engine/display.h"
#include "engine/display_internal.h"
#include "engine/input.h"

namespace engine {

namespace {

Uint32 WindowId(int window) {
    if (window == -1) {
        auto& d = detail::Display();
        return d.window ? SDL_GetWindowID(d.window) : 0;
    }
    detail::AppWindow* w = detail::Windows().Get(window);
    return w && w->window ? SDL_GetWindowID(w->window) : 0;
}

int Push(SDL_Event* e) {
    if (!detail::Display().video_ready) return 0;
    e->common.timestamp = SDL_GetTicks();
    return SDL_PushEvent(e) == 1 ? 1 : 0;
}

}  // namespace

int PushKeyEvent(int scanCode, int down) {
    if (scanCode < 1 || scanCode > 255) return 0;
    for (int sdl = 1; sdl < SDL_NUM_SCANCODES; ++sdl) {
        if (ScanCodeFromSystem(sdl) != scanCode) continue;
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.windowID = WindowId(-1);
        e.key.keysym.scancode = static_cast<SDL_Scancode>(sdl);
        e.key.keysym.sym = SDL_GetKeyFromScancode(e.key.keysym.scancode);
        return Push(&e);
    }
    return 0;
}

int PushMouseMotion(int window, int x, int y, int dx, int dy) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = WindowId(window);
    e.motion.x = x;
    e.motion.y = y;
    e.motion.xrel = dx;
    e.motion.yrel = dy;
    return Push(&e);
}

int PushMouseButton(int window, int button, int down, int x, int y, int clicks) {
    static const Uint8 kButtons[] = {0, SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE};
    if (button < 1 || button > 3) return 0;
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.windowID = WindowId(window);
    e.button.button = kButtons[button];
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.button.clicks = static_cast<Uint8>(clicks < 1 ? 1 : clicks > 255 ? 255 : clicks);
    e.button.x = x;
    e.button.y = y;
    return Push(&e);
}

int PushMouseWheel(int notches) {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.windowID = WindowId(-1);
    e.wheel.y = notches;
    e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    return Push(&e);
}

int PushWindowEvent(int window, int eventCode) {
    Uint8 kind;
    switch (eventCode) {
        case kEventActivated:
            kind = SDL_WINDOWEVENT_FOCUS_GAINED;
            break;
        case kEventDeactivated:
            kind = SDL_WINDOWEVENT_FOCUS_LOST;
            break;
        case kEventMinimised:
            kind = SDL_WINDOWEVENT_MINIMIZED;
            break;
        case kEventMaximised:
            kind = SDL_WINDOWEVENT_MAXIMIZED;
            break;
        case kEventRestored:
            kind = SDL_WINDOWEVENT_RESTORED;
            break;
        case kEventRepaint:
            kind = SDL_WINDOWEVENT_EXPOSED;
            break;
        case kEventMoved:
            kind = SDL_WINDOWEVENT_MOVED;
            break;
        case kEventSized:
            kind = SDL_WINDOWEVENT_SIZE_CHANGED;
            break;
        case kEventClose:
            kind = SDL_WINDOWEVENT_CLOSE;
            break;
        default:
            return 0;
    }
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = kind;
    e.window.windowID = WindowId(window);
    return Push(&e);
}

int PushCursorLeave(int window) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_LEAVE;
    e.window.windowID = WindowId(window);
    return Push(&e);
}

int PushQuitEvent() {
    SDL_Event e{};
    e.type = SDL_QUIT;
    return Push(&e);
}

void SimulateScreenSize(int width, int height) {
    auto& d = detail::Display();
    d.simulated_screen_width = width > 0 && height > 0 ? width : 0;
    d.simulated_screen_height = width > 0 && height > 0 ? height : 0;
    d.simulated_resize = true;
}

namespace {

// The virtual controllers by number, each held open to set its state.
std::map<int, SDL_Joystick*>& VirtualControllers() {
    static auto* list = new std::map<int, SDL_Joystick*>;  // never destroyed
    return *list;
}

SDL_Joystick* VirtualController(int controller) {
    auto& list = VirtualControllers();
    auto it = list.find(controller);
    return it == list.end() ? nullptr : it->second;
}

}  // namespace

int AttachVirtualController() {
    if (!SDL_WasInit(SDL_INIT_GAMECONTROLLER)) return 0;
    const int device = SDL_JoystickAttachVirtual(
        SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX, SDL_CONTROLLER_BUTTON_MAX, 0);
    if (device < 0) return 0;
    SDL_Joystick* joystick = SDL_JoystickOpen(device);
    if (!joystick) {
        SDL_JoystickDetachVirtual(device);
        return 0;
    }
    static int next = 0;
    VirtualControllers()[++next] = joystick;
    return next;
}

int SetVirtualControllerButton(int controller, int padEntry, int down) {
    static const int kButtons[] = {
        SDL_CONTROLLER_BUTTON_DPAD_UP,   SDL_CONTROLLER_BUTTON_DPAD_DOWN,
        SDL_CONTROLLER_BUTTON_DPAD_LEFT, SDL_CONTROLLER_BUTTON_DPAD_RIGHT,
        SDL_CONTROLLER_BUTTON_A,         SDL_CONTROLLER_BUTTON_B,
        SDL_CONTROLLER_BUTTON_START,     SDL_CONTROLLER_BUTTON_BACK,
    };
    SDL_Joystick* joystick = VirtualController(controller);
    if (!joystick || padEntry < kPadUp || padEntry > kPadBack) return 0;
    return SDL_JoystickSetVirtualButton(joystick, kButtons[padEntry - kPadUp],
                                        down ? SDL_PRESSED : SDL_RELEASED) == 0
               ? 1
               : 0;
}

int SetVirtualControllerStick(int controller, int x, int y) {
    SDL_Joystick* joystick = VirtualController(controller);
    if (!joystick) return 0;
    auto axis = [](int v) {
        return static_cast<Sint16>(v < -32768 ? -32768 : v > 32767 ? 32767 : v);
    };
    const bool ok = SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_LEFTX, axis(x)) == 0 &&
                    SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_LEFTY, axis(y)) == 0;
    return ok ? 1 : 0;
}

int DetachVirtualController(int controller) {
    SDL_Joystick* joystick = VirtualController(controller);
    if (!joystick) return 0;
    const SDL_JoystickID id = SDL_JoystickInstanceID(joystick);
    SDL_JoystickClose(joystick);
    VirtualControllers().erase(controller);
    for (int device = 0; device < SDL_NumJoysticks(); ++device) {
        if (SDL_JoystickGetDeviceInstanceID(device) == id) {
            return SDL_JoystickDetachVirtual(device) == 0 ? 1 : 0;
        }
    }
    return 0;
}

}  // namespace engine
