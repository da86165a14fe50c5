// Stand-ins for the music and effects policy until it is built, so the other
// subsystems link. The audio work replaces this file.
#include "audio/audio.h"

namespace audio {
MusicState music;
int32_t StartMusic(int32_t) {
    return 0;
}
int32_t StopMusic(int32_t, int32_t) {
    return 0;
}
bool IsMusicPlaying(int32_t) {
    return false;
}
int32_t PlayEffect(int32_t, int32_t) {
    return 0;
}
int32_t MusicOfState(int32_t) {
    return -1;
}
void ToggleMusic(int32_t) {}
void ToggleSounds() {}
void StepVolume(int32_t) {}
void PauseMusicForFocus() {}
void ResumeMusicForFocus() {}
}  // namespace audio
