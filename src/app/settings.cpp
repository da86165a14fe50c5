// The settings file and the confirmed changes of the settings screen.
//
// Seven keys in the group "Settings" of "Mnemora.prefs", read once at start-up
// and written at a normal quit; "Completed" never goes back from 1 to 0. The settings screen edits
// pending copies; ApplyPendingSettings takes them over when the player confirms.
#include <algorithm>
#include <array>

#include "app/log.h"
#include "app/shell.h"
#include "app/shell_internal.h"
#include "app/state.h"
#include "audio/audio.h"
#include "display/layout.h"
#include "display/screen.h"
#include "engine/input.h"
#include "engine/prefs.h"
#include "engine/sound.h"
#include "engine/system.h"
#include "game/game.h"
#include "i18n/language.h"
#include "ui/ui.h"

namespace app {

int32_t LoadPreferences(const std::string& folder) {
    if (!engine::OpenPrefFile(folder + "Mnemora.prefs")) return 0;
    auto& s = settings;
    engine::SelectPrefGroup("Settings");
    s.Language = engine::ReadPrefString("Language", "");
    s.Music = engine::ReadPrefInt("Music", 1);
    s.GameScreen = engine::ReadPrefInt("GameScreen", s.GameScreen);
    s.Resolution = engine::ReadPrefInt("Resolution", 1);
    s.Sounds = engine::ReadPrefInt("Sounds", 1);
    s.MusicVolume = engine::ReadPrefInt("MusicVolume", 60);
    s.Completed = engine::ReadPrefInt("Completed", 0);
    engine::ClosePrefFile();
    // A hand-edited file must not index outside the resolution list or hand the
    // sound engine a volume out of range; the on/off keys read as on/off. A bad
    // "GameScreen" is left alone: it opens no display and says so.
    s.Resolution = display::ClampResolution(s.Resolution);
    s.MusicVolume = std::clamp(s.MusicVolume, 0, 100);
    s.Music = std::clamp(s.Music, 0, 1);
    s.Sounds = std::clamp(s.Sounds, 0, 1);
    s.Completed = std::clamp(s.Completed, 0, 1);
    return 1;
}

int32_t SavePreferences(const std::string& folder) {
    auto& s = settings;
    // "Completed" only rises: another copy of the game on this folder may
    // have finished it since this one read the file.
    if (s.Completed != 1 && engine::OpenPrefFile(folder + "Mnemora.prefs")) {
        engine::SelectPrefGroup("Settings");
        if (engine::ReadPrefInt("Completed", 0) == 1) s.Completed = 1;
        engine::ClosePrefFile();
    }
    if (!engine::CreatePrefFile(folder + "Mnemora.prefs")) return 0;
    engine::WritePrefComment("Mnemora Preferences");
    engine::SelectPrefGroup("Settings");
    engine::WritePrefString("Language", s.Language);
    engine::WritePrefInt("Music", s.Music);
    engine::WritePrefInt("GameScreen", s.GameScreen);
    engine::WritePrefInt("Resolution", s.Resolution);
    engine::WritePrefInt("Sounds", s.Sounds);
    engine::WritePrefInt("MusicVolume", s.MusicVolume);
    engine::WritePrefInt("Completed", s.Completed);
    return engine::ClosePrefFile();
}

namespace {

// The display closed a moment ago, opened again at the size in force with
// every picture, font and dialog rebuilt, and shown.
void OpenDisplayAgain() {
    OpenDisplayAndLoadPictures(false);
    display::ShowGameWindow(settings.GameScreen);
}

// The menu slides in again from the top, as after the splash.
void SlideMenuInAgain() {
    loop.frameCounter = 0;
    loop.splashY = 0;
    loop.ScreenState = SplashSlide;
}

// Closes the display and opens it again in the new mode or size.
void ReopenDisplay() {
    auto& s = settings;
    display::CloseGameDisplay(s.GameScreen);
    s.GameScreen = s.ScreenModePending;
    s.Resolution = display::ClampResolution(s.ResolutionPending);
    display::ChooseDisplaySize(s.GameScreen, s.Resolution, false);
    OpenDisplayAgain();
    engine::MoveCursorTo(display::metrics.ScreenWidth / 2, display::metrics.ScreenHeight / 2);
    SlideMenuInAgain();
}

}  // namespace

void FollowScreenSize() {
    auto& s = settings;
    if (s.GameScreen == display::kModeWindowed) return;  // a window keeps its size
    auto& m = display::metrics;
    const int32_t oldWidth = m.ScreenWidth, oldHeight = m.ScreenHeight;
    display::ChooseDisplaySize(s.GameScreen, s.Resolution, false);
    if (m.ScreenWidth == oldWidth && m.ScreenHeight == oldHeight) return;
    LogValue("Screen resized:",
             engine::IntToText(m.ScreenWidth) + "x" + engine::IntToText(m.ScreenHeight));
    // The old window's going away deactivates it: not the player leaving.
    loop.reopenFlag = 1;
    const std::array<int32_t, 20> tilePictures = game::TilePictures;
    display::CloseGameDisplay(s.GameScreen);
    OpenDisplayAgain();
    const int32_t state = loop.ScreenState;
    if (state == Splash || state == SplashSlide) {
        SlideMenuInAgain();
    } else if (state == LevelSelect) {
        game::OpenLevelSelect();
    } else if (state >= Dealing) {
        game::LayOutBoardAgain(tilePictures);
    }
}

int ApplyPendingSettings() {
    auto& s = settings;
    if (s.Music == 1 && s.MusicPending == 0) {
        audio::StopMusic(audio::MenuMusic, -1);
        if (audio::IsMusicPlaying(game::level.musicTrack)) {
            audio::StopMusic(game::level.musicTrack, -1);
        }
        s.Music = 0;
        LogValue("Music:", "OFF");
    } else if (s.Music == 0 && s.MusicPending == 1) {
        s.Music = 1;
        audio::StartMusic(audio::MenuMusic);
        LogValue("Music:", "ON");
    }

    s.Sounds = s.SoundsPending;
    LogValue("Sounds:", s.Sounds == 1 ? "ON" : "OFF");

    loop.reopenFlag = 0;
    if (s.ScreenModePending != s.GameScreen ||
        (s.GameScreen == 1 && s.ScreenModePending == 1 && s.ResolutionPending != s.Resolution)) {
        loop.reopenFlag = 1;
    }

    if (s.LanguagePending != s.Language) {
        s.Language = s.LanguagePending;
        const int32_t loaded =
            i18n::LoadLanguage(folders.GameFolder + "Mnemora.languages", s.Language);
        LogValue("Load language (" + s.Language + "):", loaded ? "OK" : "FAILED");
        if (!loop.reopenFlag) ui::RebuildAllDialogs(true);
    }

    const int reopened = loop.reopenFlag;
    if (reopened) ReopenDisplay();
    // Kept at once, not only at quit: a closed page, a crash or a power cut
    // keeps the confirmed settings.
    SavePreferences(folders.SaveFolder);
    return reopened;
}

}  // namespace app
