// Music and effects: one music channel for whichever track plays (the handle
// of the last music start), and effects started on channels of their own and
// forgotten. The Music and Sounds settings gate starts; MusicVolume is the one
// volume of both.
//
// Every music start is preceded by the stop of the music before it, so at most
// one track plays and the music channel always names it.
#include "audio/audio.h"

#include <algorithm>

#include "app/state.h"
#include "engine/sound.h"
#include "game/game.h"

namespace audio {

MusicState music;

namespace {

constexpr int kMusicFlags = engine::kSoundLoop | engine::kSoundNewChannel;
constexpr int kEffectFlags = engine::kSoundNewChannel;

// QuerySoundState's answers.
constexpr int kPlaying = 1;
constexpr int kHeld = 2;

}  // namespace

int32_t StartMusic(int32_t sound) {
    if (app::settings.Music != 1) return 0;
    const int channel = engine::StartSound(sound, kMusicFlags, app::settings.MusicVolume);
    music.musicChannel = channel;
    return channel;
}

int32_t StopMusic(int32_t sound, int32_t channel) {
    engine::HaltSound(sound, channel);
    return 0;
}

bool IsMusicPlaying(int32_t sound) {
    // Channel 0 would ask about the sound's own voice, which music never uses.
    return music.musicChannel != 0 &&
           engine::QuerySoundState(sound, music.musicChannel) == kPlaying;
}

int32_t PlayEffect(int32_t sound, int32_t volume) {
    if (app::settings.Sounds != 1) return 0;
    const int channel = engine::StartSound(sound, kEffectFlags, volume);
    music.lastEffect = sound;
    music.lastEffectChannel = channel;
    return channel;
}

int32_t MusicOfState(int32_t screenState) {
    switch (screenState) {
        case app::Splash:
        case app::SplashSlide:
        case app::MainMenu:
        case app::LevelSelect:
        case app::Help:
        case app::Credits:
        case app::QuitConfirm:
            return MenuMusic;
        case app::Dealing:
        case app::Playing:
        case app::PauseMenu:
        case app::LeaveConfirm:
            return game::level.musicTrack;
        case app::LevelFinished:
        case app::LevelFailed:
            return LevelEndMusic;
        case app::GameCompleted:
            return CompletedMusic;
        default:
            return -1;  // the settings screen keeps whatever plays
    }
}

void ToggleMusic(int32_t screenState) {
    const int32_t sound = MusicOfState(screenState);
    if (sound < 0) return;
    auto& s = app::settings;
    if (s.Music == 1) {
        StopMusic(sound, music.musicChannel);
        s.Music = 0;
    } else {
        s.Music = 1;
        StartMusic(sound);
    }
}

void ToggleSounds() {
    app::settings.Sounds = app::settings.Sounds == 1 ? 0 : 1;
}

void StepVolume(int32_t delta) {
    auto& volume = app::settings.MusicVolume;
    volume = std::clamp(volume + (delta > 0 ? 1 : delta < 0 ? -1 : 0), 0, 100);
    engine::SetSoundLevel(-1, volume);
}

void PauseMusicForFocus() {
    // The result music (4, 5) plays on while the window is away.
    for (int32_t sound : {static_cast<int32_t>(MenuMusic), game::level.musicTrack}) {
        if (IsMusicPlaying(sound)) engine::HoldSound(sound, music.musicChannel);
    }
}

void ResumeMusicForFocus() {
    if (music.musicChannel == 0) return;
    for (int32_t sound : {static_cast<int32_t>(MenuMusic), game::level.musicTrack}) {
        if (engine::QuerySoundState(sound, music.musicChannel) == kHeld)
            engine::ContinueSound(sound, music.musicChannel);
    }
}

}  // namespace audio
