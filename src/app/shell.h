// The application shell: start-up, the main loop, settings changes that reopen
// the display, and the single exit path.
#pragma once

namespace app {

// Runs the whole program: start-up, the main loop, saving and shutdown.
// Returns the process exit code.
int RunGame(int argc, char** argv);

// Applies the pending settings after OK on the settings screen: music, sounds,
// language (rebuilding every dialog when the display stays), and reopens the
// display when the mode or the window size changed. Returns 1 when the display
// was reopened (the caller then shows the sliding menu), 0 otherwise.
int ApplyPendingSettings();

// The single exit path: shuts the engine services down and ends the process.
[[noreturn]] void EndProgram(int code = 0);

}  // namespace app
