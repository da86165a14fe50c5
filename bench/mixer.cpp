// Sound benchmarks: the mixer's cost per second of audio with looping music
// and four effects playing, with the music held as PCM and with a 60-second
// stereo Ogg Vorbis track decoded while it plays, and the time to load that
// track (targets: under 1 % of one core; decoding at least 100x real time).
#include <chrono>
#include <cstdio>
#include <vector>

#include "engine/mixer.h"
#include "engine/sound.h"
#include "unit/engine/vorbis_encode.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

std::vector<uint8_t> Wav(const std::vector<int16_t>& stereo) {
    auto put32 = [](std::vector<uint8_t>& v, uint32_t x) {
        for (int i = 0; i < 4; ++i)
            v.push_back(static_cast<uint8_t>(x >> (8 * i)));
    };
    auto put16 = [](std::vector<uint8_t>& v, uint16_t x) {
        v.push_back(static_cast<uint8_t>(x));
        v.push_back(static_cast<uint8_t>(x >> 8));
    };
    const auto bytes = static_cast<uint32_t>(stereo.size() * 2);
    std::vector<uint8_t> w = {'R', 'I', 'F', 'F'};
    put32(w, 36 + bytes);
    w.insert(w.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(w, 16);
    put16(w, 1);
    put16(w, 2);
    put32(w, 44100);
    put32(w, 44100 * 4);
    put16(w, 4);
    put16(w, 16);
    w.insert(w.end(), {'d', 'a', 't', 'a'});
    put32(w, bytes);
    for (int16_t s : stereo)
        put16(w, static_cast<uint16_t>(s));
    return w;
}

// Mixes `seconds` of audio from whatever plays; returns seconds spent per
// second of audio.
double MixCost(int seconds) {
    const int block = 1024;
    std::vector<int16_t> out(block * 2);
    auto& mixer = engine::detail::ProcessMixer();
    const auto start = Clock::now();
    int64_t frames = 0;
    while (frames < int64_t{seconds} * 44100) {
        mixer.Mix(out.data(), block);
        frames += block;
    }
    return Seconds(Clock::now() - start) / (static_cast<double>(frames) / 44100);
}

void StartFourEffects() {
    auto effect = Wav(test_support::Sine(0.7, 44100, 2, 880));
    engine::DecodeSound(6, effect.data(), static_cast<int64_t>(effect.size()));
    for (int i = 0; i < 4; ++i)
        engine::StartSound(6, 3, 60);  // four effects, kept going
}

void BenchMixing() {
    auto music = Wav(test_support::Sine(20.0, 44100, 2, 220));
    engine::DecodeSound(0, music.data(), static_cast<int64_t>(music.size()));
    StartFourEffects();
    engine::StartSound(0, 3, 80);
    const double per_second = MixCost(60);
    std::printf(
        "mixing, music held as PCM + 4 effects: %.1f us per second of audio = %.3f %% of one "
        "core (target < 1 %%)\n",
        per_second * 1e6, per_second * 100);
    engine::ReleaseSound(-1);
}

void BenchStreaming() {
    const auto encode_start = Clock::now();
    // Tones plus noise on both sides, so the encoder spends bits as on real music.
    auto track = test_support::Sine(60.0, 44100, 2, 440);
    auto chord = test_support::Sine(60.0, 44100, 2, 659);
    uint32_t seed = 12345;
    for (size_t i = 0; i < track.size(); ++i) {
        seed = seed * 1664525 + 1013904223;
        const int noise = static_cast<int>(seed >> 20) - 2048;
        track[i] = static_cast<int16_t>(track[i] / 2 + chord[i] / 3 + noise);
    }
    auto ogg = test_support::EncodeVorbis(track, 2, 44100, 0.4f);
    std::printf("(encoded a 60 s stereo track: %zu bytes in %.2f s)\n", ogg.size(),
                Seconds(Clock::now() - encode_start));
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        const auto start = Clock::now();
        int ok = engine::DecodeSound(1, ogg.data(), static_cast<int64_t>(ogg.size()));
        best = std::min(best, Seconds(Clock::now() - start));
        if (!ok) std::printf("loading FAILED\n");
    }
    std::printf("loading a 60 s stereo Ogg Vorbis track (checked, kept as Ogg): %.2f ms\n",
                best * 1e3);

    StartFourEffects();
    engine::StartSound(1, 3, 80);
    const double per_second = MixCost(60);
    std::printf(
        "mixing, music decoded as it plays + 4 effects: %.1f us per second of audio = %.3f %% "
        "of one core (target < 1 %%); decoding runs at %.0fx real time (target >= 100x)\n",
        per_second * 1e6, per_second * 100, 1.0 / per_second);
    engine::ReleaseSound(-1);
}

}  // namespace

int main() {
    BenchMixing();
    BenchStreaming();
    return 0;
}
