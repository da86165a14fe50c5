// Which music plays when, and the effects: one music channel for whichever
// track plays, fire-and-forget effects, all gated by the Music and Sounds
// settings and played at MusicVolume.
#pragma once

#include <cstdint>

namespace audio {

// The game's sound numbers.
enum SoundId : int32_t {
    MenuMusic = 0,       // "music0.ogg"
    LevelEndMusic = 4,   // "music_kids_play_loop_02.ogg"
    CompletedMusic = 5,  // "music_kids_play_loop_01.ogg"
    ClickEffect = 6,     // "ui_menu_popup_02.ogg"
    MatchEffect = 7,     // "chime_tinkle_wood_bell_positive_04.ogg"
    MismatchEffect = 8,  // "beep_funny_scanning_targeting_02.ogg"
};

struct MusicState {
    int32_t musicChannel = 0;  // the channel of the last music start
    // The effect last started and its channel (effects are not tracked
    // otherwise; this tells a test or the log what was heard last).
    int32_t lastEffect = -1;
    int32_t lastEffectChannel = 0;
};
extern MusicState music;

// Starts a track looped on a new channel at MusicVolume when Music is on, and
// keeps the channel; returns it (0 when Music is off or the start failed).
int32_t StartMusic(int32_t sound);
// Stops a sound on a channel (-1: every channel of the sound); returns 0.
int32_t StopMusic(int32_t sound, int32_t channel);
// True when the sound plays on the music channel.
bool IsMusicPlaying(int32_t sound);
// Plays an effect on a new channel when Sounds is on; returns the channel or 0.
int32_t PlayEffect(int32_t sound, int32_t volume);
// The music of a screen state (M key): 0 for the menus, the level track while
// dealing, playing and in the pause dialogs, 4 on the results, 5 at the end;
// -1 for the settings screen, which has none of its own.
int32_t MusicOfState(int32_t screenState);
// The M key: stops the state's music and turns Music off, or starts it and
// turns Music on.
void ToggleMusic(int32_t screenState);
// The N key.
void ToggleSounds();
// Numeric-pad plus or minus held for one frame: MusicVolume +1 or -1 within
// 0..100, applied at once to every sound.
void StepVolume(int32_t delta);
// Window focus: pause the menu music and the level's track where they play,
// resume them where they are paused.
void PauseMusicForFocus();
void ResumeMusicForFocus();

}  // namespace audio
