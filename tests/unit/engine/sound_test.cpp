#include "engine/sound.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <cstring>
#include <string>

#include "engine/mixer.h"
#include "scratch_dir.h"
#include "unit/engine/vorbis_encode.h"

namespace {

using engine::detail::ProcessMixer;
using engine::detail::SoundPcm;

struct WavSpec {
    int tag = 1;
    int channels = 1;
    int rate = 44100;
    int bits = 16;
};

void Put16(std::string& s, int v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, static_cast<int>(v & 0xFFFF));
    Put16(s, static_cast<int>(v >> 16));
}
std::string Chunk(const char* id, const std::string& body) {
    std::string s(id, 4);
    Put32(s, static_cast<uint32_t>(body.size()));
    s += body;
    if (body.size() & 1) s.push_back('\0');
    return s;
}
std::string Fmt(const WavSpec& w) {
    std::string f;
    Put16(f, w.tag);
    Put16(f, w.channels);
    Put32(f, w.rate);
    Put32(f, w.rate * w.channels * w.bits / 8);
    Put16(f, w.channels * w.bits / 8);
    Put16(f, w.bits);
    return f;
}
std::string Riff(const std::string& chunks) {
    std::string s = "RIFF";
    Put32(s, static_cast<uint32_t>(chunks.size() + 4));
    return s + "WAVE" + chunks;
}
std::string Samples16(const std::vector<int16_t>& v) {
    std::string s;
    for (int16_t x : v)
        Put16(s, x);
    return s;
}
std::string Wav(const WavSpec& w, const std::string& data) {
    return Riff(Chunk("fmt ", Fmt(w)) + Chunk("data", data));
}

int Decode(int id, const std::string& bytes) {
    return engine::DecodeSound(id, reinterpret_cast<const uint8_t*>(bytes.data()),
                               static_cast<int64_t>(bytes.size()));
}
int Decode(int id, const std::vector<uint8_t>& bytes) {
    return engine::DecodeSound(id, bytes.data(), static_cast<int64_t>(bytes.size()));
}

size_t Frames(int sound) {
    auto pcm = SoundPcm(sound);
    return pcm ? pcm->size() / 2 : 0;
}

std::vector<int16_t> Pull(int frames) {
    std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
    ProcessMixer().Mix(out.data(), frames);
    return out;
}

class Sound : public ::testing::Test {
  protected:
    void SetUp() override { engine::ReleaseSound(-1); }
    void TearDown() override { engine::ReleaseSound(-1); }
};

TEST(SoundVolume, AttenuationTableAndGain) {
    EXPECT_EQ(engine::VolumeAttenuation(0), -10000);
    EXPECT_EQ(engine::VolumeAttenuation(1), -4000);
    EXPECT_EQ(engine::VolumeAttenuation(10), -2000);
    EXPECT_EQ(engine::VolumeAttenuation(50), -602);
    EXPECT_EQ(engine::VolumeAttenuation(100), 0);
    EXPECT_EQ(engine::VolumeAttenuation(150), 0);
    EXPECT_EQ(engine::VolumeAttenuation(-3), -10000);
    EXPECT_EQ(engine::VolumeGain(0), 0.0);  // silence is exactly silent, not -100 dB
    EXPECT_EQ(engine::VolumeGain(100), 1.0);
    EXPECT_NEAR(engine::VolumeGain(50), 0.5, 0.001);
    EXPECT_NEAR(engine::VolumeGain(10), 0.1, 1e-9);
}

TEST_F(Sound, WavFormatsAreConvertedToStereoAtTheDeviceRate) {
    // 16-bit stereo at the device rate: copied sample for sample.
    ASSERT_EQ(Decode(1, Wav({1, 2, 44100, 16}, Samples16({100, -100, 200, -200, 300, -300}))), 1);
    EXPECT_EQ(*SoundPcm(1), (engine::detail::Pcm{100, -100, 200, -200, 300, -300}));

    // 8-bit unsigned mono: centred on 128 and duplicated on both sides.
    ASSERT_EQ(Decode(2, Wav({1, 1, 44100, 8}, std::string("\x80\xFF\x00", 3))), 1);
    EXPECT_EQ(*SoundPcm(2), (engine::detail::Pcm{0, 0, 127 * 256, 127 * 256, -32768, -32768}));

    // Other rates are resampled: the length scales and a constant stays constant.
    for (int rate : {8000, 22050, 32000, 48000, 96000}) {
        std::vector<int16_t> flat(static_cast<size_t>(rate) / 10, 5000);  // 0.1 s mono
        ASSERT_EQ(Decode(3, Wav({1, 1, rate, 16}, Samples16(flat))), 1) << rate;
        EXPECT_EQ(Frames(3), 4410u) << rate;
        auto pcm = SoundPcm(3);
        for (int16_t s : *pcm)
            ASSERT_EQ(s, 5000) << rate;
    }
    // Full-scale steps interpolate between their ends without overflowing.
    ASSERT_EQ(Decode(3, Wav({1, 1, 8000, 16}, Samples16({-32768, 32767, -32768, 32767}))), 1);
    const auto& steps = *SoundPcm(3);
    EXPECT_EQ(steps[0], -32768);
    const double source[] = {-32768, 32767, -32768, 32767};
    for (size_t frame = 0; frame < 16; ++frame) {  // up to the last source sample
        const double at = frame * 8000.0 / 44100;
        const auto i = static_cast<size_t>(at);
        const double want = source[i] + (source[i + 1] - source[i]) * (at - i);
        ASSERT_NEAR(steps[2 * frame], want, 2.0) << frame;
    }
    // Extensible format with a PCM sub-format; a chunk before "fmt "; data before fmt.
    std::string ext = Fmt({0xFFFE, 2, 22050, 16});
    Put16(ext, 22);
    Put16(ext, 16);
    Put32(ext, 3);
    Put16(ext, 1);  // sub-format GUID begins with the PCM tag
    ext += std::string(14, '\0');
    EXPECT_EQ(Decode(4, Riff(Chunk("LIST", "abc") + Chunk("fmt ", ext) +
                             Chunk("data", Samples16({1, 2, 3, 4})))),
              1);
    EXPECT_EQ(Decode(5, Riff(Chunk("data", Samples16({1, 2})) + Chunk("fmt ", Fmt({})))), 1);
}

TEST_F(Sound, BadWavsAreRefusedAndLeaveTheNumberEmpty) {
    const std::string data = Samples16({1, 2, 3, 4});
    ASSERT_EQ(Decode(7, Wav({}, data)), 1);
    // A refused sound under a used number frees the old one: the number stays empty.
    EXPECT_EQ(Decode(7, Riff(Chunk("data", data))), 0);  // no "fmt "
    EXPECT_EQ(engine::QuerySoundState(7, 0), 3);

    EXPECT_EQ(Decode(7, Riff(Chunk("fmt ", Fmt({})))), 0);                    // no "data"
    EXPECT_EQ(Decode(7, Wav({1, 3, 44100, 16}, data)), 0);                    // 3 channels
    EXPECT_EQ(Decode(7, Wav({1, 1, 44100, 24}, data + "xx")), 0);             // 24-bit
    EXPECT_EQ(Decode(7, Wav({3, 1, 44100, 32}, data)), 0);                    // float
    EXPECT_EQ(Decode(7, Wav({1, 1, 4000, 16}, data)), 0);                     // rate too low
    EXPECT_EQ(Decode(7, Wav({1, 1, 200000, 16}, data)), 0);                   // too high
    EXPECT_EQ(Decode(7, Wav({1, 2, 44100, 16}, std::string("\1\2", 2))), 0);  // no whole frame
    EXPECT_EQ(Decode(7, Riff(Chunk("fmt ", Fmt({}).substr(0, 14)) + Chunk("data", data))), 0);
    EXPECT_EQ(Decode(7, std::string("RIFF\0\0\0\0WAVE", 12)), 0);
    EXPECT_EQ(Decode(7, std::string("RIFF")), 0);
    EXPECT_EQ(Decode(7, std::string("not a sound at all")), 0);
    EXPECT_EQ(engine::DecodeSound(7, nullptr, 10), 0);

    // A "fmt " chunk claiming more than the file holds ends the walk: refused.
    std::string lying_fmt = Riff(Chunk("fmt ", Fmt({})) + Chunk("data", data));
    lying_fmt[16] = '\x7F';
    EXPECT_EQ(Decode(7, lying_fmt), 0);
    // A "data" chunk claiming more is cut to what is there.
    std::string lying_data = Wav({}, data);
    std::memcpy(&lying_data[40], "\xFF\xFF\xFF\xFF", 4);
    ASSERT_EQ(Decode(7, lying_data), 1);
    EXPECT_EQ(Frames(7), 4u);
    // Chunk sizes near 4 GB do not wrap the walk around.
    std::string huge = Riff(Chunk("JUNK", "") + Chunk("fmt ", Fmt({})) + Chunk("data", data));
    std::memcpy(&huge[16], "\xF8\xFF\xFF\xFF", 4);
    EXPECT_EQ(Decode(7, huge), 0);
}

TEST_F(Sound, OggVorbisDecodesAndBadOggIsRefused) {
    auto ogg = test_support::EncodeVorbis(test_support::Sine(0.5, 44100, 2, 440), 2, 44100);
    ASSERT_GT(ogg.size(), 1000u);
    ASSERT_EQ(Decode(1, ogg), 1);
    EXPECT_EQ(Frames(1), 22050u);
    // The decoded sine has the level it was encoded with (peak about 16000).
    int peak = 0;
    for (int16_t s : *SoundPcm(1))
        peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_NEAR(peak, 16000, 1500);

    auto mono = test_support::EncodeVorbis(test_support::Sine(0.5, 22050, 1, 440), 1, 22050);
    ASSERT_EQ(Decode(2, mono), 1);
    EXPECT_EQ(Frames(2), 22050u);

    // Cut short: what decodes is kept, or the stream is refused; never more.
    for (size_t cut : {ogg.size() / 2, ogg.size() / 8, size_t{100}, size_t{4}}) {
        std::vector<uint8_t> part(ogg.begin(), ogg.begin() + static_cast<long>(cut));
        if (Decode(3, part)) {
            EXPECT_LT(Frames(3), 22050u) << cut;
        }
    }
    // Damaged in the middle.
    auto damaged = ogg;
    for (size_t i = damaged.size() / 3; i < damaged.size() / 3 + 200; ++i)
        damaged[i] ^= 0x5A;
    if (Decode(4, damaged)) {
        EXPECT_LE(Frames(4), 22050u);
    }
    EXPECT_EQ(Decode(5, std::string("OggS but then nothing that makes sense")), 0);
    std::vector<uint8_t> noise(5000);
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<uint8_t>(i * 7919 >> 3);
    EXPECT_EQ(Decode(5, noise), 0);
}

TEST_F(Sound, LongOggAtTheDeviceRateIsStreamedAndPlaysInFull) {
    const int seconds = 11;
    const size_t frames = size_t{44100} * seconds;
    auto stereo = test_support::EncodeVorbis(test_support::Sine(seconds, 44100, 2, 440), 2, 44100);
    auto mono = test_support::EncodeVorbis(test_support::Sine(seconds, 44100, 1, 440), 1, 44100);
    auto slow = test_support::EncodeVorbis(test_support::Sine(seconds, 22050, 1, 440), 1, 22050);
    ASSERT_EQ(Decode(1, stereo), 1);
    ASSERT_EQ(Decode(2, mono), 1);
    ASSERT_EQ(Decode(3, slow), 1);
    EXPECT_EQ(SoundPcm(1), nullptr);  // kept as Ogg, decoded while it plays
    EXPECT_EQ(SoundPcm(2), nullptr);
    EXPECT_EQ(Frames(3), frames);  // another rate: converted once, held whole

    // Played once, each gives every frame at the encoded level, then stops.
    for (int sound : {1, 2}) {
        int channel = engine::StartSound(sound, engine::kSoundNewChannel, 100);
        ASSERT_NE(channel, 0);
        size_t played = 0;
        int peak = 0;
        bool same_sides = true;
        while (engine::QuerySoundState(sound, channel) == 1 && played < 2 * frames) {
            auto block = Pull(4096);
            for (size_t i = 0; i < 4096; ++i) {
                peak = std::max(peak, std::abs(static_cast<int>(block[2 * i])));
                same_sides = same_sides && block[2 * i] == block[2 * i + 1];
            }
            played += 4096;
        }
        EXPECT_EQ(engine::QuerySoundState(sound, channel), 0) << sound;
        EXPECT_GE(played, frames) << sound;
        EXPECT_LT(played, frames + 4096) << sound;
        EXPECT_NEAR(peak, 16000, 1500) << sound;
        if (sound == 2) {
            EXPECT_TRUE(same_sides);
        }
    }

    // Looping goes on past the end; halting and starting again begins afresh.
    int music = engine::StartSound(1, engine::kSoundLoop | engine::kSoundNewChannel, 100);
    for (size_t played = 0; played < frames + 44100; played += 4096)
        Pull(4096);
    EXPECT_EQ(engine::QuerySoundState(1, music), 1);
    engine::HaltSound(1, music);
    EXPECT_EQ(engine::QuerySoundState(1, music), 0);

    // A long stream cut short or damaged is refused or plays what it can, and stops.
    std::vector<uint8_t> cut(stereo.begin(), stereo.begin() + static_cast<long>(stereo.size() / 2));
    auto damaged = stereo;
    for (size_t i = damaged.size() / 3; i < damaged.size() / 3 + 400; ++i)
        damaged[i] ^= 0x5A;
    for (const auto* bytes : {&cut, &damaged}) {
        if (!Decode(4, *bytes)) continue;
        int channel = engine::StartSound(4, engine::kSoundNewChannel, 100);
        size_t played = 0;
        while (engine::QuerySoundState(4, channel) == 1 && played < 2 * frames) {
            Pull(4096);
            played += 4096;
        }
        EXPECT_EQ(engine::QuerySoundState(4, channel), 0);
        EXPECT_LE(played, frames + 4096);
    }
}

TEST_F(Sound, ChannelsQueriesAndAddressing) {
    ASSERT_EQ(Decode(0, Wav({}, Samples16(std::vector<int16_t>(1000, 100)))), 1);
    EXPECT_EQ(engine::QuerySoundState(9, 0), 3);  // absent sound
    EXPECT_EQ(engine::StartSound(9, 2, 100), 0);

    int channel = engine::StartSound(0, 2, 100);
    ASSERT_NE(channel, 0);
    EXPECT_EQ(engine::QuerySoundState(0, channel), 1);
    EXPECT_EQ(engine::QuerySoundState(0, 0), 0);  // only ever played on channels
    EXPECT_EQ(engine::QuerySoundState(0, channel + 1), 3);

    ASSERT_EQ(engine::StartSound(0, 1, 100), 1);  // the own voice, looping
    EXPECT_EQ(engine::QuerySoundState(0, 0), 1);
    engine::HoldSound(0, 0);
    EXPECT_EQ(engine::QuerySoundState(0, 0), 2);
    EXPECT_EQ(engine::QuerySoundState(0, channel), 1);  // channel 0 is the own voice only
    engine::HoldSound(0, -1);
    EXPECT_EQ(engine::QuerySoundState(0, channel), 2);
    engine::ContinueSound(-1, -1);
    EXPECT_EQ(engine::QuerySoundState(0, 0), 1);
    EXPECT_EQ(engine::QuerySoundState(0, channel), 1);
    engine::HaltSound(0);
    EXPECT_EQ(engine::QuerySoundState(0, 0), 0);
    EXPECT_EQ(engine::QuerySoundState(0, channel), 1);

    // A one-shot channel that runs out reports 0.
    Pull(2000);
    EXPECT_EQ(engine::QuerySoundState(0, channel), 0);

    // Releasing the sound kills its channel handles for good.
    engine::ReleaseSound(0);
    EXPECT_EQ(engine::QuerySoundState(0, channel), 3);
    EXPECT_EQ(ProcessMixer().VoiceCount(), 0u);
}

TEST_F(Sound, VolumeLevelsReachTheMixer) {
    ASSERT_EQ(Decode(0, Wav({}, Samples16(std::vector<int16_t>(1000, 20000)))), 1);
    int channel = engine::StartSound(0, 3, 150);  // above 100 counts as 100
    ASSERT_NE(channel, 0);
    EXPECT_EQ(Pull(1)[0], 20000);
    engine::SetSoundLevel(0, 50, channel);
    EXPECT_NEAR(Pull(1)[0], 10000, 20);
    engine::SetSoundLevel(0, 0, channel);
    EXPECT_EQ(Pull(1)[0], 0);

    // Channel 0 sets the own voice only; -1 the own voice and every channel;
    // new channels started with -1 take the own voice's volume.
    engine::SetSoundLevel(0, 10);
    EXPECT_EQ(Pull(1)[0], 0);
    int second = engine::StartSound(0, 3, -1);
    EXPECT_NEAR(Pull(1)[0], 2000, 5);
    engine::SetSoundLevel(-1, 100);
    EXPECT_EQ(ProcessMixer().Gain(channel), engine::detail::kUnityGain);
    EXPECT_EQ(ProcessMixer().Gain(second), engine::detail::kUnityGain);
    EXPECT_EQ(Pull(1)[0], 32767);  // two full voices, saturated
}

TEST_F(Sound, HoldContinueAndHaltOnALoopingChannel) {
    std::vector<int16_t> ramp(5000);
    for (int i = 0; i < 5000; ++i)
        ramp[i] = static_cast<int16_t>(i);
    ASSERT_EQ(Decode(0, Wav({}, Samples16(ramp))), 1);
    int music = engine::StartSound(0, 3, 100);
    Pull(1234);
    engine::HoldSound(0, music);
    EXPECT_EQ(engine::QuerySoundState(0, music), 2);
    Pull(500);
    engine::ContinueSound(0, music);
    EXPECT_EQ(Pull(1)[0], 1234);  // where it was held, not the start

    engine::HaltSound(0, music);
    EXPECT_EQ(engine::QuerySoundState(0, music), 0);
    engine::ContinueSound(0, music);
    EXPECT_EQ(Pull(2)[2], 1);  // halting rewound it
}

TEST_F(Sound, HundredEffectsLeaveTheMusicChannelAlone) {
    std::vector<int16_t> tune(3000);
    for (int i = 0; i < 3000; ++i)
        tune[i] = static_cast<int16_t>(i % 1000);
    ASSERT_EQ(Decode(0, Wav({}, Samples16(tune))), 1);
    ASSERT_EQ(Decode(6, Wav({}, Samples16(std::vector<int16_t>(200, 7)))), 1);
    int music = engine::StartSound(0, 3, 100);
    ASSERT_NE(music, 0);
    int64_t played = 0;
    for (int i = 0; i < 100; ++i) {
        ASSERT_NE(engine::StartSound(6, 2, 100), 0);
        Pull(300);  // the effect runs out within this
        played += 300;
        ASSERT_EQ(engine::QuerySoundState(0, music), 1) << i;
        ASSERT_EQ(ProcessMixer().Position(music), played % 3000) << i;
    }
    EXPECT_EQ(ProcessMixer().Gain(music), engine::detail::kUnityGain);
    // Finished effect channels were released along the way: the music, the two
    // own voices and the last effect remain.
    EXPECT_LE(ProcessMixer().VoiceCount(), 4u);
}

TEST_F(Sound, AudioDeviceOpensOnTheDummyDriver) {
    ASSERT_EQ(engine::StartAudio(), 1);
    EXPECT_EQ(engine::StartAudio(), 1);  // idempotent
    engine::StopAudio();
    engine::StopAudio();
}

TEST_F(Sound, AMachineWithoutAnAudioDevicePlaysSilently) {
    const char* before = std::getenv("SDL_AUDIODRIVER");
    std::string saved = before ? before : "";
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_EQ(engine::StartAudio(), 1);
    EXPECT_EQ(engine::AudioIsSilent(), 1);
    engine::StopAudio();
    EXPECT_EQ(engine::AudioIsSilent(), 0);
    if (before)
        setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
    else
        unsetenv("SDL_AUDIODRIVER");
}

}  // namespace
