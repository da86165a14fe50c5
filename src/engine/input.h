// Keyboard and mouse, read by polling: once per frame the game takes a
// snapshot, then asks questions about it.
//
// The state comes from the system events that PollWindowEvent and FlipFrame
// (display.h) pump, so pushing events and then running a frame behaves like
// real input. Keys are hardware set-1 scan codes (1 Escape, 0x31 N, 0x32 M,
// 0x3C F2, 0x4A and 0x4E numeric-pad minus and plus); extended keys carry 0x80
// (0xC8 up, 0xD0 down, 0xCB left, 0xCD right, 0x9C numeric-pad Enter, 0x9D
// right Ctrl).
//
// The full-screen mouse is a virtual cursor moved by relative motion, clamped
// to the display; in window modes the game reads WindowCursorX/Y and the click
// events of PollWindowEvent instead.
#pragma once

namespace engine {

// 1 when the keyboard can be read (the sprite system is started), else 0.
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
// Ends the capture and forgets all key and mouse state.
void ShutdownInput();

}  // namespace engine
