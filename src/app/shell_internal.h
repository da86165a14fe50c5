// Shared between the shell's own files.
#pragma once

#include <cstdint>

namespace app {

// Opens the display in the mode in force (the screen error box when it does
// not open), lays it out, reads the progress file when asked, loads every
// picture and the fonts and builds every dialog.
void OpenDisplayAndLoadPictures(bool readProgress);
// Draws the screen in force (at start-up, the splash) before the loop's first frame.
void DrawFirstFrame();

// Whether the state is one of the dialog screens, whose buttons the toolkit
// keeps (main_loop.cpp).
bool IsDialogState(int32_t state);

// ---- Keyboard and controller navigation (navigation.cpp) ----------------------

// A new frame: no click handled yet.
void StartNavigationFrame();
// A click was handled in this frame: Enter, Space or A do not act on top of it.
void NoteClick();
// The pointer where the loop saw it this frame: when it moved, the mouse is in
// use again and the focus hides.
void WatchPointer(int32_t x, int32_t y);
// A screen entered starts from its first choice; a new deal from its first
// tile. Coming back to the board from the pause menu keeps the tile.
void FollowScreenChange();
// The arrows and the pad's directions move on the press, then repeat while
// held; Tab (with Shift: backwards) steps on the press too; Enter, Space and A
// act on the release, as the other keys do.
void Navigate();
// Forgets the focus and the keys held, on every screen.
void ResetNavigation();

}  // namespace app
