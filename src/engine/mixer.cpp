#include "engine/mixer.h"

#include <algorithm>
#include <cstring>

namespace engine::detail {

namespace {
// Voice ids: bit 30 set so an id is never 0, a 14-bit generation, a 16-bit slot.
constexpr int kVoiceBit = 1 << 30;
constexpr int kMaxVoices = 1 << 16;

int MakeId(int slot, int generation) {
    return kVoiceBit | ((generation & 0x3FFF) << 16) | slot;
}

// dst += src * gain for `samples` samples, gain in units of 1/65536.
void AddScaled(const int16_t* src, int32_t* dst, int samples, int64_t gain) {
    if (gain == kUnityGain) {
        for (int i = 0; i < samples; ++i)
            dst[i] += src[i];
    } else if (gain != 0) {
        for (int i = 0; i < samples; ++i)
            dst[i] += static_cast<int32_t>((src[i] * gain) >> 16);
    }
}
}  // namespace

Mixer::Voice* Mixer::Find(int voice) const {
    if (voice <= 0 || (voice & kVoiceBit) == 0) return nullptr;
    int slot = voice & 0xFFFF;
    int generation = (voice >> 16) & 0x3FFF;
    if (slot >= static_cast<int>(slots_.size())) return nullptr;
    const Slot& s = slots_[slot];
    return s.generation == generation ? s.voice.get() : nullptr;
}

int Mixer::CreateVoice(std::shared_ptr<const Pcm> pcm) {
    if (!pcm || pcm->size() < kMixChannels) return 0;
    auto voice = std::make_unique<Voice>();
    voice->pcm = std::move(pcm);
    return AddVoice(std::move(voice));
}

int Mixer::CreateVoice(std::shared_ptr<const StreamSource> stream) {
    if (!stream) return 0;
    auto voice = std::make_unique<Voice>();
    voice->stream = std::move(stream);
    return AddVoice(std::move(voice));
}

int Mixer::AddVoice(std::unique_ptr<Voice> voice) {
    std::lock_guard lock(mutex_);
    int slot;
    if (!free_slots_.empty()) {
        slot = free_slots_.back();
        free_slots_.pop_back();
    } else {
        if (slots_.size() >= static_cast<size_t>(kMaxVoices)) return 0;
        slots_.emplace_back();
        slot = static_cast<int>(slots_.size() - 1);
    }
    slots_[slot].voice = std::move(voice);
    return MakeId(slot, slots_[slot].generation);
}

bool Mixer::DestroyVoice(int voice) {
    std::lock_guard lock(mutex_);
    if (!Find(voice)) return false;
    int slot = voice & 0xFFFF;
    slots_[slot].voice.reset();
    slots_[slot].generation = (slots_[slot].generation + 1) & 0x3FFF;
    if (slots_[slot].generation == 0) slots_[slot].generation = 1;
    free_slots_.push_back(slot);
    return true;
}

bool Mixer::Exists(int voice) const {
    std::lock_guard lock(mutex_);
    return Find(voice) != nullptr;
}

bool Mixer::Start(int voice, bool loop) {
    std::lock_guard lock(mutex_);
    Voice* v = Find(voice);
    if (!v) return false;
    v->position = 0;
    v->cursor.reset();
    v->loop = loop;
    v->state = kVoicePlaying;
    return true;
}

bool Mixer::Hold(int voice) {
    std::lock_guard lock(mutex_);
    Voice* v = Find(voice);
    if (!v) return false;
    v->state = kVoiceHeld;
    return true;
}

bool Mixer::Continue(int voice) {
    std::lock_guard lock(mutex_);
    Voice* v = Find(voice);
    if (!v) return false;
    v->state = kVoicePlaying;
    return true;
}

bool Mixer::Halt(int voice) {
    std::lock_guard lock(mutex_);
    Voice* v = Find(voice);
    if (!v) return false;
    v->state = kVoiceStopped;
    v->position = 0;
    v->cursor.reset();
    return true;
}

bool Mixer::SetGain(int voice, int32_t gain) {
    std::lock_guard lock(mutex_);
    Voice* v = Find(voice);
    if (!v) return false;
    v->gain = std::max<int32_t>(gain, 0);
    return true;
}

int Mixer::State(int voice) const {
    std::lock_guard lock(mutex_);
    const Voice* v = Find(voice);
    return v ? v->state : -1;
}

int64_t Mixer::Position(int voice) const {
    std::lock_guard lock(mutex_);
    const Voice* v = Find(voice);
    return v ? v->position : -1;
}

int32_t Mixer::Gain(int voice) const {
    std::lock_guard lock(mutex_);
    const Voice* v = Find(voice);
    return v ? v->gain : 0;
}

size_t Mixer::VoiceCount() const {
    std::lock_guard lock(mutex_);
    return slots_.size() - free_slots_.size();
}

// Adds one voice into the accumulator, wrapping a looping voice at its end on
// the exact frame (no gap, no repeated frame) and stopping a one-shot voice.
void Mixer::MixVoice(Voice& v, int32_t* acc, int frames) {
    const int16_t* data = v.pcm->data();
    const int64_t length = static_cast<int64_t>(v.pcm->size() / kMixChannels);
    const int64_t gain = v.gain;
    int done = 0;
    while (done < frames) {
        if (v.position >= length) {
            if (!v.loop) {
                v.state = kVoiceStopped;
                v.position = 0;
                return;
            }
            v.position = 0;
        }
        int run = static_cast<int>(std::min<int64_t>(frames - done, length - v.position));
        AddScaled(data + v.position * kMixChannels, acc + done * kMixChannels, run * kMixChannels,
                  gain);
        v.position += run;
        done += run;
    }
    if (v.position >= length) {
        v.position = 0;
        if (!v.loop) v.state = kVoiceStopped;
    }
}

// Adds a streamed voice: its cursor decodes the next frames, reopened at the
// start for a loop. A stream that gives nothing right after opening (damaged
// beyond its first block, or empty) stops the voice instead of spinning.
void Mixer::MixStream(Voice& v, int32_t* acc, int frames) {
    const size_t samples = static_cast<size_t>(frames) * kMixChannels;
    if (stream_block_.size() < samples) stream_block_.resize(samples);
    int16_t* block = stream_block_.data();
    int done = 0;
    bool opened = false;
    while (done < frames) {
        if (!v.cursor) {
            v.cursor = v.stream->Open();
            v.position = 0;
            opened = true;
            if (!v.cursor) break;
        }
        int got = v.cursor->Read(block + done * kMixChannels, frames - done);
        if (got > 0) {
            done += got;
            v.position += got;
            opened = false;
            continue;
        }
        v.cursor.reset();  // the end: a loop opens the start again
        v.position = 0;
        if (!v.loop || opened) break;
    }
    if (done < frames) {
        v.cursor.reset();
        v.position = 0;
        v.state = kVoiceStopped;
    }
    AddScaled(block, acc, done * kMixChannels, v.gain);
}

void Mixer::Mix(int16_t* out, int frames) {
    if (frames <= 0) return;
    std::lock_guard lock(mutex_);
    const size_t samples = static_cast<size_t>(frames) * kMixChannels;
    if (accumulator_.size() < samples) accumulator_.resize(samples);
    int32_t* acc = accumulator_.data();
    std::fill(acc, acc + samples, 0);
    for (Slot& slot : slots_) {
        Voice* v = slot.voice.get();
        if (!v || v->state != kVoicePlaying) continue;
        if (v->stream) {
            MixStream(*v, acc, frames);
        } else {
            MixVoice(*v, acc, frames);
        }
    }
    for (size_t i = 0; i < samples; ++i) {
        out[i] = static_cast<int16_t>(std::clamp<int32_t>(acc[i], INT16_MIN, INT16_MAX));
    }
}

Mixer& ProcessMixer() {
    static Mixer mixer;
    return mixer;
}

}  // namespace engine::detail
