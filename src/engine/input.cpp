// Keyboard and mouse state kept from the system events the display's event
// pump hands over, and the per-frame snapshots the game reads.
//
// Keyboard: the keys down right now (from key events, in set-1 scan codes) are
// the "device state"; PollKeyboard turns it into the snapshot table (0 up,
// 1 held, 2 released since the previous snapshot).
// Controllers: each one taken keeps its own buttons and stick direction; the
// virtual pad entries of the table are held while any controller holds them.
// Mouse: relative motion, wheel and buttons collect in a pending record while
// the mouse is the game's; PollMouse moves them into the current record and
// moves the virtual cursor, clamped to the display.
#include <SDL.h>

#include <array>
#include <cstring>
#include <vector>

#include "engine/display.h"
#include "engine/display_internal.h"
#include "engine/input.h"

namespace engine {
namespace detail {

namespace {

// SDL scan codes (USB usage ids) and their set-1 codes; extended (E0-prefixed)
// keys carry 0x80, as DirectInput numbers them.
constexpr std::pair<int, uint8_t> kSet1[] = {
    {SDL_SCANCODE_A, 0x1E},
    {SDL_SCANCODE_B, 0x30},
    {SDL_SCANCODE_C, 0x2E},
    {SDL_SCANCODE_D, 0x20},
    {SDL_SCANCODE_E, 0x12},
    {SDL_SCANCODE_F, 0x21},
    {SDL_SCANCODE_G, 0x22},
    {SDL_SCANCODE_H, 0x23},
    {SDL_SCANCODE_I, 0x17},
    {SDL_SCANCODE_J, 0x24},
    {SDL_SCANCODE_K, 0x25},
    {SDL_SCANCODE_L, 0x26},
    {SDL_SCANCODE_M, kKeyM},
    {SDL_SCANCODE_N, kKeyN},
    {SDL_SCANCODE_O, 0x18},
    {SDL_SCANCODE_P, 0x19},
    {SDL_SCANCODE_Q, 0x10},
    {SDL_SCANCODE_R, 0x13},
    {SDL_SCANCODE_S, 0x1F},
    {SDL_SCANCODE_T, 0x14},
    {SDL_SCANCODE_U, 0x16},
    {SDL_SCANCODE_V, 0x2F},
    {SDL_SCANCODE_W, 0x11},
    {SDL_SCANCODE_X, 0x2D},
    {SDL_SCANCODE_Y, 0x15},
    {SDL_SCANCODE_Z, 0x2C},
    {SDL_SCANCODE_1, 0x02},
    {SDL_SCANCODE_2, 0x03},
    {SDL_SCANCODE_3, 0x04},
    {SDL_SCANCODE_4, 0x05},
    {SDL_SCANCODE_5, 0x06},
    {SDL_SCANCODE_6, 0x07},
    {SDL_SCANCODE_7, 0x08},
    {SDL_SCANCODE_8, 0x09},
    {SDL_SCANCODE_9, 0x0A},
    {SDL_SCANCODE_0, 0x0B},
    {SDL_SCANCODE_RETURN, kKeyEnter},
    {SDL_SCANCODE_ESCAPE, kKeyEscape},
    {SDL_SCANCODE_BACKSPACE, 0x0E},
    {SDL_SCANCODE_TAB, kKeyTab},
    {SDL_SCANCODE_SPACE, kKeySpace},
    {SDL_SCANCODE_MINUS, 0x0C},
    {SDL_SCANCODE_EQUALS, 0x0D},
    {SDL_SCANCODE_LEFTBRACKET, 0x1A},
    {SDL_SCANCODE_RIGHTBRACKET, 0x1B},
    {SDL_SCANCODE_BACKSLASH, 0x2B},
    {SDL_SCANCODE_NONUSHASH, 0x2B},
    {SDL_SCANCODE_SEMICOLON, 0x27},
    {SDL_SCANCODE_APOSTROPHE, 0x28},
    {SDL_SCANCODE_GRAVE, 0x29},
    {SDL_SCANCODE_COMMA, 0x33},
    {SDL_SCANCODE_PERIOD, 0x34},
    {SDL_SCANCODE_SLASH, 0x35},
    {SDL_SCANCODE_CAPSLOCK, 0x3A},
    {SDL_SCANCODE_F1, 0x3B},
    {SDL_SCANCODE_F2, kKeyF2},
    {SDL_SCANCODE_F3, 0x3D},
    {SDL_SCANCODE_F4, 0x3E},
    {SDL_SCANCODE_F5, 0x3F},
    {SDL_SCANCODE_F6, 0x40},
    {SDL_SCANCODE_F7, 0x41},
    {SDL_SCANCODE_F8, 0x42},
    {SDL_SCANCODE_F9, 0x43},
    {SDL_SCANCODE_F10, 0x44},
    {SDL_SCANCODE_F11, 0x57},
    {SDL_SCANCODE_F12, 0x58},
    {SDL_SCANCODE_PRINTSCREEN, 0xB7},
    {SDL_SCANCODE_SCROLLLOCK, 0x46},
    {SDL_SCANCODE_PAUSE, 0xC5},
    {SDL_SCANCODE_INSERT, 0xD2},
    {SDL_SCANCODE_HOME, 0xC7},
    {SDL_SCANCODE_PAGEUP, 0xC9},
    {SDL_SCANCODE_DELETE, 0xD3},
    {SDL_SCANCODE_END, 0xCF},
    {SDL_SCANCODE_PAGEDOWN, 0xD1},
    {SDL_SCANCODE_RIGHT, kKeyRight},
    {SDL_SCANCODE_LEFT, kKeyLeft},
    {SDL_SCANCODE_DOWN, kKeyDown},
    {SDL_SCANCODE_UP, kKeyUp},
    {SDL_SCANCODE_NUMLOCKCLEAR, 0x45},
    {SDL_SCANCODE_KP_DIVIDE, 0xB5},
    {SDL_SCANCODE_KP_MULTIPLY, 0x37},
    {SDL_SCANCODE_KP_MINUS, kKeyPadMinus},
    {SDL_SCANCODE_KP_PLUS, kKeyPadPlus},
    {SDL_SCANCODE_KP_ENTER, kKeyPadEnter},
    {SDL_SCANCODE_KP_1, 0x4F},
    {SDL_SCANCODE_KP_2, 0x50},
    {SDL_SCANCODE_KP_3, 0x51},
    {SDL_SCANCODE_KP_4, 0x4B},
    {SDL_SCANCODE_KP_5, 0x4C},
    {SDL_SCANCODE_KP_6, 0x4D},
    {SDL_SCANCODE_KP_7, 0x47},
    {SDL_SCANCODE_KP_8, 0x48},
    {SDL_SCANCODE_KP_9, 0x49},
    {SDL_SCANCODE_KP_0, 0x52},
    {SDL_SCANCODE_KP_PERIOD, 0x53},
    {SDL_SCANCODE_NONUSBACKSLASH, 0x56},
    {SDL_SCANCODE_APPLICATION, 0xDD},
    {SDL_SCANCODE_POWER, 0xDE},
    {SDL_SCANCODE_KP_EQUALS, 0x59},
    {SDL_SCANCODE_F13, 0x64},
    {SDL_SCANCODE_F14, 0x65},
    {SDL_SCANCODE_F15, 0x66},
    {SDL_SCANCODE_F16, 0x67},
    {SDL_SCANCODE_F17, 0x68},
    {SDL_SCANCODE_F18, 0x69},
    {SDL_SCANCODE_F19, 0x6A},
    {SDL_SCANCODE_F20, 0x6B},
    {SDL_SCANCODE_F21, 0x6C},
    {SDL_SCANCODE_F22, 0x6D},
    {SDL_SCANCODE_F23, 0x6E},
    {SDL_SCANCODE_F24, 0x76},
    {SDL_SCANCODE_MUTE, 0xA0},
    {SDL_SCANCODE_VOLUMEUP, 0xB0},
    {SDL_SCANCODE_VOLUMEDOWN, 0xAE},
    {SDL_SCANCODE_KP_COMMA, 0x7E},
    {SDL_SCANCODE_INTERNATIONAL1, 0x73},
    {SDL_SCANCODE_INTERNATIONAL2, 0x70},
    {SDL_SCANCODE_INTERNATIONAL3, 0x7D},
    {SDL_SCANCODE_INTERNATIONAL4, 0x79},
    {SDL_SCANCODE_INTERNATIONAL5, 0x7B},
    {SDL_SCANCODE_LANG1, 0xF2},
    {SDL_SCANCODE_LANG2, 0xF1},
    {SDL_SCANCODE_SYSREQ, 0x54},
    {SDL_SCANCODE_LCTRL, kKeyLeftCtrl},
    {SDL_SCANCODE_LSHIFT, kKeyLeftShift},
    {SDL_SCANCODE_LALT, 0x38},
    {SDL_SCANCODE_LGUI, 0xDB},
    {SDL_SCANCODE_RCTRL, kKeyRightCtrl},
    {SDL_SCANCODE_RSHIFT, kKeyRightShift},
    {SDL_SCANCODE_RALT, 0xB8},
    {SDL_SCANCODE_RGUI, 0xDC},
    {SDL_SCANCODE_AUDIONEXT, 0x99},
    {SDL_SCANCODE_AUDIOPREV, 0x90},
    {SDL_SCANCODE_AUDIOSTOP, 0xA4},
    {SDL_SCANCODE_AUDIOPLAY, 0xA2},
    {SDL_SCANCODE_AUDIOMUTE, 0xA0},
    {SDL_SCANCODE_MEDIASELECT, 0xED},
    {SDL_SCANCODE_MAIL, 0xEC},
    {SDL_SCANCODE_CALCULATOR, 0xA1},
    {SDL_SCANCODE_COMPUTER, 0xEB},
    {SDL_SCANCODE_AC_SEARCH, 0xE5},
    {SDL_SCANCODE_AC_HOME, 0xB2},
    {SDL_SCANCODE_AC_BACK, 0xEA},
    {SDL_SCANCODE_AC_FORWARD, 0xE9},
    {SDL_SCANCODE_AC_STOP, 0xE8},
    {SDL_SCANCODE_AC_REFRESH, 0xE7},
    {SDL_SCANCODE_AC_BOOKMARKS, 0xE6},
    {SDL_SCANCODE_SLEEP, 0xDF},
};

std::array<uint8_t, SDL_NUM_SCANCODES> BuildSet1Table() {
    std::array<uint8_t, SDL_NUM_SCANCODES> table{};
    for (const auto& [sdl, set1] : kSet1)
        table[sdl] = set1;
    return table;
}

const std::array<uint8_t, SDL_NUM_SCANCODES>& Set1Table() {
    static const auto table = BuildSet1Table();
    return table;
}

struct MouseRecord {
    int x = 0, y = 0;
    int dx = 0, dy = 0;
    int wheel = 0;
    int left = 0, right = 0, middle = 0;
};

// The pad entries in order: up, down, left, right, A, B, Start, Back.
constexpr int kPadEntries = 8;
constexpr int kPadFirst = kPadUp;

// The left stick counts as a direction beyond this deflection and lets go
// below the smaller one, so a stick resting near the edge does not flicker.
constexpr int kStickPress = 16000;
constexpr int kStickRelease = 8000;

struct Controller {
    SDL_GameController* controller = nullptr;
    SDL_JoystickID id = -1;
    std::array<bool, kPadEntries> button{};  // the D-pad, A, B, Start, Back
    int stick_x = 0, stick_y = 0;            // -1, 0 or 1
};

struct InputState {
    bool keyboard_started = false;
    bool controllers_started = false;
    std::vector<Controller> controllers;
    bool keyboard_acquired = false;
    bool snapshot_taken = false;
    std::array<uint8_t, 256> down{};   // keys down now, from key events
    std::array<uint8_t, 256> table{};  // the snapshot: 0 up, 1 held, 2 released
    bool any_held = false, any_released = false;

    bool mouse_started = false;
    MouseRecord pending, current;
    bool captured = false;
    bool released = false;
};

InputState& Input() {
    static auto* state = new InputState;  // never destroyed: no exit-order issues
    return *state;
}

void EndCapture() {
    auto& in = Input();
    if (!in.captured) return;
    SDL_SetRelativeMouseMode(SDL_FALSE);
    in.captured = false;
}

// The pad entry a controller button holds, or -1.
int PadEntryOfButton(int button) {
    switch (button) {
        case SDL_CONTROLLER_BUTTON_DPAD_UP:
            return 0;
        case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
            return 1;
        case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
            return 2;
        case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
            return 3;
        case SDL_CONTROLLER_BUTTON_A:
            return 4;
        case SDL_CONTROLLER_BUTTON_B:
            return 5;
        case SDL_CONTROLLER_BUTTON_START:
            return 6;
        case SDL_CONTROLLER_BUTTON_BACK:
            return 7;
        default:
            return -1;
    }
}

Controller* FindController(SDL_JoystickID id) {
    for (Controller& c : Input().controllers)
        if (c.id == id) return &c;
    return nullptr;
}

int StickDirection(int value, int previous) {
    if (value <= -kStickPress) return -1;
    if (value >= kStickPress) return 1;
    if (value > -kStickRelease && value < kStickRelease) return 0;
    return previous;
}

// The pad entries of the table from every controller. An entry no controller
// holds any more after one was unplugged goes up without being reported as
// released: pulling the cable is not pressing the button.
void UpdatePadEntries(bool unplugged) {
    auto& in = Input();
    std::array<bool, kPadEntries> held{};
    for (const Controller& c : in.controllers) {
        for (int i = 0; i < kPadEntries; ++i)
            held[i] = held[i] || c.button[i];
        held[0] = held[0] || c.stick_y < 0;
        held[1] = held[1] || c.stick_y > 0;
        held[2] = held[2] || c.stick_x < 0;
        held[3] = held[3] || c.stick_x > 0;
    }
    for (int i = 0; i < kPadEntries; ++i) {
        const int code = kPadFirst + i;
        in.down[code] = held[i] ? 1 : 0;
        if (unplugged && !held[i] && in.table[code] == 1) in.table[code] = 0;
    }
}

void TakeController(int deviceIndex) {
    auto& in = Input();
    SDL_GameController* controller = SDL_GameControllerOpen(deviceIndex);
    if (!controller) return;
    const SDL_JoystickID id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller));
    // Opening again only adds a reference; one is enough.
    if (FindController(id)) {
        SDL_GameControllerClose(controller);
        return;
    }
    Controller c;
    c.controller = controller;
    c.id = id;
    in.controllers.push_back(c);
}

void DropController(SDL_JoystickID id) {
    auto& list = Input().controllers;
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->id != id) continue;
        SDL_GameControllerClose(it->controller);
        list.erase(it);
        UpdatePadEntries(true);
        return;
    }
}

void HandleControllerEvent(const SDL_Event& e) {
    switch (e.type) {
        case SDL_CONTROLLERDEVICEADDED:
            TakeController(e.cdevice.which);
            break;
        case SDL_CONTROLLERDEVICEREMOVED:
            DropController(e.cdevice.which);
            break;
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP: {
            Controller* c = FindController(e.cbutton.which);
            const int entry = PadEntryOfButton(e.cbutton.button);
            if (!c || entry < 0) break;
            c->button[entry] = e.type == SDL_CONTROLLERBUTTONDOWN;
            UpdatePadEntries(false);
            break;
        }
        case SDL_CONTROLLERAXISMOTION: {
            Controller* c = FindController(e.caxis.which);
            if (!c) break;
            if (e.caxis.axis == SDL_CONTROLLER_AXIS_LEFTX) {
                c->stick_x = StickDirection(e.caxis.value, c->stick_x);
            } else if (e.caxis.axis == SDL_CONTROLLER_AXIS_LEFTY) {
                c->stick_y = StickDirection(e.caxis.value, c->stick_y);
            } else {
                break;
            }
            UpdatePadEntries(false);
            break;
        }
        default:
            break;
    }
}

void CloseControllers() {
    auto& in = Input();
    for (Controller& c : in.controllers)
        SDL_GameControllerClose(c.controller);
    in.controllers.clear();
    if (in.controllers_started) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    in.controllers_started = false;
}

// Motion and buttons count only while the mouse is the game's.
bool MouseIsOurs() {
    return !Input().released && IsDisplayFocused();
}

}  // namespace

void InputHandleEvent(const SDL_Event& e) {
    auto& in = Input();
    switch (e.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            int sdl = e.key.keysym.scancode;
            if (sdl <= 0 || sdl >= SDL_NUM_SCANCODES) break;
            uint8_t code = Set1Table()[sdl];
            if (code) in.down[code] = e.type == SDL_KEYDOWN ? 1 : 0;
            break;
        }
        case SDL_MOUSEMOTION:
            if (!MouseIsOurs()) break;
            in.pending.dx += e.motion.xrel;
            in.pending.dy += e.motion.yrel;
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            if (!MouseIsOurs()) break;
            int value = e.type == SDL_MOUSEBUTTONDOWN ? 1 : 0;
            if (e.button.button == SDL_BUTTON_LEFT) in.pending.left = value;
            if (e.button.button == SDL_BUTTON_RIGHT) in.pending.right = value;
            if (e.button.button == SDL_BUTTON_MIDDLE) in.pending.middle = value;
            break;
        }
        case SDL_MOUSEWHEEL: {
            if (!MouseIsOurs()) break;
            int notches = e.wheel.y;
            if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
            in.pending.wheel += notches;
            break;
        }
        case SDL_WINDOWEVENT:
            // Keys held when the focus goes are not seen going up.
            if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) in.down.fill(0);
            break;
        case SDL_CONTROLLERDEVICEADDED:
        case SDL_CONTROLLERDEVICEREMOVED:
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
        case SDL_CONTROLLERAXISMOTION:
            HandleControllerEvent(e);
            break;
        default:
            break;
    }
}

void InputDisplayClosed() {
    auto& in = Input();
    EndCapture();
    in.released = false;
    in.pending = MouseRecord{};
    in.current = MouseRecord{};
    in.keyboard_acquired = false;
}

}  // namespace detail

using detail::Input;

int StartKeyboard() {
    auto& in = Input();
    if (!detail::Display().video_ready) return 0;
    in.keyboard_started = true;
    in.keyboard_acquired = false;
    in.snapshot_taken = false;
    if (!in.controllers_started) {
        // The game decides itself when input counts (PollKeyboard reads
        // nothing while the display is not focused); without this hint the
        // system layer would drop controller events whenever no window has
        // the keyboard, as with the dummy video driver.
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
        // Controllers already attached announce themselves with an added
        // event, as those plugged in later do.
        in.controllers_started = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
    }
    return 1;
}

int PollKeyboard() {
    auto& in = Input();
    if (!in.keyboard_started) return 0;
    // The keyboard belongs to the display's window, in the foreground only.
    if (!IsDisplayFocused()) {
        in.keyboard_acquired = false;
        return 0;
    }
    if (!in.keyboard_acquired) {
        in.keyboard_acquired = true;
        in.table.fill(0);
    }
    in.any_held = in.any_released = false;
    for (int code = 0; code < 255; ++code) {
        if (in.down[code]) {
            in.table[code] = 1;
            in.any_held = true;
        } else if (in.table[code] == 1) {
            in.table[code] = 2;
            in.any_released = true;
        } else {
            in.table[code] = 0;
        }
    }
    in.snapshot_taken = true;
    return 1;
}

int IsKeyDown(int scanCode) {
    auto& in = Input();
    if (!in.snapshot_taken || !in.keyboard_acquired) return 0;
    if (scanCode == -1) return in.any_held ? 1 : 0;
    if (scanCode < 0 || scanCode > 255) return 0;
    return in.table[scanCode] == 1 ? 1 : 0;
}

int WasKeyReleased(int scanCode) {
    auto& in = Input();
    if (!in.snapshot_taken || !in.keyboard_acquired) return 0;
    if (scanCode == -1) return in.any_released ? 1 : 0;
    if (scanCode < 0 || scanCode > 255) return 0;
    return in.table[scanCode] == 2 ? 1 : 0;
}

int ScanCodeFromSystem(int systemScanCode) {
    if (systemScanCode <= 0 || systemScanCode >= SDL_NUM_SCANCODES) return 0;
    return detail::Set1Table()[systemScanCode];
}

int ControllerCount() {
    return static_cast<int>(Input().controllers.size());
}

int StartMouse() {
    if (!detail::Display().video_ready) return 0;
    Input().mouse_started = true;
    return 1;
}

int PollMouse() {
    auto& in = Input();
    if (!in.mouse_started) return 0;
    in.current.dx = in.pending.dx;
    in.current.dy = in.pending.dy;
    in.current.wheel = in.pending.wheel;
    in.current.left = in.pending.left;
    in.current.right = in.pending.right;
    in.current.middle = in.pending.middle;
    in.pending.dx = in.pending.dy = in.pending.wheel = 0;
    if (in.released || !IsDisplayFocused()) {
        detail::EndCapture();
        return 0;
    }
    if (!in.captured) {
        // Relative mode hides the cursor and keeps it in the window. Some
        // drivers cannot do it; the virtual cursor works all the same.
        SDL_SetRelativeMouseMode(SDL_TRUE);
        in.captured = true;
    }
    auto clamp = [](int64_t v, int hi) { return static_cast<int>(v < 0 ? 0 : v > hi ? hi : v); };
    in.current.x = clamp(int64_t{in.current.x} + in.current.dx, DisplayWidth() - 1);
    in.current.y = clamp(int64_t{in.current.y} + in.current.dy, DisplayHeight() - 1);
    return 1;
}

int CursorX() {
    return Input().current.x;
}
int CursorY() {
    return Input().current.y;
}
int MouseWheel() {
    return Input().current.wheel;
}

int IsMouseButtonDown(int button) {
    auto& m = Input().current;
    switch (button) {
        case 1:
            return m.left;
        case 2:
            return m.right;
        case 3:
            return m.middle;
        default:
            return 0;
    }
}

void MoveCursorTo(int x, int y) {
    Input().current.x = x;
    Input().current.y = y;
}

void ReleaseMouseCapture(int release) {
    auto& in = Input();
    if (release) {
        in.released = true;
        in.current.left = in.current.right = in.current.middle = 0;
        in.pending.left = in.pending.right = in.pending.middle = 0;
        detail::EndCapture();
    } else {
        in.released = false;
    }
}

void ShutdownInput() {
    auto& in = Input();
    detail::EndCapture();
    detail::CloseControllers();
    in = detail::InputState{};
}

}  // namespace engine
