// The ways out of a level: restart, retry, next level, leave, and the game's
// completion. The pause menu and the result dialogs map their buttons to these;
// only game play writes the level's state.
#include "app/shell.h"
#include "app/state.h"
#include "audio/audio.h"
#include "game/game.h"

namespace game {

void (*enterMenuScreen)(int32_t screenState) = nullptr;

void EnterMenuScreen(int32_t screenState) {
    if (enterMenuScreen) {
        enterMenuScreen(screenState);
    } else {
        app::loop.ScreenState = screenState;
    }
}

namespace {

bool MusicOn() {
    return app::settings.Music == 1;
}

void StopOnMusicChannel(int32_t sound) {
    audio::StopMusic(sound, audio::music.musicChannel);
}

// The music of a finished screen gives way to another, when Music is on.
void SwapMusic(int32_t from, int32_t to) {
    if (!MusicOn()) return;
    StopOnMusicChannel(from);
    audio::StartMusic(to);
}

// The level's own track, stopped when it still plays (whatever the setting).
void StopLevelTrackIfPlaying() {
    const int32_t track = level.musicTrack;
    if (audio::IsMusicPlaying(track)) StopOnMusicChannel(track);
}

}  // namespace

void RestartLevel() {
    SetUpLevel(false);
}

void RetryLevel() {
    if (MusicOn()) StopOnMusicChannel(audio::LevelEndMusic);
    SetUpLevel(true);
}

bool IsLastLevel() {
    return level.current >= kLevelCount;
}

void NextLevel() {
    if (MusicOn()) StopOnMusicChannel(audio::LevelEndMusic);
    level.current = level.current + 1;
    SetUpLevel(true);
}

void LeaveLevel() {
    level.boardInput = 0;
    if (MusicOn()) {
        StopLevelTrackIfPlaying();
        audio::StartMusic(audio::MenuMusic);
    }
}

void LeaveResult() {
    level.boardInput = 0;
    SwapMusic(audio::LevelEndMusic, audio::MenuMusic);
}

void CompleteGame() {
    app::settings.Completed = 1;
    // Now, not only at quit: after a crash the completion must not come again.
    app::SavePreferences(app::folders.SaveFolder);
    arrow.shown = 0;
    level.boardInput = 0;
    SwapMusic(audio::LevelEndMusic, audio::CompletedMusic);
}

void LeaveCompletedGame() {
    StopLevelTrackIfPlaying();
    SwapMusic(audio::CompletedMusic, audio::MenuMusic);
    level.boardInput = 0;
}

}  // namespace game
