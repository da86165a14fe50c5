// synth: the game's music and sound effects, rendered from text score files.
//
// A score is plain text, one statement per line; "#" starts a comment. Words
// are separated by blanks. Statements before the first block set up the piece;
// "instrument NAME" and "track NAME INSTRUMENT" open blocks, and the lines that
// follow belong to the block opened last.
//
// Piece settings
//   tempo BPM              beats per minute (default 120)
//   meter BEATS            beats per bar (default 4); "|" in a note line checks it
//   bars N                 length of the piece in bars; a loop needs it. Without
//                          it the piece ends with its longest track.
//   loop on|off            on: the piece repeats. The render is exactly the piece's
//                          length in samples, and whatever rings past the end (note
//                          releases, reverb) is folded back onto the start, so the
//                          end flows into the start as it does in a repeating loop.
//                          off: a one-shot, rendered to its end plus its tail.
//   tail SECONDS           how long notes and reverb may ring after the end (default 2)
//   channels 1|2           mono or stereo output (default 2)
//   reverb SIZE DAMP WET   room size 0..1, damping 0..1, wet level 0..1 (default off)
//   level rms DB peak DB   loudness: scale to this RMS level (dBFS), but never let
//   level peak DB          the peak pass the peak level; or scale to the peak only;
//   level gain DB          or apply a fixed gain
//   seed N                 start of the noise generators (output is deterministic)
//
// Instrument lines (an instrument sums its oscillators, filters them and shapes
// them with its envelope)
//   osc WAVE RATIO LEVEL [DECAY]  WAVE is sine, triangle, saw, square or noise;
//                          RATIO multiplies the note's frequency; LEVEL is linear;
//                          DECAY (seconds), when given, fades this partial out
//                          exponentially with that time constant (bell and marimba
//                          overtones)
//   env A D S R            attack and decay in seconds, sustain level 0..1, release
//                          in seconds (default 0.005 0.3 0.7 0.2)
//   filter TYPE CUTOFF Q   lowpass, highpass or bandpass (state-variable, Hz)
//   fenv OCTAVES DECAY     the cutoff starts OCTAVES higher and falls back with the
//                          time constant DECAY (plucks)
//   keytrack AMOUNT        the cutoff follows the note's pitch (1 = fully) from c4 up
//   glide SEMITONES TIME   the pitch starts SEMITONES away and slides to the note
//                          with the time constant TIME (drum thumps, "boing")
//   vibrato RATE CENTS [DELAY]  pitch wobble in Hz and cents, faded in over DELAY s
//   gain DB                instrument level
//
// Track lines
//   gain DB, pan -1..1, send 0..1 (reverb send), gate 0..1 (how much of each note's
//   length is held before release; default 0.9)
//   accent AMOUNT          notes off the bar's first beat are softer: by AMOUNT / 2
//                          on the other beats, by AMOUNT between beats (0..1)
//   humanize AMOUNT        each note's velocity varies by up to +-AMOUNT (0..1),
//                          from the seeded generator
//   notes TOKENS...        the track's notes, in order, from the start of the piece;
//                          several "notes" lines continue each other. Tokens:
//     c4 f#3 bb2           a note (letter, optional # or b, octave; a4 = 440 Hz)
//     c4+e4+g4             a chord
//     r                    a rest
//     NOTE:DUR             the duration in beats (1, 0.5, 1.5, 1/3); it stays in
//                          force for the following notes until changed ("r:2")
//     v0.7                 velocity 0..1 for the following notes
//     [ ... ]N             the tokens inside, N times in all (groups may nest)
//     |                    bar line: fails unless the track is at a bar boundary
//
// Every track must fit in the piece's bars when "bars" is given.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace synth {

constexpr int kSampleRate = 44100;

enum class Wave { Sine, Triangle, Saw, Square, Noise };
enum class FilterType { None, Lowpass, Highpass, Bandpass };
enum class Level { Gain, Peak, RmsAndPeak };

struct Oscillator {
    Wave wave = Wave::Sine;
    double ratio = 1.0;
    double level = 1.0;
    double decay = 0.0;  // seconds; 0 keeps the partial steady
};

struct Instrument {
    std::string name;
    std::vector<Oscillator> oscillators;
    double attack = 0.005, decay = 0.3, sustain = 0.7, release = 0.2;
    FilterType filter = FilterType::None;
    double cutoff = 20000.0, q = 0.707;
    double fenv_octaves = 0.0, fenv_decay = 0.1;
    double keytrack = 0.0;
    double glide_semitones = 0.0, glide_time = 0.0;
    double vibrato_rate = 0.0, vibrato_cents = 0.0, vibrato_delay = 0.0;
    double gain = 1.0;  // linear
};

struct Note {
    double beat = 0.0;      // start
    double length = 1.0;    // in beats
    std::vector<int> keys;  // MIDI key numbers (a4 = 69)
    double velocity = 1.0;
};

struct Track {
    std::string name;
    int instrument = 0;  // index into Score::instruments
    double gain = 1.0, pan = 0.0, send = 0.0, gate = 0.9;
    double accent = 0.0, humanize = 0.0;
    std::vector<Note> notes;
    double end_beat = 0.0;  // where the track's last token ends
};

struct Score {
    double tempo = 120.0;
    int meter = 4;
    int bars = 0;
    bool loop = false;
    double tail = 2.0;
    int channels = 2;
    double reverb_size = 0.0, reverb_damp = 0.5, reverb_wet = 0.0;
    Level level = Level::Gain;
    double level_gain_db = 0.0, level_rms_db = -18.0, level_peak_db = -2.0;
    uint32_t seed = 1;
    std::vector<Instrument> instruments;
    std::vector<Track> tracks;

    // The piece's length in beats: its bars, or its longest track.
    double LengthBeats() const;
    // The rendered length in sample frames: exactly the piece for a loop, the
    // piece plus its tail for a one-shot.
    int64_t OutputFrames() const;
};

// Interleaved float samples in -1..1.
struct Audio {
    int channels = 2;
    std::vector<float> samples;
    int64_t Frames() const { return channels ? int64_t(samples.size()) / channels : 0; }
};

struct Stats {
    int64_t frames = 0;
    double seconds = 0.0;
    double peak_db = -200.0;  // dBFS of the largest sample
    double rms_db = -200.0;   // dBFS over all channels
};

// Parses a score. Returns true and fills `score`; on a fault returns false with
// "line N: what is wrong" in `error`.
bool ParseScore(const std::string& text, Score& score, std::string& error);

// Renders a parsed score, levelled as its "level" statement says.
Audio Render(const Score& score);

Stats Measure(const Audio& audio);

// Encodes to Ogg Vorbis at 44.1 kHz with the VBR quality -0.1..1. Returns true
// and fills `ogg`; false with a reason in `error`.
bool EncodeOgg(const Audio& audio, float quality, std::vector<uint8_t>& ogg, std::string& error);

// Decodes a whole Ogg Vorbis stream. Returns true and fills `audio`; false with
// a reason in `error`. `rate` receives the stream's sample rate.
bool DecodeOgg(const std::vector<uint8_t>& ogg, Audio& audio, int& rate, std::string& error);

}  // namespace synth
