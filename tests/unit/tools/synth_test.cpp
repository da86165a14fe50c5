#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "synth.h"

namespace {

synth::Score Parse(const std::string& text) {
    synth::Score score;
    std::string error;
    EXPECT_TRUE(synth::ParseScore(text, score, error)) << error;
    return score;
}

const char* kInstrument = R"(
instrument tone
  osc sine 1 1
  osc saw 2 0.3 0.1
  filter lowpass 2000 0.8
  fenv 1 0.05
  env 0.01 0.2 0.5 0.3
)";

TEST(SynthScore, PlacesNotesChordsGroupsAndSettings) {
    const synth::Score score = Parse(std::string(R"(
tempo 90   # a comment after a setting
meter 3
bars 4
loop on
channels 1
reverb 0.5 0.4 0.2
level rms -18 peak -3
)") + kInstrument + R"(
track lead tone
  gain -6
  pan 0.5
  notes c4:1 v0.5 e4+g4:0.5 r c#4:1/3 db4 f#3 |   # "#" inside a note is no comment
  notes [ a4:1 [ bb4:0.5 ]2 ]3 |
  notes [ c5:1 ]3 |
)");
    EXPECT_EQ(score.tempo, 90);
    EXPECT_EQ(score.meter, 3);
    EXPECT_TRUE(score.loop);
    EXPECT_EQ(score.channels, 1);
    EXPECT_EQ(score.level, synth::Level::RmsAndPeak);
    ASSERT_EQ(score.instruments.size(), 1u);
    EXPECT_EQ(score.instruments[0].oscillators.size(), 2u);
    EXPECT_EQ(score.instruments[0].oscillators[1].wave, synth::Wave::Saw);
    ASSERT_EQ(score.tracks.size(), 1u);
    const std::vector<synth::Note>& n = score.tracks[0].notes;
    // c4, e4+g4, c#4, db4, f#3, then (a4 bb4 bb4) three times, then c5 three times.
    ASSERT_EQ(n.size(), 17u);
    EXPECT_EQ(n[0].keys, std::vector<int>{60});
    EXPECT_DOUBLE_EQ(n[0].length, 1);
    EXPECT_DOUBLE_EQ(n[0].velocity, 0.8);
    EXPECT_EQ(n[1].keys, (std::vector<int>{64, 67}));
    EXPECT_DOUBLE_EQ(n[1].beat, 1);
    EXPECT_DOUBLE_EQ(n[1].velocity, 0.5);
    EXPECT_DOUBLE_EQ(n[2].beat, 2);  // after the half-beat rest
    EXPECT_EQ(n[2].keys, std::vector<int>{61});
    EXPECT_EQ(n[3].keys, std::vector<int>{61});
    EXPECT_EQ(n[4].keys, std::vector<int>{54});
    EXPECT_NEAR(n[4].beat, 2 + 2.0 / 3, 1e-9);
    EXPECT_DOUBLE_EQ(n[5].beat, 3);
    EXPECT_EQ(n[5].keys, std::vector<int>{69});
    EXPECT_EQ(n[6].keys, std::vector<int>{70});
    EXPECT_DOUBLE_EQ(n[7].beat, 4.5);
    EXPECT_DOUBLE_EQ(n[8].beat, 5);  // the outer group again
    EXPECT_DOUBLE_EQ(n[11].beat, 7);
    EXPECT_EQ(n[14].keys, std::vector<int>{72});
    EXPECT_DOUBLE_EQ(n[14].beat, 9);
    EXPECT_DOUBLE_EQ(n[16].beat, 11);
    EXPECT_DOUBLE_EQ(score.tracks[0].end_beat, 12);
    EXPECT_NEAR(score.tracks[0].gain, 0.501, 0.001);
    EXPECT_EQ(score.tracks[0].pan, 0.5);
}

TEST(SynthScore, FaultsNameTheirLine) {
    const std::string head = std::string("tempo 120\nbars 1\n") + kInstrument + "track t tone\n";
    const int notes_line = 11;  // the first line after `head`
    struct Case {
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {"tempo 120\nspeed 3\n", "line 2: unknown setting 'speed'"},
        {"tempo fast\n", "line 1: 'fast' is not a number"},
        {"tempo 1000\n", "line 1: tempo out of range"},
        {head + "notes h4:1\n", "'h4:1' is not a note"},
        {head + "notes c4:0\n", "bad duration"},
        {head + "notes c4:3 |\n", "bar line at beat 3"},
        {head + "notes c4:5\n", "runs past the piece's 1 bars"},
        {head + "notes [ c4:1\n", "'[' without ']'"},
        {head + "notes c4:1 ]2\n", "']' without '['"},
        {head + "notes [ c4:1 ]0\n", "]N"},
        {head + "notes v2 c4\n", "velocity 'v2'"},
        {head + "notes c4\nwobble 1\n", "line 12: unknown track setting"},
        {"loop on\n" + std::string(kInstrument) + "track t tone\nnotes c4\n",
         "a loop needs 'bars'"},
        {"instrument x\nenv 0 1 1 1\ntrack t x\nnotes c4\n", "'x' has no oscillator"},
        {"track t nothing\n", "line 1: no instrument 'nothing' above"},
        {std::string(kInstrument), "no track"},
        {"instrument a\nosc buzz 1 1\n", "line 2: unknown wave 'buzz'"},
    };
    for (const Case& c : cases) {
        synth::Score score;
        std::string error;
        EXPECT_FALSE(synth::ParseScore(c.text, score, error)) << c.text;
        EXPECT_NE(error.find(c.expected), std::string::npos) << "got '" << error << "' for:\n"
                                                             << c.text;
    }
    synth::Score score;
    std::string error;
    ASSERT_FALSE(synth::ParseScore(head + "notes c4:1\nnotes c4:1 d4:1 |\n", score, error));
    EXPECT_NE(error.find("line " + std::to_string(notes_line + 1)), std::string::npos) << error;
}

// One bar at 120 beats per minute: exactly 88200 frames.
std::string LoopScore(const char* extra) {
    return std::string("tempo 120\nbars 1\nloop on\ntail 0.8\nlevel gain 0\n") + extra +
           kInstrument + "track t tone\n  gate 1\n  notes v0.9 c4:2 e4:1.5 g4:0.5 |\n";
}

TEST(SynthLoop, RendersAndDecodesToTheExactLoopLength) {
    const synth::Score score = Parse(LoopScore("reverb 0.5 0.5 0.3\n"));
    EXPECT_EQ(score.OutputFrames(), 88200);
    const synth::Audio audio = synth::Render(score);
    EXPECT_EQ(audio.Frames(), 88200);
    EXPECT_EQ(audio.channels, 2);

    std::vector<uint8_t> ogg;
    std::string error;
    ASSERT_TRUE(synth::EncodeOgg(audio, 0.3f, ogg, error)) << error;
    synth::Audio decoded;
    int rate = 0;
    ASSERT_TRUE(synth::DecodeOgg(ogg, decoded, rate, error)) << error;
    EXPECT_EQ(rate, 44100);
    EXPECT_EQ(decoded.channels, 2);
    EXPECT_EQ(decoded.Frames(), 88200);

    // Lengths that are no multiple of the encoder's blocks come back exact too.
    for (int64_t frames : {1, 1000, 4097, 44101}) {
        synth::Audio mono;
        mono.channels = 1;
        mono.samples.assign(size_t(frames), 0.25f);
        ASSERT_TRUE(synth::EncodeOgg(mono, 0.3f, ogg, error));
        ASSERT_TRUE(synth::DecodeOgg(ogg, decoded, rate, error));
        EXPECT_EQ(decoded.Frames(), frames);
    }
}

TEST(SynthLoop, TheFoldedLoopEqualsTheSecondPassOfAPlayedTwicePiece) {
    // The last note rings 0.3 s past the loop's end; folded back, the loop must
    // sound exactly like the middle of the piece played twice in a row.
    const synth::Audio loop = synth::Render(Parse(LoopScore("")));
    const synth::Audio twice = synth::Render(
        Parse(std::string("tempo 120\nbars 2\ntail 0.8\nlevel gain 0\n") + kInstrument +
              "track t tone\n  gate 1\n  notes v0.9 [ c4:2 e4:1.5 g4:0.5 | ]2\n"));
    ASSERT_EQ(loop.Frames(), 88200);
    ASSERT_GE(twice.Frames(), 2 * 88200);
    double worst = 0.0, start_energy = 0.0;
    for (size_t i = 0; i < loop.samples.size(); ++i) {
        worst = std::max(worst, double(std::fabs(loop.samples[i] - twice.samples[2 * 88200 + i])));
        if (i < 2000) start_energy += std::fabs(loop.samples[i]);
    }
    EXPECT_LT(worst, 1e-5);
    EXPECT_GT(start_energy, 1.0);  // the start really holds the folded release
}

TEST(SynthRender, LevelsAreMetAndOutputIsRepeatable) {
    auto noisy = [](const char* level) {
        return std::string("tempo 120\ntail 0.2\n") + level +
               "\ninstrument hiss\n  osc noise 1 1\n  filter bandpass 3000 1\n"
               "track t hiss\n  notes c4:0.5 c4 c4\n";
    };
    const synth::Score score = Parse(noisy("level peak -6"));
    EXPECT_EQ(score.OutputFrames(), 33075 + 8820);  // 1.5 beats plus the tail
    const synth::Audio a = synth::Render(score);
    EXPECT_NEAR(synth::Measure(a).peak_db, -6.0, 1e-3);
    EXPECT_EQ(a.samples, synth::Render(score).samples);
    std::vector<uint8_t> ogg1, ogg2;
    std::string error;
    ASSERT_TRUE(synth::EncodeOgg(a, 0.3f, ogg1, error));
    ASSERT_TRUE(synth::EncodeOgg(a, 0.3f, ogg2, error));
    EXPECT_EQ(ogg1, ogg2);
    // A one-shot ends in silence.
    EXPECT_EQ(a.samples.back(), 0.0f);

    // RMS target with a peak ceiling: whichever gives the lower gain wins.
    const synth::Stats rms_bound =
        synth::Measure(synth::Render(Parse(noisy("level rms -30 peak -1"))));
    EXPECT_NEAR(rms_bound.rms_db, -30.0, 0.01);
    const synth::Stats peak_bound =
        synth::Measure(synth::Render(Parse(noisy("level rms -3 peak -10"))));
    EXPECT_NEAR(peak_bound.peak_db, -10.0, 0.01);
    EXPECT_LT(peak_bound.rms_db, -10.0);
}

TEST(SynthRender, AccentSoftensNotesOffTheBarsFirstBeat) {
    // A steady sine at 120 beats per minute: the first beat at full velocity,
    // the second beat at 1 - 0.5 / 2, the off-beat at 1 - 0.5.
    const synth::Audio a = synth::Render(
        Parse("tempo 120\nbars 1\nlevel gain 0\nchannels 1\n"
              "instrument s\n  osc sine 1 1\n  env 0.001 1 1 0.001\n"
              "track t s\n  gate 1\n  accent 0.5\n  notes v1 a4:1 a4:0.5 a4:0.5 r:2\n"));
    auto peak = [&](int from, int to) {
        float p = 0;
        for (int i = from; i < to; ++i)
            p = std::max(p, std::fabs(a.samples[size_t(i)]));
        return p;
    };
    const float first = peak(2000, 20000);
    EXPECT_NEAR(first, 1.0f, 0.01f);
    EXPECT_NEAR(peak(24000, 30000) / first, 0.75f, 0.01f);
    EXPECT_NEAR(peak(35000, 42000) / first, 0.5f, 0.01f);
}

}  // namespace
