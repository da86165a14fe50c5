// The game's shared state: the screen state the main loop runs on, the
// settings in force and their pending copies, the folders, and the named
// colours. Plain globals, grouped by subsystem, as every part of the game reads
// them.
#pragma once

#include <cstdint>
#include <string>

namespace app {

// The screen the main loop shows. The numbers are fixed: other code and stored
// data use them.
enum ScreenStateId : int32_t {
    Splash = 0,
    SplashSlide = 1,
    MainMenu = 2,
    LevelSelect = 3,
    Help = 4,
    Credits = 5,
    Settings = 6,
    QuitConfirm = 7,
    Dealing = 8,
    Playing = 9,
    PauseMenu = 10,
    LeaveConfirm = 11,
    LevelFinished = 12,
    LevelFailed = 13,
    GameCompleted = 14,
};

// What the main loop keeps between frames.
struct LoopState {
    int32_t ScreenState = Splash;
    int32_t quitRequest = 0;
    // Shared by the splash, the slide and the mismatch delay.
    int32_t frameCounter = 0;
    int32_t splashY = 0;
    // Full screen: a press clicks once; the button must go up before the next.
    int32_t mouseArmed = 1;
    // Set by a display reopen so the first deactivation after it does not
    // minimise the borderless window.
    int32_t reopenFlag = 0;
};
extern LoopState loop;

// Settings in force, and the pending copies the settings screen edits.
struct SettingsState {
    std::string Language;
    int32_t Music = 1;
    int32_t Sounds = 1;
    int32_t MusicVolume = 60;
    int32_t Completed = 0;
    int32_t GameScreen = 2;  // 0 full screen, 1 windowed, 2 borderless
    int32_t Resolution = 1;  // index into the resolution list

    std::string LanguagePending;
    int32_t MusicPending = 1;
    int32_t SoundsPending = 1;
    int32_t ScreenModePending = 2;
    int32_t ResolutionPending = 1;
};
extern SettingsState settings;

// The three folders; each ends with "/". InstalledData is true when the game
// folder is an installed game's shared data folder rather than the program's
// own: such a game is never portable.
struct Folders {
    std::string GameFolder;
    std::string UserDataFolder;
    std::string SaveFolder;
    bool InstalledData = false;
};
extern Folders folders;

// Named colours, packed with red in the low byte and alpha in the high byte.
struct Colours {
    uint32_t ColourPanel = 0;
    uint32_t ColourButtonText = 0;
    uint32_t ColourTitleFront = 0;
    uint32_t ColourTitleBack = 0;
    uint32_t ColourDialogText = 0;
    uint32_t ColourSettingsGreen = 0;
    uint32_t ColourSettingsOrange = 0;
    uint32_t ColourSettingsLight = 0;
    uint32_t ColourHelpOrange = 0;
};
extern Colours colours;
// Sets the named colours to their values.
void InitColours();

// The pointer in screen pixels for hover tests and clicks: the window cursor in
// the window modes (-1 outside the window), the polled virtual cursor in full
// screen.
int32_t PointerX();
int32_t PointerY();

}  // namespace app
