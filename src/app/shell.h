// The application shell: start-up, the main loop, settings changes that reopen
// the display, and the single exit path.
//
// The program is RunGame: StartGame, then RunFrame until it returns false,
// then QuitAndSave. Tests drive the same steps in-process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace app {

// Runs the whole program: start-up, the main loop, saving and shutdown.
// Returns the process exit code.
int RunGame(int argc, char** argv);

// What a start-up takes from outside: the command-line arguments after the
// program name, and (for tests) a game folder other than the program's own.
struct StartOptions {
    std::vector<std::string> arguments;
    std::string gameFolder;  // "" = the folder of the running program
};
// The start-up sequence, from the engine's start to the first frame. A fatal
// failure on the way ends the program (EndProgram).
void StartGame(const StartOptions& options);
// One pass of the main loop. Returns false once the quit request is set.
bool RunFrame();
// A normal end: writes the settings and the progress file to the save folder,
// then EndProgram(0).
[[noreturn]] void QuitAndSave();
// For tests: the same saving as QuitAndSave, then shuts the engine services
// down without ending the process.
void SaveAndShutdownForTests();
// For tests: shuts the engine services down without saving or exiting.
void ShutdownForTests();

// Applies the pending settings after OK on the settings screen: music, sounds,
// language (rebuilding every dialog when the display stays), and reopens the
// display when the mode or the window size changed. Returns 1 when the display
// was reopened (the caller then shows the sliding menu), 0 otherwise.
int ApplyPendingSettings();
// The screen changed size (a page resized, a phone turned): a display that
// covers the screen opens again at the new size, with everything laid out
// anew in the screen the player is in; a window keeps its size.
void FollowScreenSize();

// The settings file "Mnemora.prefs" in a folder (ending with "/"). Loading
// returns 1 when the file was read (missing keys take their defaults; values
// out of range are clamped), 0 when it could not be opened, leaving the
// settings alone. Saving returns 1 when the file was written whole.
int32_t LoadPreferences(const std::string& folder);
int32_t SavePreferences(const std::string& folder);

// F2: captures the frame drawn so far into sprite 0 and saves it as
// "Mnemora dd-mm-yyyy hh-ii-ss.bmp" in the save folder; logs the outcome.
void SaveScreenshot();

// The calls the main loop makes into the other subsystems for keys it passes
// on. They default to those subsystems' own functions; tests may watch them.
struct LoopHooks {
    void (*toggleMusic)(int32_t screenState);
    void (*toggleSounds)();
    void (*stepVolume)(int32_t delta);
    void (*escapeDialog)(int32_t screenState);
    void (*goToMainMenu)();
    void (*beginPause)();
    void (*enterPauseMenu)();
};
LoopHooks& Hooks();
// Puts every hook back to its subsystem's function.
void ResetHooks();

// The single exit path: shuts the engine services down, removes the temporary
// folder and ends the process with the code (0 for a normal end, 1 after a
// fatal error).
[[noreturn]] void EndProgram(int code = 0);

}  // namespace app
