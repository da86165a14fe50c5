// Keyboard and mouse, read by polling: once per frame the game takes a
// snapshot, then asks questions about it.
//
// The state comes from the system events that PollWindowEvent and FlipFrame
// (display.h) pump, so pushing events and then running a frame behaves like
// real input. Keys are hardware set-1 scan codes; extended keys (the
// 0xE0-prefixed ones) carry 0x80. The keys the game acts on are named below.
//
// Game controllers (through the system's game-controller layer) are read into
// the same key table: their buttons hold virtual entries that no keyboard key
// has (kPadUp to kPadBack below), so the game asks about a pad button exactly
// as about a key. The D-pad and the left stick both hold the four direction
// entries. Controllers plugged in or out while the game runs are taken or
// dropped silently; any number may be attached at once.
//
// The full-screen mouse is a virtual cursor moved by relative motion, clamped
// to the display; in window modes the game reads WindowCursorX/Y and the click
// events of PollWindowEvent instead.
#pragma once

namespace engine {

// The set-1 scan codes of the keys the game and its tests use.
inline constexpr int kKeyEscape = 0x01;
inline constexpr int kKeyTab = 0x0F;
inline constexpr int kKeyEnter = 0x1C;
inline constexpr int kKeyLeftCtrl = 0x1D;
inline constexpr int kKeyLeftShift = 0x2A;
inline constexpr int kKeyN = 0x31;
inline constexpr int kKeyM = 0x32;
inline constexpr int kKeyRightShift = 0x36;
inline constexpr int kKeySpace = 0x39;
inline constexpr int kKeyF2 = 0x3C;
inline constexpr int kKeyPadMinus = 0x4A;
inline constexpr int kKeyPadPlus = 0x4E;
// Extended keys.
inline constexpr int kKeyPadEnter = 0x9C;
inline constexpr int kKeyRightCtrl = 0x9D;
inline constexpr int kKeyUp = 0xC8;
inline constexpr int kKeyLeft = 0xCB;
inline constexpr int kKeyRight = 0xCD;
inline constexpr int kKeyDown = 0xD0;

// The key-table entries of the game-controller buttons: set-1 codes 0x5A to
// 0x61, which no keyboard key produces.
inline constexpr int kPadUp = 0x5A;
inline constexpr int kPadDown = 0x5B;
inline constexpr int kPadLeft = 0x5C;
inline constexpr int kPadRight = 0x5D;
inline constexpr int kPadA = 0x5E;
inline constexpr int kPadB = 0x5F;
inline constexpr int kPadStart = 0x60;
inline constexpr int kPadBack = 0x61;

// 1 when the keyboard can be read (the sprite system is started), else 0.
// Also starts the game-controller layer; without it there are simply no
// controllers.
int StartKeyboard();
// Takes a snapshot: keys held now are "held" (1); keys held in the previous
// snapshot and up now are "released" (2) for this snapshot only. 1 when a
// snapshot was taken; 0 before StartKeyboard, without an open display or while
// the display is not focused (the keyboard is then not acquired, and the next
// successful call starts from a cleared table).
int PollKeyboard();
// 1 when the key is held in the current snapshot; with -1, when any key is. 0
// before the first snapshot, while not acquired and for codes outside 0..255.
int IsKeyDown(int scanCode);
// 1 when the key went up between the previous snapshot and this one; with -1,
// when any key did. 0 as for IsKeyDown.
int WasKeyReleased(int scanCode);
// The set-1 scan code of a system (USB usage) scan code, or 0 when it has none.
int ScanCodeFromSystem(int systemScanCode);
// The number of game controllers attached and taken.
int ControllerCount();

// 1 when the mouse can be read (the sprite system is started), else 0. Idempotent.
int StartMouse();
// Takes a snapshot: the motion, wheel and buttons since the last one. While the
// mouse is released by the game or the display is not focused, the capture
// ends and 0 is returned without moving the cursor; otherwise the mouse is
// captured (relative mode), the cursor moves by the motion, clamped to the
// display, and 1 is returned.
int PollMouse();
// The virtual cursor of the current snapshot, in display pixels.
int CursorX();
int CursorY();
// The wheel notches of the current snapshot (+1 per notch forward).
int MouseWheel();
// 1 = left, 2 = right, 3 = middle: 1 while held in the current snapshot, else 0.
int IsMouseButtonDown(int button);
// Sets the virtual cursor as given (no clamping until the next motion).
void MoveCursorTo(int x, int y);
// 1 hands the mouse back to the desktop: motion is ignored, the buttons clear
// and the capture ends; 0 lets the next PollMouse capture again.
void ReleaseMouseCapture(int release);
// Ends the capture, closes the controllers and forgets all key and mouse state.
void ShutdownInput();

}  // namespace engine
