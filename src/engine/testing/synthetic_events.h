// Synthetic input for tests: events pushed into the system event queue, so
// they take the same road as real ones (PollWindowEvent and FlipFrame pump
// them into the window event queue and the keyboard and mouse state).
#pragma once

namespace engine {

// A key going down (down 1) or up (0), named by its set-1 scan code. 1 when
// queued, 0 for a code no key has or when the video system is not started.
int PushKeyEvent(int scanCode, int down);
// Mouse motion to (x, y) in the window's client area (window -1: the display's
// window) by (dx, dy) relative units. 1 when queued, else 0.
int PushMouseMotion(int window, int x, int y, int dx, int dy);
// Button 1 left, 2 right, 3 middle going down or up at (x, y); clicks 2 makes a
// double click. 1 when queued, else 0.
int PushMouseButton(int window, int button, int down, int x, int y, int clicks = 1);
// Wheel notches (+1 forward). 1 when queued, else 0.
int PushMouseWheel(int notches);
// The system window event behind an engine event code (kEventActivated,
// kEventDeactivated, kEventMinimised, kEventMaximised, kEventRestored,
// kEventRepaint, kEventMoved, kEventSized, kEventClose). 1 when queued, 0 for
// other codes.
int PushWindowEvent(int window, int eventCode);
// The cursor leaving the window's client area. 1 when queued, else 0.
int PushCursorLeave(int window);
// A request to quit (as from a termination signal). 1 when queued, else 0.
int PushQuitEvent();
// The screen changing to width x height pixels, as a page resized or a phone
// turned: the desktop size reads so from now on, and the next PollWindowEvent
// reports kEventScreenResized. 0 x 0 gives the system's own size back.
void SimulateScreenSize(int width, int height);

// A virtual game controller, attached as a real one is plugged in: the system's
// controller layer sees it and reports it (and its buttons and stick) through
// the ordinary events at the next pump. AttachVirtualController returns its
// number (1 and up), or 0 when the controller layer is not started.
int AttachVirtualController();
// Holds (down 1) or lets go of a button named by its pad entry (kPadUp ... kPadBack
// of input.h; the directions are the D-pad). 1 when set, else 0.
int SetVirtualControllerButton(int controller, int padEntry, int down);
// The left stick's deflection, -32768..32767 on each axis. 1 when set, else 0.
int SetVirtualControllerStick(int controller, int x, int y);
// Unplugs it. 1 when it was attached, else 0.
int DetachVirtualController(int controller);

}  // namespace engine
