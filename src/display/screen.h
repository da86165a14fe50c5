// Opening the game's display in one of its three modes (full screen, a window,
// a borderless window at the desktop's size), and reopening it after the
// settings screen changed the mode or the window size.
#pragma once

#include <cstdint>
#include <string>

namespace display {

inline constexpr int32_t kModeFullscreen = 0;
inline constexpr int32_t kModeWindowed = 1;
inline constexpr int32_t kModeBorderless = 2;

// The window's client area is placed by these flags: hidden until everything
// is loaded, centred; with a title bar, system menu and minimise box when
// windowed, without any frame when borderless.
inline constexpr int kWindowedFlags = 0x10CA0001;
inline constexpr int kBorderlessFlags = static_cast<int>(0x90000001u);

// "Mnemora 1.0.0.0 - Velcroft (https://orvanta.example)"
const std::string& WindowTitle();

// The size a display mode opens at: the resolution list's entry when windowed,
// else the desktop's size. Sets ScreenWidth and ScreenHeight; with logDesktop,
// logs the desktop's size first ("ScreenWidth:", "ScreenHeight:").
void ChooseDisplaySize(int32_t gameScreen, int32_t resolution, bool logDesktop);
// The width and height of a resolution text such as "1280x720".
void ParseResolution(const std::string& text, int32_t* width, int32_t* height);

// Opens the display for the mode at ScreenWidth x ScreenHeight and logs the
// outcome. 1 when the display is open, 0 otherwise (also for a mode outside
// 0..2, which opens nothing).
int32_t OpenGameDisplay(int32_t gameScreen);
// Closes the display, and the window in the window modes.
void CloseGameDisplay(int32_t gameScreen);
// Window modes: shows and activates the window and gives it the game's
// pointer. Does nothing in full screen.
void ShowGameWindow(int32_t gameScreen);
// The cursor loaded from "Mnemora.pointer" (window modes), 0 when none.
int32_t GameCursor();

// The aspect class and every metric but the logo's, from the open display's
// size; logs "AspectRatio:" with the class number.
void ClassifyAndLayOut();

}  // namespace display
