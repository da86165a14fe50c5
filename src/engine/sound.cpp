// Sound service: decoding, the table of numbered sounds, channels and volumes.
//
// A short sound is decoded in full when loaded and converted once to the
// mixer's format (signed 16-bit stereo at 44100 Hz, linear interpolation for
// other rates), so playing costs nothing but mixing. A long Ogg Vorbis sound
// at the device rate (music) is checked when loaded and kept as its Ogg data,
// decoded by each voice while it plays: a minute of music is about 1 MB of Ogg
// against 10 MB of PCM, and decoding it as it plays costs a fraction of a
// percent of one core. A sound owns one voice in the mixer (its "own buffer",
// channel 0) and a list of channel voices that share its data. Channel handles
// are the mixer's generation-checked voice ids, so a channel released behind
// the game's back never finds another voice.
//
// The audio device is one SDL device whose callback only asks the mixer for the
// next block; the mixer's own mutex keeps the callback and the game thread apart.
#include "engine/sound.h"

#include <SDL.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/mixer.h"
#include "engine/object_table.h"
#include "engine/platform/platform.h"

namespace engine {

namespace {

using detail::kMixChannels;
using detail::kMixRate;
using detail::Pcm;

// Decoding stops short of memory exhaustion: no sound may be longer than this
// once converted (about 160 MB of PCM), whatever its data claims.
constexpr int64_t kMaxFrames = int64_t{15} * 60 * kMixRate;
constexpr int kMinRate = 8000;
constexpr int kMaxRate = 96000;
// More live channels than this on one sound is a runaway caller, not a game.
constexpr size_t kMaxChannelsPerSound = 256;
// Ogg Vorbis sounds at least this long (at the device rate) are streamed.
constexpr int64_t kStreamFromFrames = int64_t{10} * kMixRate;

struct Sound {
    std::shared_ptr<const Pcm> pcm;                      // held whole, or
    std::shared_ptr<const detail::StreamSource> stream;  // decoded as it plays
    int voice = 0;                                       // the own buffer
    std::vector<int> channels;
    int volume = 100;  // the own buffer's volume, inherited by channels started with -1

    Sound() = default;
    Sound(const Sound&) = delete;
    Sound& operator=(const Sound&) = delete;
    ~Sound() {
        auto& mixer = detail::ProcessMixer();
        if (voice) mixer.DestroyVoice(voice);
        for (int c : channels)
            mixer.DestroyVoice(c);
    }
};

struct SoundState {
    ObjectTable<Sound> sounds;
    SDL_AudioDeviceID device = 0;
    bool subsystem_started = false;
    bool silent = false;  // running on SDL's silent driver for want of a device

    // Touching the mixer here makes it outlive this state at exit, when the
    // sounds still free their voices in it.
    SoundState() { detail::ProcessMixer(); }
    ~SoundState() {
        if (device) SDL_CloseAudioDevice(device);
    }
};

SoundState& State() {
    static SoundState state;
    return state;
}

int ClampVolume(int volume) {
    return std::clamp(volume, 0, 100);
}

int32_t FixedGain(int volume) {
    return static_cast<int32_t>(std::lround(VolumeGain(volume) * detail::kUnityGain));
}

// ---- Conversion to the device format -------------------------------------

uint16_t Read16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Read32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// The frame count at the device rate of `frames` frames at `rate`, rounded.
int64_t DeviceFrames(int64_t frames, int rate) {
    return (frames * kMixRate + rate / 2) / rate;
}

// Interleaved 16-bit samples (1 or 2 channels at `rate`) to device-format PCM.
// Other rates are resampled by linear interpolation in 32.32 fixed point.
std::shared_ptr<Pcm> ToDevice(const int16_t* in, int64_t frames, int channels, int rate) {
    if (frames <= 0 || channels < 1 || channels > 2) return nullptr;
    int64_t out_frames = DeviceFrames(frames, rate);
    if (out_frames <= 0 || out_frames > kMaxFrames) return nullptr;
    auto out = std::make_shared<Pcm>();
    out->resize(static_cast<size_t>(out_frames) * kMixChannels);
    int16_t* dst = out->data();
    auto sample = [&](int64_t frame, int ch) {
        return in[frame * channels + (channels == 2 ? ch : 0)];
    };
    if (rate == kMixRate) {
        for (int64_t i = 0; i < out_frames; ++i) {
            dst[2 * i] = sample(i, 0);
            dst[2 * i + 1] = sample(i, 1);
        }
        return out;
    }
    const uint64_t step = (static_cast<uint64_t>(rate) << 32) / kMixRate;
    uint64_t pos = 0;
    for (int64_t i = 0; i < out_frames; ++i, pos += step) {
        int64_t a = std::min<int64_t>(static_cast<int64_t>(pos >> 32), frames - 1);
        int64_t b = std::min<int64_t>(a + 1, frames - 1);
        int32_t frac = static_cast<int32_t>((pos >> 16) & 0xFFFF);
        for (int ch = 0; ch < 2; ++ch) {
            int64_t s0 = sample(a, ch);
            int64_t s1 = sample(b, ch);  // a step may span the whole 16-bit range
            dst[2 * i + ch] = static_cast<int16_t>(s0 + (((s1 - s0) * frac) >> 16));
        }
    }
    return out;
}

// ---- WAV -----------------------------------------------------------------

// A RIFF/WAVE file: the chunk list is walked with every length checked against
// the data actually there. A "data" chunk that claims more than the file holds
// (as streamed recordings often do) is cut to what is present; any other chunk
// that runs past the end ends the walk.
std::shared_ptr<Pcm> DecodeWav(const uint8_t* data, uint64_t length) {
    if (length < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0) {
        return nullptr;
    }
    const uint8_t* fmt = nullptr;
    uint32_t fmt_size = 0;
    const uint8_t* body = nullptr;
    uint64_t body_size = 0;
    uint64_t offset = 12;
    while (offset + 8 <= length) {
        const uint8_t* chunk = data + offset;
        uint64_t size = Read32(chunk + 4);
        uint64_t available = length - offset - 8;
        if (std::memcmp(chunk, "data", 4) == 0) {
            if (!body) {
                body = chunk + 8;
                body_size = std::min(size, available);
            }
        } else if (size > available) {
            break;
        } else if (std::memcmp(chunk, "fmt ", 4) == 0 && !fmt) {
            fmt = chunk + 8;
            fmt_size = static_cast<uint32_t>(size);
        }
        offset += 8 + size + (size & 1);
    }
    if (!fmt || !body || fmt_size < 16) return nullptr;

    uint16_t tag = Read16(fmt);
    int channels = Read16(fmt + 2);
    uint32_t rate = Read32(fmt + 4);
    int bits = Read16(fmt + 14);
    if (tag == 0xFFFE && fmt_size >= 26) tag = Read16(fmt + 24);  // extensible: the sub-format
    if (tag != 1 || (channels != 1 && channels != 2) || (bits != 8 && bits != 16)) return nullptr;
    if (rate < kMinRate || rate > kMaxRate) return nullptr;

    const int frame_bytes = channels * bits / 8;
    const int64_t frames = static_cast<int64_t>(body_size / frame_bytes);
    if (frames <= 0 || DeviceFrames(frames, static_cast<int>(rate)) > kMaxFrames) return nullptr;
    std::vector<int16_t> samples(static_cast<size_t>(frames) * channels);
    if (bits == 8) {
        for (size_t i = 0; i < samples.size(); ++i) {
            samples[i] = static_cast<int16_t>((body[i] - 128) * 256);
        }
    } else {
        for (size_t i = 0; i < samples.size(); ++i) {
            samples[i] = static_cast<int16_t>(Read16(body + 2 * i));
        }
    }
    return ToDevice(samples.data(), frames, channels, static_cast<int>(rate));
}

// ---- Ogg Vorbis ----------------------------------------------------------

struct MemoryStream {
    const uint8_t* data;
    uint64_t length;
    uint64_t position;
};

size_t StreamRead(void* ptr, size_t size, size_t count, void* source) {
    auto* s = static_cast<MemoryStream*>(source);
    if (size == 0 || count == 0) return 0;
    uint64_t left = s->length - s->position;
    size_t items = static_cast<size_t>(std::min<uint64_t>(count, left / size));
    std::memcpy(ptr, s->data + s->position, items * size);
    s->position += items * size;
    return items;
}

int StreamSeek(void* source, ogg_int64_t offset, int whence) {
    auto* s = static_cast<MemoryStream*>(source);
    int64_t base = whence == SEEK_SET   ? 0
                   : whence == SEEK_CUR ? static_cast<int64_t>(s->position)
                   : whence == SEEK_END ? static_cast<int64_t>(s->length)
                                        : -1;
    if (base < 0) return -1;
    if (offset < -base || offset > static_cast<int64_t>(s->length) - base) return -1;
    s->position = static_cast<uint64_t>(base + offset);
    return 0;
}

long StreamTell(void* source) {
    return static_cast<long>(static_cast<MemoryStream*>(source)->position);
}

// A sound as DecodeSound keeps it: converted samples or a stream.
struct Decoded {
    std::shared_ptr<const Pcm> pcm;
    std::shared_ptr<const detail::StreamSource> stream;
};

ov_callbacks MemoryCallbacks() {
    return ov_callbacks{StreamRead, StreamSeek, nullptr, StreamTell};
}

constexpr int kBigEndian = std::endian::native == std::endian::big ? 1 : 0;

// Reads the next interleaved 16-bit samples of an open stream into `buffer`
// (at most `bytes` bytes): the number of samples, or 0 at the end, at damage or
// at a chained link whose channel count or rate differs from the stream's.
// Every Vorbis decode here ends in those places.
size_t ReadSamples(OggVorbis_File* file, int16_t* buffer, int bytes, int channels, long rate) {
    for (;;) {
        int link = -1;
        long got = ov_read(file, reinterpret_cast<char*>(buffer), bytes, kBigEndian, 2, 1, &link);
        if (got == OV_HOLE) continue;
        if (got <= 0) return 0;
        const vorbis_info* now = ov_info(file, link);
        if (!now || now->channels != channels || now->rate != rate) return 0;
        return static_cast<size_t>(got) / 2;
    }
}

// One voice's decoder over a streamed sound's Ogg data (owned by the source,
// which the voice holds for as long as its cursor lives).
class VorbisCursor final : public detail::StreamCursor {
  public:
    VorbisCursor(const std::vector<uint8_t>& data, int channels)
        : stream_{data.data(), data.size(), 0}, channels_(channels) {}
    VorbisCursor(const VorbisCursor&) = delete;
    VorbisCursor& operator=(const VorbisCursor&) = delete;
    ~VorbisCursor() override {
        if (open_) ov_clear(&file_);
    }

    bool Open() {
        open_ = ov_open_callbacks(&stream_, &file_, nullptr, 0, MemoryCallbacks()) == 0;
        return open_;
    }

    int Read(int16_t* out, int frames) override {
        int done = 0;
        while (done < frames && !ended_) {
            int16_t samples[2048];
            const int want = std::min<int>(sizeof samples, (frames - done) * channels_ * 2);
            const int count =
                static_cast<int>(ReadSamples(&file_, samples, want, channels_, kMixRate)) /
                channels_;
            if (count == 0) {
                ended_ = true;
                break;
            }
            int16_t* dst = out + static_cast<ptrdiff_t>(done) * kMixChannels;
            for (int i = 0; i < count; ++i) {
                dst[2 * i] = samples[i * channels_];
                dst[2 * i + 1] = samples[i * channels_ + channels_ - 1];
            }
            done += count;
        }
        return done;
    }

  private:
    MemoryStream stream_;
    OggVorbis_File file_{};
    int channels_;
    bool open_ = false;
    bool ended_ = false;
};

class VorbisStream final : public detail::StreamSource {
  public:
    VorbisStream(const uint8_t* data, uint64_t length, int channels)
        : data_(data, data + length), channels_(channels) {}

    std::unique_ptr<detail::StreamCursor> Open() const override {
        auto cursor = std::make_unique<VorbisCursor>(data_, channels_);
        if (!cursor->Open()) return nullptr;
        return cursor;
    }

  private:
    std::vector<uint8_t> data_;
    int channels_;
};

// An Ogg Vorbis sound: streamed when it is long and at the device rate and its
// first block decodes; otherwise the whole stream as 16-bit PCM. A chained
// stream whose later links change the channel count or rate ends at the first
// such link; a damaged stream keeps what decoded before the damage.
Decoded DecodeVorbis(const uint8_t* data, uint64_t length) {
    MemoryStream stream{data, length, 0};
    OggVorbis_File file;
    if (ov_open_callbacks(&stream, &file, nullptr, 0, MemoryCallbacks()) != 0) return {};
    struct Closer {
        OggVorbis_File* f;
        ~Closer() { ov_clear(f); }
    } closer{&file};

    vorbis_info* info = ov_info(&file, -1);
    if (!info || info->channels < 1 || info->channels > 2) return {};
    if (info->rate < kMinRate || info->rate > kMaxRate) return {};
    const int channels = info->channels;
    const int rate = static_cast<int>(info->rate);
    // The longest source that stays within the cap once converted.
    const int64_t max_frames = kMaxFrames * rate / kMixRate;

    ogg_int64_t total = ov_pcm_total(&file, -1);
    if (total > max_frames) return {};
    if (rate == kMixRate && total >= kStreamFromFrames) {
        int16_t first[2048];
        if (ReadSamples(&file, first, sizeof first, channels, info->rate) == 0) return {};
        return {nullptr, std::make_shared<VorbisStream>(data, length, channels)};
    }

    std::vector<int16_t> samples;
    // The stream's claimed length only sizes the first allocation, and only as far
    // as the data could plausibly hold (the last page's position is the sender's say).
    if (total > 0) {
        samples.reserve(std::min(static_cast<uint64_t>(total) * channels, length * 32));
    }

    int16_t buffer[4096];
    for (;;) {
        const size_t count = ReadSamples(&file, buffer, sizeof buffer, channels, info->rate);
        if (count == 0) break;
        if ((samples.size() + count) / channels > static_cast<size_t>(max_frames)) return {};
        const size_t at = samples.size();
        samples.resize(at + count);
        std::memcpy(samples.data() + at, buffer, count * 2);
    }
    int64_t frames = static_cast<int64_t>(samples.size()) / channels;
    return {ToDevice(samples.data(), frames, channels, rate), nullptr};
}

// A new voice in the mixer playing the sound's data; 0 when none can be made.
int NewVoice(const Sound& s) {
    auto& mixer = detail::ProcessMixer();
    return s.stream ? mixer.CreateVoice(s.stream) : mixer.CreateVoice(s.pcm);
}

// ---- Addressing ----------------------------------------------------------

bool HasChannel(const Sound& s, int channel) {
    return std::find(s.channels.begin(), s.channels.end(), channel) != s.channels.end();
}

// Calls f(sound, voice) for each voice addressed by (sound, channel): channel 0
// the own voice, -1 the own voice and every channel, otherwise that channel;
// sound -1 every sound.
template <typename F>
void ForVoices(int sound, int channel, F&& f) {
    auto& st = State();
    auto apply = [&](Sound& s) {
        if (channel == 0 || channel == -1) f(s, s.voice);
        if (channel == -1) {
            for (int c : s.channels)
                f(s, c);
        } else if (channel != 0 && HasChannel(s, channel)) {
            f(s, channel);
        }
    };
    if (sound == -1) {
        std::vector<int> ids;
        st.sounds.ForEach([&ids](int id, const Sound&) { ids.push_back(id); });
        for (int id : ids)
            apply(*st.sounds.Get(id));
    } else if (Sound* s = st.sounds.Get(sound)) {
        apply(*s);
    }
}

void AudioCallback(void*, Uint8* stream, int length) {
    detail::ProcessMixer().Mix(reinterpret_cast<int16_t*>(stream),
                               length / static_cast<int>(kMixChannels * sizeof(int16_t)));
}

}  // namespace

namespace {

// Opens the audio device with the given driver hint (nullptr: SDL's choice).
SDL_AudioDeviceID OpenDevice(const char* driver, bool* subsystem_started) {
    // Without a driver, SDL's own choice (or the player's SDL_AUDIODRIVER),
    // not the silent driver an earlier fallback forced.
    if (driver) {
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, driver, SDL_HINT_OVERRIDE);
    } else {
        SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    }
    if (!SDL_WasInit(SDL_INIT_AUDIO)) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return 0;
        *subsystem_started = true;
    }
    SDL_AudioSpec want{};
    want.freq = kMixRate;
    want.format = AUDIO_S16SYS;
    want.channels = kMixChannels;
    want.samples = 1024;
    want.callback = AudioCallback;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts whatever the hardware wants from our format.
    SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!device && *subsystem_started) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        *subsystem_started = false;
    }
    return device;
}

}  // namespace

// Whether any sound output could answer: a driver named by the player, a sound
// server's socket or a sound card's device nodes. Without any, asking SDL's
// drivers in turn only delays the start (ALSA scans 32 cards and joins its
// hot-plug thread, about 0.2 s) before the silent driver takes over.
bool SoundOutputMayExist() {
    if (std::getenv("SDL_AUDIODRIVER") || std::getenv("PULSE_SERVER") || std::getenv("AUDIODEV")) {
        return true;
    }
    return os::SoundDeviceMayExist();
}

int StartAudio() {
    auto& st = State();
    if (st.device) return 1;
    if (SoundOutputMayExist()) st.device = OpenDevice(nullptr, &st.subsystem_started);
    if (!st.device) {
        // A machine without a sound card (or a sound server) still plays the
        // game: the mixer then runs on SDL's silent driver.
        st.device = OpenDevice("dummy", &st.subsystem_started);
        if (st.device) {
            std::fprintf(stderr, "Mnemora: no audio device could be opened; playing silently.\n");
            st.silent = true;
        }
    }
    if (!st.device) return 0;
    SDL_PauseAudioDevice(st.device, 0);
    return 1;
}

int AudioIsSilent() {
    return State().silent ? 1 : 0;
}

void StopAudio() {
    auto& st = State();
    if (!st.device) return;
    SDL_CloseAudioDevice(st.device);
    st.device = 0;
    if (st.subsystem_started) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    st.subsystem_started = false;
    st.silent = false;
}

int DecodeSound(int id, const uint8_t* data, int64_t length) {
    auto& st = State();
    if (id != AutoId) st.sounds.Release(id);
    if (!data || length <= 0) return 0;
    const auto size = static_cast<uint64_t>(length);
    Decoded decoded = (size >= 4 && std::memcmp(data, "RIFF", 4) == 0)
                          ? Decoded{DecodeWav(data, size), nullptr}
                          : DecodeVorbis(data, size);
    if (!decoded.pcm && !decoded.stream) return 0;
    auto sound = std::make_unique<Sound>();
    sound->pcm = std::move(decoded.pcm);
    sound->stream = std::move(decoded.stream);
    sound->voice = NewVoice(*sound);
    if (!sound->voice) return 0;
    return st.sounds.Insert(id, std::move(sound));
}

int StartSound(int sound, int flags, int volume) {
    Sound* s = State().sounds.Get(sound);
    if (!s) return 0;
    auto& mixer = detail::ProcessMixer();
    const bool loop = (flags & kSoundLoop) != 0;
    if ((flags & kSoundNewChannel) == 0) {
        if (volume != -1) {
            s->volume = ClampVolume(volume);
            mixer.SetGain(s->voice, FixedGain(s->volume));
        }
        return mixer.Start(s->voice, loop) ? 1 : 0;
    }
    // Channels that have stopped (halted, or one-shots that ran out) go first,
    // so a stream of effects does not pile up voices.
    std::erase_if(s->channels, [&mixer](int c) {
        if (mixer.State(c) != detail::kVoiceStopped) return false;
        mixer.DestroyVoice(c);
        return true;
    });
    if (s->channels.size() >= kMaxChannelsPerSound) return 0;
    int channel = NewVoice(*s);
    if (!channel) return 0;
    mixer.SetGain(channel, FixedGain(volume == -1 ? s->volume : ClampVolume(volume)));
    mixer.Start(channel, loop);
    s->channels.push_back(channel);
    return channel;
}

int QuerySoundState(int sound, int channel) {
    const Sound* s = State().sounds.Get(sound);
    if (!s) return 3;
    if (channel != 0 && !HasChannel(*s, channel)) return 3;
    int state = detail::ProcessMixer().State(channel == 0 ? s->voice : channel);
    return state < 0 ? 3 : state;
}

void HoldSound(int sound, int channel) {
    ForVoices(sound, channel, [](Sound&, int v) { detail::ProcessMixer().Hold(v); });
}

void ContinueSound(int sound, int channel) {
    ForVoices(sound, channel, [](Sound&, int v) { detail::ProcessMixer().Continue(v); });
}

void HaltSound(int sound, int channel) {
    ForVoices(sound, channel, [](Sound&, int v) { detail::ProcessMixer().Halt(v); });
}

void SetSoundLevel(int sound, int volume, int channel) {
    volume = ClampVolume(volume);
    if (sound == -1) channel = -1;  // every sound with all its channels
    const int32_t gain = FixedGain(volume);
    ForVoices(sound, channel, [volume, gain](Sound& s, int v) {
        if (v == s.voice) s.volume = volume;
        detail::ProcessMixer().SetGain(v, gain);
    });
}

void ReleaseSound(int sound) {
    auto& st = State();
    if (sound == -1) {
        st.sounds.ReleaseAll();
    } else {
        st.sounds.Release(sound);
    }
}

int VolumeAttenuation(int volume) {
    static const auto table = [] {
        std::vector<int> t(101);
        t[0] = -10000;
        for (int v = 1; v <= 100; ++v) {
            t[v] = static_cast<int>(std::lround(2000.0 * std::log10(1000.0 * v))) - 10000;
        }
        return t;
    }();
    return table[ClampVolume(volume)];
}

double VolumeGain(int volume) {
    volume = ClampVolume(volume);
    if (volume == 0) return 0.0;
    return std::pow(10.0, VolumeAttenuation(volume) / 2000.0);
}

namespace detail {

std::shared_ptr<const Pcm> SoundPcm(int sound) {
    const Sound* s = State().sounds.Get(sound);
    return s ? s->pcm : nullptr;
}

}  // namespace detail

}  // namespace engine
