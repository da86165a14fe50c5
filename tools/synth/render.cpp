// The renderer: every note becomes a voice (oscillators, filter, envelope) added
// into a stereo mix and a reverb send; the reverb runs over the send; a loop's
// overhang is folded back onto its start; the result is levelled.
#include <algorithm>
#include <cmath>

#include "synth.h"

namespace synth {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMinAttack = 0.002;  // seconds: a softer start than a step, no click

struct Stereo {
    std::vector<float> left, right;
    explicit Stereo(size_t n) : left(n, 0.0f), right(n, 0.0f) {}
};

uint32_t NextNoise(uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

// Band-limited step correction for the saw and square waves.
double PolyBlep(double t, double dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

double WaveAt(Wave wave, double phase, double dt, uint32_t& noise) {
    switch (wave) {
        case Wave::Sine:
            return std::sin(2.0 * kPi * phase);
        case Wave::Triangle:
            return 4.0 * std::fabs(phase - 0.5) - 1.0;
        case Wave::Saw:
            return 2.0 * phase - 1.0 - PolyBlep(phase, dt);
        case Wave::Square: {
            double v = phase < 0.5 ? 1.0 : -1.0;
            return v + PolyBlep(phase, dt) - PolyBlep(std::fmod(phase + 0.5, 1.0), dt);
        }
        case Wave::Noise:
            return double(NextNoise(noise)) / 2147483648.0 - 1.0;
    }
    return 0.0;
}

// Envelope level `t` seconds into a note whose key is held for `gate` seconds.
double Envelope(const Instrument& in, double t, double gate) {
    const double attack = std::max(in.attack, kMinAttack);
    auto held = [&](double u) {
        if (u < attack) return u / attack;
        return in.sustain + (1.0 - in.sustain) * std::exp(-(u - attack) * 5.0 / in.decay);
    };
    if (t < gate) return held(t);
    const double x = (t - gate) / in.release;
    if (x >= 1.0) return 0.0;
    return held(gate) * (1.0 - x) * (1.0 - x) * (1.0 - x);
}

// Topology-preserving state-variable filter.
struct Filter {
    double ic1 = 0, ic2 = 0, a1 = 0, a2 = 0, a3 = 0, k = 1;
    void Tune(double cutoff, double q) {
        const double g = std::tan(kPi * cutoff / kSampleRate);
        k = 1.0 / q;
        a1 = 1.0 / (1.0 + g * (g + k));
        a2 = g * a1;
        a3 = g * a2;
    }
    double Run(FilterType type, double v0) {
        const double v3 = v0 - ic2;
        const double v1 = a1 * ic1 + a2 * v3;
        const double v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2.0 * v1 - ic1;
        ic2 = 2.0 * v2 - ic2;
        switch (type) {
            case FilterType::Lowpass:
                return v2;
            case FilterType::Bandpass:
                return v1 * k;  // unity gain at the centre
            case FilterType::Highpass:
                return v0 - k * v1 - v2;
            case FilterType::None:
                break;
        }
        return v0;
    }
};

// Adds one voice (one key of one note) into the mix and the reverb send.
void RenderVoice(const Instrument& in, const Track& track, int key, double start_seconds,
                 double gate, double velocity, uint32_t noise_seed, Stereo& mix,
                 std::vector<float>& send) {
    const double f0 = 440.0 * std::pow(2.0, (key - 69) / 12.0);
    const double total = gate + in.release;
    const int64_t first = std::llround(start_seconds * kSampleRate);
    const int64_t count = int64_t(std::ceil(total * kSampleRate));
    const double amp = in.gain * track.gain * velocity;
    // Constant-power pan.
    const double angle = (track.pan + 1.0) * kPi / 4.0;
    const double to_left = std::cos(angle) * std::sqrt(2.0),
                 to_right = std::sin(angle) * std::sqrt(2.0);
    std::vector<double> phase(in.oscillators.size(), 0.0);
    uint32_t noise = noise_seed | 1u;
    Filter filter;
    const double key_cutoff = in.cutoff * std::pow(f0 / 261.6256, in.keytrack);
    const int64_t size = int64_t(mix.left.size());
    for (int64_t n = 0; n < count && first + n < size; ++n) {
        if (first + n < 0) continue;
        const double t = double(n) / kSampleRate;
        double f = f0;
        if (in.glide_semitones != 0.0)
            f *= std::pow(2.0, in.glide_semitones * std::exp(-t / in.glide_time) / 12.0);
        if (in.vibrato_cents > 0.0) {
            double depth = in.vibrato_delay > 0.0 ? std::min(1.0, t / in.vibrato_delay) : 1.0;
            f *= std::pow(
                2.0, depth * in.vibrato_cents / 1200.0 * std::sin(2.0 * kPi * in.vibrato_rate * t));
        }
        double v = 0.0;
        for (size_t i = 0; i < in.oscillators.size(); ++i) {
            const Oscillator& osc = in.oscillators[i];
            const double dt = std::min(0.5, f * osc.ratio / kSampleRate);
            double s = WaveAt(osc.wave, phase[i], dt, noise) * osc.level;
            if (osc.decay > 0.0) s *= std::exp(-t / osc.decay);
            v += s;
            phase[i] += dt;
            if (phase[i] >= 1.0) phase[i] -= 1.0;
        }
        if (in.filter != FilterType::None) {
            if (n % 16 == 0) {
                double cutoff = key_cutoff;
                if (in.fenv_octaves != 0.0)
                    cutoff *= std::pow(2.0, in.fenv_octaves * std::exp(-t / in.fenv_decay));
                filter.Tune(std::clamp(cutoff, 20.0, 0.45 * kSampleRate), in.q);
            }
            v = filter.Run(in.filter, v);
        }
        v *= Envelope(in, t, gate) * amp;
        const size_t at = size_t(first + n);
        mix.left[at] += float(v * to_left);
        mix.right[at] += float(v * to_right);
        send[at] += float(v * track.send);
    }
}

// Freeverb-style room: eight damped combs into four allpasses per side, the
// right side's delays spread a little for width.
class Reverb {
  public:
    Reverb(double size, double damp) {
        static const int kCombs[] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
        static const int kAllpasses[] = {556, 441, 341, 225};
        for (int side = 0; side < 2; ++side) {
            for (int d : kCombs)
                combs_[side].push_back(Line(d + 23 * side));
            for (int d : kAllpasses)
                allpasses_[side].push_back(Line(d + 23 * side));
        }
        feedback_ = size * 0.28 + 0.7;
        damp1_ = damp * 0.4;
        damp2_ = 1.0 - damp1_;
    }
    void Run(float input, float& left, float& right) {
        const double in = input * 0.015;
        double out[2] = {0.0, 0.0};
        for (int side = 0; side < 2; ++side) {
            for (Line& c : combs_[side]) {
                double y = c.buffer[c.index];
                c.store = y * damp2_ + c.store * damp1_;
                c.buffer[c.index] = in + c.store * feedback_;
                if (++c.index == c.buffer.size()) c.index = 0;
                out[side] += y;
            }
            for (Line& a : allpasses_[side]) {
                double b = a.buffer[a.index];
                a.buffer[a.index] = out[side] + b * 0.5;
                out[side] = b - out[side];
                if (++a.index == a.buffer.size()) a.index = 0;
            }
        }
        left = float(out[0] * 3.0);
        right = float(out[1] * 3.0);
    }

  private:
    struct Line {
        explicit Line(int n) : buffer(size_t(n), 0.0) {}
        std::vector<double> buffer;
        size_t index = 0;
        double store = 0.0;
    };
    std::vector<Line> combs_[2], allpasses_[2];
    double feedback_, damp1_, damp2_;
};

}  // namespace

Audio Render(const Score& score) {
    const double seconds_per_beat = 60.0 / score.tempo;
    const int64_t out_frames = score.OutputFrames();
    // A loop renders one piece plus the tail, then folds the tail back.
    const int64_t tail_frames = std::llround(score.tail * kSampleRate);
    const int64_t work_frames = score.loop ? out_frames + tail_frames : out_frames;
    Stereo mix{size_t(work_frames)};
    std::vector<float> send(size_t(work_frames), 0.0f);

    uint32_t note_index = 0;
    for (const Track& track : score.tracks) {
        const Instrument& in = score.instruments[size_t(track.instrument)];
        uint32_t humanizer =
            (score.seed * 747796405u + uint32_t(&track - score.tracks.data())) | 1u;
        for (const Note& note : track.notes) {
            const double gate = note.length * seconds_per_beat * track.gate;
            double velocity = note.velocity;
            const double in_bar = std::fmod(note.beat, double(score.meter));
            if (in_bar > 1e-6 && in_bar < score.meter - 1e-6) {
                const bool on_beat = std::fabs(in_bar - std::round(in_bar)) < 1e-6;
                velocity *= 1.0 - track.accent * (on_beat ? 0.5 : 1.0);
            }
            if (track.humanize > 0.0) {
                const double r = double(NextNoise(humanizer)) / 4294967296.0;  // 0..1
                velocity =
                    std::clamp(velocity * (1.0 + track.humanize * (2.0 * r - 1.0)), 0.0, 1.0);
            }
            for (int key : note.keys) {
                ++note_index;
                RenderVoice(in, track, key, note.beat * seconds_per_beat, gate, velocity,
                            score.seed * 2654435761u + note_index * 40503u, mix, send);
            }
        }
    }
    if (score.reverb_wet > 0.0) {
        Reverb reverb(score.reverb_size, score.reverb_damp);
        for (size_t i = 0; i < send.size(); ++i) {
            float l = 0, r = 0;
            reverb.Run(send[i], l, r);
            mix.left[i] += float(l * score.reverb_wet);
            mix.right[i] += float(r * score.reverb_wet);
        }
    }
    if (score.loop) {
        for (int64_t i = out_frames; i < work_frames; ++i) {
            mix.left[size_t(i % out_frames)] += mix.left[size_t(i)];
            mix.right[size_t(i % out_frames)] += mix.right[size_t(i)];
        }
    } else {
        // A one-shot ends in silence: fade the last 10 ms of the tail.
        const int64_t fade = std::min<int64_t>(out_frames, kSampleRate / 100);
        for (int64_t i = 0; i < fade; ++i) {
            const float g = float(i) / float(fade);
            mix.left[size_t(out_frames - 1 - i)] *= g;
            mix.right[size_t(out_frames - 1 - i)] *= g;
        }
    }

    Audio audio;
    audio.channels = score.channels;
    audio.samples.resize(size_t(out_frames * score.channels));
    for (int64_t i = 0; i < out_frames; ++i) {
        if (score.channels == 1) {
            audio.samples[size_t(i)] = 0.5f * (mix.left[size_t(i)] + mix.right[size_t(i)]);
        } else {
            audio.samples[size_t(2 * i)] = mix.left[size_t(i)];
            audio.samples[size_t(2 * i + 1)] = mix.right[size_t(i)];
        }
    }

    const Stats raw = Measure(audio);
    double gain_db = score.level_gain_db;
    if (score.level != Level::Gain && raw.peak_db > -150.0) {
        gain_db = score.level_peak_db - raw.peak_db;
        if (score.level == Level::RmsAndPeak)
            gain_db = std::min(gain_db, score.level_rms_db - raw.rms_db);
    }
    const float gain = float(std::pow(10.0, gain_db / 20.0));
    for (float& s : audio.samples)
        s *= gain;
    return audio;
}

Stats Measure(const Audio& audio) {
    Stats stats;
    stats.frames = audio.Frames();
    stats.seconds = double(stats.frames) / kSampleRate;
    double peak = 0.0, energy = 0.0;
    for (float s : audio.samples) {
        peak = std::max(peak, double(std::fabs(s)));
        energy += double(s) * s;
    }
    if (peak > 0.0) stats.peak_db = 20.0 * std::log10(peak);
    if (energy > 0.0) stats.rms_db = 10.0 * std::log10(energy / double(audio.samples.size()));
    return stats;
}

}  // namespace synth
