// The software mixer behind the sound service: a set of voices, each reading
// either a shared, already converted PCM buffer (signed 16-bit stereo at
// kMixRate) or a stream decoded while it plays, with its own play position,
// state, loop flag and gain, summed into the output with saturation. It knows nothing of the audio
// device: whoever owns the device (sound.cpp's SDL callback) pulls samples with Mix, and tests do
// the same.
//
// Every public member locks the mixer's mutex, so the game thread may start,
// hold and halt voices while the audio thread mixes.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace engine::detail {

// The device format every sound is converted to when it is decoded.
inline constexpr int kMixRate = 44100;
inline constexpr int kMixChannels = 2;

// Interleaved left/right frames at kMixRate.
using Pcm = std::vector<int16_t>;

// A voice's state, with the numbers QuerySoundState reports.
enum VoiceState : int { kVoiceStopped = 0, kVoicePlaying = 1, kVoiceHeld = 2 };

// Unity gain in the mixer's fixed-point scale.
inline constexpr int32_t kUnityGain = 1 << 16;

// One voice's way through a streamed sound, from its first frame onwards.
class StreamCursor {
  public:
    virtual ~StreamCursor() = default;
    // Up to `frames` frames of device-format PCM into `out` (2 * frames
    // samples); fewer only at the end of the sound or where its data is
    // damaged, 0 once there is nothing more.
    virtual int Read(int16_t* out, int frames) = 0;
};

// A sound decoded while it plays: its data is shared, and every voice playing
// it reads through a cursor of its own.
class StreamSource {
  public:
    virtual ~StreamSource() = default;
    // A cursor at the first frame, or nullptr when the data cannot be read.
    virtual std::unique_ptr<StreamCursor> Open() const = 0;
};

class Mixer {
  public:
    // A new stopped voice at the start of `pcm`, at unity gain. Returns its id
    // (nonzero, generation-checked: a destroyed voice's id never finds a later
    // voice) or 0 when the voice table is full or pcm is empty.
    int CreateVoice(std::shared_ptr<const Pcm> pcm);
    // The same for a streamed sound; 0 also when stream is null. The voice
    // opens its cursor when it first plays, and again when it rewinds.
    int CreateVoice(std::shared_ptr<const StreamSource> stream);
    // Frees a voice; false when the id names none.
    bool DestroyVoice(int voice);
    bool Exists(int voice) const;

    // Rewinds and plays, looping or once. Returns false for an absent voice.
    bool Start(int voice, bool loop);
    // Stops where it is; state held. Works on a stopped voice too.
    bool Hold(int voice);
    // Plays on from the current position with the voice's loop flag.
    bool Continue(int voice);
    // Stops and rewinds; state stopped.
    bool Halt(int voice);
    // Gain in units of 1/65536 (kUnityGain is unity); negative counts as 0.
    bool SetGain(int voice, int32_t gain);

    // The voice's state, or -1 for an absent voice. A one-shot voice that ran
    // to its end is stopped and rewound.
    int State(int voice) const;
    // The next frame the voice will play, or -1 for an absent voice.
    int64_t Position(int voice) const;
    int32_t Gain(int voice) const;
    size_t VoiceCount() const;

    // Fills `frames` stereo frames (2 * frames samples) with the sum of every
    // playing voice, saturated to 16 bits. Silence when nothing plays.
    void Mix(int16_t* out, int frames);

  private:
    struct Voice {
        std::shared_ptr<const Pcm> pcm;              // a sound held whole, or
        std::shared_ptr<const StreamSource> stream;  // one decoded as it plays
        std::unique_ptr<StreamCursor> cursor;        // open while it plays or holds
        int64_t position = 0;                        // in frames
        int state = kVoiceStopped;
        bool loop = false;
        int32_t gain = kUnityGain;
    };
    struct Slot {
        std::unique_ptr<Voice> voice;
        int generation = 1;
    };

    Voice* Find(int voice) const;
    int AddVoice(std::unique_ptr<Voice> voice);
    void MixVoice(Voice& v, int32_t* acc, int frames);
    void MixStream(Voice& v, int32_t* acc, int frames);

    mutable std::mutex mutex_;
    std::vector<Slot> slots_;
    std::vector<int> free_slots_;
    std::vector<int32_t> accumulator_;
    std::vector<int16_t> stream_block_;
};

// The process's mixer, fed by the sound service and drained by the audio device.
Mixer& ProcessMixer();

// The converted samples of a sound (sound.cpp), or nullptr for an absent or a
// streamed sound.
std::shared_ptr<const Pcm> SoundPcm(int sound);

}  // namespace engine::detail
