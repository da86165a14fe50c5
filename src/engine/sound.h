// Sound and music playback: numbered sounds decoded completely when loaded
// (Ogg Vorbis or WAV, converted once to signed 16-bit stereo at 44100 Hz) and
// played by the engine's own mixer through one audio device.
//
// Each sound has its own voice (channel 0), restarted by StartSound without
// flag 2, and any number of channels: independent voices sharing the sound's
// data, made by StartSound with flag 2 and named by the handle it returns.
//
// Volumes are 0..100 on the scale of VolumeAttenuation: hundredths of a decibel,
// 0 silent, 100 full level. Values above 100 count as 100, below 0 as 0.
#pragma once

#include <cstdint>

#include "engine/object_table.h"

namespace engine {

// Play flags for StartSound.
inline constexpr int kSoundLoop = 1;
inline constexpr int kSoundNewChannel = 2;

// Opens the audio device (signed 16-bit stereo, 44100 Hz) and starts feeding it
// from the mixer. Returns 1 on success (also when already open), 0 when no
// device can be opened even on the silent driver. A machine without a sound
// card plays silently rather than failing. Sounds can be decoded and driven
// without a device.
int StartAudio();
// 1 when no audio device could be opened and sounds play on a silent device.
int AudioIsSilent();
// Closes the audio device; sounds stay loaded. Does nothing when closed.
void StopAudio();

// Decodes `length` bytes of WAV ("RIFF" ... "WAVE": 8- or 16-bit PCM, mono or
// stereo, 8..96 kHz) or Ogg Vorbis into the sound `id` (a number or AutoId),
// freeing any sound already under that number. Returns the handle (AutoId), 1
// (a number), or 0 when no decoder accepts the data; the number then stays empty.
int DecodeSound(int id, const uint8_t* data, int64_t length);

// Plays a sound. Without kSoundNewChannel: rewinds and starts the sound's own
// voice, returns 1 (0 for an absent sound). With it: starts a new channel and
// returns its handle (nonzero), or 0 on failure. kSoundLoop loops. Volume -1
// keeps the own voice's volume.
int StartSound(int sound, int flags, int volume);

// 1 playing, 2 held, 0 otherwise (stopped, or a one-shot that ran out); 3 when
// the sound is absent or `channel` is not one of its channels. Channel 0 asks
// about the sound's own voice.
int QuerySoundState(int sound, int channel);

// Addressing of the next three: channel 0 is the own voice, -1 the own voice and
// every channel, any other value that channel; sound -1 is every sound.
// Absent sounds or channels are ignored.
// Stops where it is; a later ContinueSound resumes from there.
void HoldSound(int sound, int channel);
// Plays again from the held position with the voice's loop flag.
void ContinueSound(int sound, int channel);
// Stops and rewinds to the start.
void HaltSound(int sound, int channel = 0);

// Sets the volume: channel 0 the own voice only, -1 the own voice and every
// channel, any other value that channel. Sound -1 sets every sound, all channels.
void SetSoundLevel(int sound, int volume, int channel = 0);

// Stops and frees a sound with its channels; -1 frees every sound.
void ReleaseSound(int sound);

// The attenuation of a volume in hundredths of a decibel: -10000 for 0,
// round(2000 * log10(1000 * v)) - 10000 for 1..100 (50 gives -602).
int VolumeAttenuation(int volume);
// The linear gain of a volume: 10^(attenuation / 2000), exactly 0 for 0.
double VolumeGain(int volume);

}  // namespace engine
