#include "engine/mixer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

using engine::detail::kUnityGain;
using engine::detail::Mixer;
using engine::detail::Pcm;

// A stereo buffer whose frame i holds (i, -i) on left and right.
std::shared_ptr<const Pcm> Ramp(int frames) {
    auto pcm = std::make_shared<Pcm>();
    for (int i = 0; i < frames; ++i) {
        pcm->push_back(static_cast<int16_t>(i));
        pcm->push_back(static_cast<int16_t>(-i));
    }
    return pcm;
}

std::shared_ptr<const Pcm> Constant(int frames, int16_t value) {
    return std::make_shared<Pcm>(static_cast<size_t>(frames) * 2, value);
}

std::vector<int16_t> Pull(Mixer& mixer, int frames) {
    std::vector<int16_t> out(static_cast<size_t>(frames) * 2, 12345);
    mixer.Mix(out.data(), frames);
    return out;
}

TEST(Mixer, SumsVoicesAndSaturates) {
    Mixer mixer;
    EXPECT_EQ(Pull(mixer, 4), std::vector<int16_t>(8, 0));  // silence when nothing plays

    int a = mixer.CreateVoice(Constant(100, 30000));
    int b = mixer.CreateVoice(Constant(100, 30000));
    int c = mixer.CreateVoice(Constant(100, -1000));
    ASSERT_TRUE(a && b && c);
    mixer.Start(a, false);
    mixer.Start(c, false);
    EXPECT_EQ(Pull(mixer, 1)[0], 29000);
    mixer.Start(b, false);
    EXPECT_EQ(Pull(mixer, 1)[0], 32767);  // clipped, not wrapped around

    Mixer negative;
    int n1 = negative.CreateVoice(Constant(10, -30000));
    int n2 = negative.CreateVoice(Constant(10, -30000));
    negative.Start(n1, false);
    negative.Start(n2, false);
    EXPECT_EQ(Pull(negative, 1)[1], -32768);
}

TEST(Mixer, GainScalesAndZeroIsSilence) {
    Mixer mixer;
    int v = mixer.CreateVoice(Constant(100, 20000));
    mixer.Start(v, true);
    mixer.SetGain(v, kUnityGain / 2);
    EXPECT_EQ(Pull(mixer, 1)[0], 10000);
    mixer.SetGain(v, 0);
    EXPECT_EQ(Pull(mixer, 1)[0], 0);
    mixer.SetGain(v, -5);  // negative counts as silence too
    EXPECT_EQ(mixer.Gain(v), 0);
}

// A sine with exactly ten periods in the loop: played looping, the output must
// be the buffer repeated sample for sample, whatever the block sizes, so there
// is no gap, repeat or jump at the loop point.
TEST(Mixer, LoopingWrapsOnTheExactFrame) {
    const int length = 441;
    auto pcm = std::make_shared<Pcm>();
    for (int i = 0; i < length; ++i) {
        auto s = static_cast<int16_t>(
            std::lround(20000 * std::sin(2 * std::numbers::pi * 10 * i / length)));
        pcm->push_back(s);
        pcm->push_back(s);
    }
    Mixer mixer;
    int v = mixer.CreateVoice(pcm);
    mixer.Start(v, true);
    std::vector<int16_t> out;
    for (int block : {100, 333, 441, 1, 1000, 2048}) {
        auto part = Pull(mixer, block);
        out.insert(out.end(), part.begin(), part.end());
    }
    const int frames = static_cast<int>(out.size() / 2);
    int max_step = 0;
    for (int i = 0; i < frames; ++i) {
        ASSERT_EQ(out[2 * i], (*pcm)[2 * (i % length)]) << "frame " << i;
        if (i > 0) max_step = std::max(max_step, std::abs(out[2 * i] - out[2 * i - 2]));
    }
    // The largest step is the sine's own slope (20000 * 2 pi * 10 / 441, about 2850).
    EXPECT_LT(max_step, 2900);
    EXPECT_EQ(mixer.State(v), engine::detail::kVoicePlaying);
}

TEST(Mixer, OneShotStopsAtItsEndAndRewinds) {
    Mixer mixer;
    int v = mixer.CreateVoice(Ramp(10));
    mixer.Start(v, false);
    auto out = Pull(mixer, 16);
    EXPECT_EQ(out[2 * 9], 9);
    EXPECT_EQ(out[2 * 10], 0);  // silence after the end, not a wrap
    EXPECT_EQ(out[2 * 15], 0);
    EXPECT_EQ(mixer.State(v), engine::detail::kVoiceStopped);
    EXPECT_EQ(mixer.Position(v), 0);

    // Ending exactly on a block boundary stops it too.
    mixer.Start(v, false);
    Pull(mixer, 10);
    EXPECT_EQ(mixer.State(v), engine::detail::kVoiceStopped);
}

TEST(Mixer, HoldContinueResumeWhereHeldAndHaltRewinds) {
    Mixer mixer;
    int v = mixer.CreateVoice(Ramp(1000));
    mixer.Start(v, true);
    Pull(mixer, 100);
    mixer.Hold(v);
    EXPECT_EQ(mixer.State(v), engine::detail::kVoiceHeld);
    EXPECT_EQ(Pull(mixer, 50)[0], 0);  // held: silent, position kept
    EXPECT_EQ(mixer.Position(v), 100);
    mixer.Continue(v);
    EXPECT_EQ(Pull(mixer, 1)[0], 100);

    mixer.Halt(v);
    EXPECT_EQ(mixer.State(v), engine::detail::kVoiceStopped);
    EXPECT_EQ(mixer.Position(v), 0);
    mixer.Continue(v);
    EXPECT_EQ(Pull(mixer, 2)[2], 1);  // from the start
}

TEST(Mixer, VoiceIdsOfFreedVoicesStayDead) {
    Mixer mixer;
    int old_id = mixer.CreateVoice(Ramp(10));
    ASSERT_NE(old_id, 0);
    EXPECT_TRUE(mixer.DestroyVoice(old_id));
    int new_id = mixer.CreateVoice(Ramp(10));  // reuses the slot
    EXPECT_NE(new_id, old_id);
    EXPECT_FALSE(mixer.Exists(old_id));
    EXPECT_EQ(mixer.State(old_id), -1);
    EXPECT_FALSE(mixer.Start(old_id, false));
    EXPECT_FALSE(mixer.DestroyVoice(old_id));
    EXPECT_TRUE(mixer.Exists(new_id));
    EXPECT_EQ(mixer.VoiceCount(), 1u);

    EXPECT_EQ(mixer.CreateVoice(std::shared_ptr<const Pcm>()), 0);
    EXPECT_EQ(mixer.CreateVoice(std::shared_ptr<const engine::detail::StreamSource>()), 0);
    EXPECT_EQ(mixer.CreateVoice(std::make_shared<Pcm>()), 0);
    EXPECT_EQ(mixer.State(0), -1);
    EXPECT_EQ(mixer.State(12345), -1);
}

// A streamed ramp like Ramp's, handed out at most `chunk` frames a read (as a
// decoder hands out its packets); counts the cursors it opened.
class RampStream final : public engine::detail::StreamSource {
  public:
    RampStream(int frames, int chunk, bool opens = true)
        : frames_(frames), chunk_(chunk), opens_(opens) {}
    std::unique_ptr<engine::detail::StreamCursor> Open() const override {
        ++opened;
        if (!opens_) return nullptr;
        return std::make_unique<Cursor>(frames_, chunk_);
    }
    mutable int opened = 0;

  private:
    struct Cursor final : engine::detail::StreamCursor {
        Cursor(int frames, int chunk) : frames(frames), chunk(chunk) {}
        int Read(int16_t* out, int wanted) override {
            int n = std::min({wanted, chunk, frames - next});
            for (int i = 0; i < n; ++i, ++next) {
                out[2 * i] = static_cast<int16_t>(next);
                out[2 * i + 1] = static_cast<int16_t>(-next);
            }
            return n;
        }
        int frames, chunk, next = 0;
    };
    int frames_, chunk_;
    bool opens_;
};

TEST(Mixer, StreamedVoicesPlayLikeHeldOnes) {
    // Looping: the frame after the last is the first again, across reads of
    // any size, and every loop reopens the stream at its start.
    Mixer mixer;
    auto stream = std::make_shared<RampStream>(10, 3);
    int v = mixer.CreateVoice(stream);
    ASSERT_NE(v, 0);
    EXPECT_EQ(stream->opened, 0);  // nothing decoded before it plays
    mixer.Start(v, true);
    auto out = Pull(mixer, 25);
    for (int i = 0; i < 25; ++i)
        ASSERT_EQ(out[2 * i], i % 10) << "frame " << i;
    EXPECT_EQ(out[2 * 7 + 1], -7);
    EXPECT_EQ(mixer.Position(v), 5);

    // Held: silent and kept where it was; continued from there.
    mixer.Hold(v);
    EXPECT_EQ(Pull(mixer, 4)[0], 0);
    mixer.Continue(v);
    EXPECT_EQ(Pull(mixer, 1)[0], 5);
    // Halted: rewound, so it plays from the start.
    mixer.Halt(v);
    EXPECT_EQ(mixer.Position(v), 0);
    mixer.Continue(v);
    EXPECT_EQ(Pull(mixer, 2)[2], 1);

    // Once: silence after the end and stopped.
    mixer.Start(v, false);
    out = Pull(mixer, 14);
    EXPECT_EQ(out[2 * 9], 9);
    EXPECT_EQ(out[2 * 10], 0);
    EXPECT_EQ(mixer.State(v), engine::detail::kVoiceStopped);

    // Two voices of one stream each keep their own place.
    int w = mixer.CreateVoice(stream);
    mixer.Start(v, true);
    Pull(mixer, 4);
    mixer.Start(w, true);
    EXPECT_EQ(Pull(mixer, 1)[0], 4 + 0);
    EXPECT_EQ(Pull(mixer, 1)[0], 5 + 1);
}

TEST(Mixer, StreamsThatGiveNothingStopInsteadOfSpinning) {
    Mixer mixer;
    auto empty = std::make_shared<RampStream>(0, 3);
    auto broken = std::make_shared<RampStream>(10, 3, false);
    int e = mixer.CreateVoice(empty);
    int b = mixer.CreateVoice(broken);
    mixer.Start(e, true);
    mixer.Start(b, true);
    EXPECT_EQ(Pull(mixer, 8), std::vector<int16_t>(16, 0));
    EXPECT_EQ(mixer.State(e), engine::detail::kVoiceStopped);
    EXPECT_EQ(mixer.State(b), engine::detail::kVoiceStopped);
    EXPECT_EQ(empty->opened, 1);
    EXPECT_EQ(broken->opened, 1);
}

}  // namespace
