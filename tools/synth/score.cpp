// The score parser: text in, a Score with every note placed on its beat.
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "synth.h"

namespace synth {
namespace {

// Tolerance for beat arithmetic: triplets (1/3) never sum to exact binary values.
constexpr double kBeatEpsilon = 1e-6;
constexpr double kMaxBeats = 100000;
constexpr size_t kMaxNotes = 200000;
constexpr size_t kMaxTokens = 2000000;

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    // "#" opens a comment only at the start of a word: "c#4" is a note.
    size_t comment = line.find('#');
    while (comment != std::string::npos && comment > 0 &&
           !std::isspace(static_cast<unsigned char>(line[comment - 1])))
        comment = line.find('#', comment + 1);
    std::istringstream in(line.substr(0, comment));
    std::string w;
    while (in >> w)
        words.push_back(w);
    return words;
}

bool Number(const std::string& text, double& value) {
    if (text.empty()) return false;
    const char* begin = text.c_str();
    char* end = nullptr;
    value = std::strtod(begin, &end);
    return end == begin + text.size() && std::isfinite(value);
}

// "1", "0.5", "1/3", "3/2"
bool Duration(const std::string& text, double& beats) {
    size_t slash = text.find('/');
    if (slash == std::string::npos) return Number(text, beats) && beats > 0;
    double a = 0, b = 0;
    if (!Number(text.substr(0, slash), a) || !Number(text.substr(slash + 1), b) || b <= 0)
        return false;
    beats = a / b;
    return beats > 0;
}

// "c4", "f#3", "bb2" -> MIDI key number (c4 = 60).
bool Key(const std::string& text, int& key) {
    static const int kSteps[] = {9, 11, 0, 2, 4, 5, 7};  // a b c d e f g
    if (text.size() < 2 || text[0] < 'a' || text[0] > 'g') return false;
    int semitone = kSteps[text[0] - 'a'];
    size_t i = 1;
    if (text[i] == '#') {
        ++semitone;
        ++i;
    } else if (text[i] == 'b' && i + 1 < text.size()) {
        --semitone;
        ++i;
    }
    if (i + 1 != text.size() || text[i] < '0' || text[i] > '8') return false;
    key = 12 * (text[i] - '0' + 1) + semitone;
    return true;
}

struct Parser {
    Score& score;
    std::string& error;
    int line_number = 0;
    enum class Block { Piece, Instrument, Track } block = Block::Piece;
    // The note state of the open track: position, current duration and velocity.
    double beat = 0, duration = 1, velocity = 0.8;
    // The open track's note tokens and their line numbers: a group may span
    // several "notes" lines, so they are placed when the track ends.
    std::vector<std::string> tokens;
    std::vector<int> token_lines;
    size_t placed = 0;  // tokens placed so far, repeats included

    bool Fail(const std::string& what) {
        error = line_number > 0 ? "line " + std::to_string(line_number) + ": " + what : what;
        return false;
    }

    bool Numbers(const std::vector<std::string>& w, size_t min, size_t max,
                 std::vector<double>& out) {
        if (w.size() - 1 < min || w.size() - 1 > max)
            return Fail("'" + w[0] + "' takes " + std::to_string(min) +
                        (max > min ? " to " + std::to_string(max) : "") + " numbers");
        out.clear();
        for (size_t i = 1; i < w.size(); ++i) {
            double v = 0;
            if (!Number(w[i], v)) return Fail("'" + w[i] + "' is not a number");
            out.push_back(v);
        }
        return true;
    }

    bool Range(double v, double lo, double hi, const char* what) {
        if (v < lo || v > hi) return Fail(std::string(what) + " out of range");
        return true;
    }

    bool PieceLine(const std::vector<std::string>& w) {
        std::vector<double> n;
        const std::string& k = w[0];
        if (k == "loop") {
            if (w.size() != 2 || (w[1] != "on" && w[1] != "off"))
                return Fail("'loop' takes on or off");
            score.loop = w[1] == "on";
            return true;
        }
        if (k == "reverb") {
            if (!Numbers(w, 3, 3, n)) return false;
            score.reverb_size = n[0];
            score.reverb_damp = n[1];
            score.reverb_wet = n[2];
            return Range(n[0], 0, 1, "room size") && Range(n[1], 0, 1, "damping") &&
                   Range(n[2], 0, 1, "wet level");
        }
        if (k == "level") {
            if (w.size() == 3 && w[1] == "gain") {
                score.level = Level::Gain;
                return Number(w[2], score.level_gain_db) ? true : Fail("bad gain");
            }
            if (w.size() == 3 && w[1] == "peak") {
                score.level = Level::Peak;
                if (!Number(w[2], score.level_peak_db)) return Fail("bad peak level");
                return Range(score.level_peak_db, -60, 0, "peak level");
            }
            if (w.size() == 5 && w[1] == "rms" && w[3] == "peak") {
                score.level = Level::RmsAndPeak;
                if (!Number(w[2], score.level_rms_db) || !Number(w[4], score.level_peak_db))
                    return Fail("bad level");
                return Range(score.level_rms_db, -60, 0, "rms level") &&
                       Range(score.level_peak_db, -60, 0, "peak level");
            }
            return Fail("'level' takes gain DB, peak DB or rms DB peak DB");
        }
        if (!Numbers(w, 1, 1, n)) return false;
        const double v = n[0];
        if (k == "tempo") {
            score.tempo = v;
            return Range(v, 20, 400, "tempo");
        }
        if (k == "meter") {
            if (!Range(v, 1, 16, "meter")) return false;
            score.meter = int(v);
            return v == std::floor(v) ? true : Fail("meter is whole beats");
        }
        if (k == "bars") {
            if (!Range(v, 1, 1000, "bars")) return false;
            score.bars = int(v);
            return v == std::floor(v) ? true : Fail("bars is a whole number");
        }
        if (k == "tail") {
            score.tail = v;
            return Range(v, 0, 30, "tail");
        }
        if (k == "channels") {
            if (v != 1 && v != 2) return Fail("channels is 1 or 2");
            score.channels = int(v);
            return true;
        }
        if (k == "seed") {
            if (!Range(v, 0, 4294967295.0, "seed")) return false;
            score.seed = uint32_t(v);
            return true;
        }
        return Fail("unknown setting '" + k + "'");
    }

    bool InstrumentLine(const std::vector<std::string>& w) {
        Instrument& in = score.instruments.back();
        std::vector<double> n;
        const std::string& k = w[0];
        if (k == "osc") {
            if (w.size() < 4 || w.size() > 5) return Fail("'osc' takes WAVE RATIO LEVEL [DECAY]");
            Oscillator osc;
            const std::string& wave = w[1];
            if (wave == "sine")
                osc.wave = Wave::Sine;
            else if (wave == "triangle")
                osc.wave = Wave::Triangle;
            else if (wave == "saw")
                osc.wave = Wave::Saw;
            else if (wave == "square")
                osc.wave = Wave::Square;
            else if (wave == "noise")
                osc.wave = Wave::Noise;
            else
                return Fail("unknown wave '" + wave + "'");
            if (!Number(w[2], osc.ratio) || !Number(w[3], osc.level) ||
                (w.size() == 5 && !Number(w[4], osc.decay)))
                return Fail("bad oscillator numbers");
            in.oscillators.push_back(osc);
            return Range(osc.ratio, 0.01, 32, "ratio") && Range(osc.level, 0, 4, "level") &&
                   Range(osc.decay, 0, 30, "decay");
        }
        if (k == "filter") {
            if (w.size() != 4) return Fail("'filter' takes TYPE CUTOFF Q");
            if (w[1] == "lowpass")
                in.filter = FilterType::Lowpass;
            else if (w[1] == "highpass")
                in.filter = FilterType::Highpass;
            else if (w[1] == "bandpass")
                in.filter = FilterType::Bandpass;
            else
                return Fail("unknown filter '" + w[1] + "'");
            if (!Number(w[2], in.cutoff) || !Number(w[3], in.q)) return Fail("bad filter numbers");
            return Range(in.cutoff, 20, 20000, "cutoff") && Range(in.q, 0.3, 20, "q");
        }
        if (k == "env") {
            if (!Numbers(w, 4, 4, n)) return false;
            in.attack = n[0];
            in.decay = n[1];
            in.sustain = n[2];
            in.release = n[3];
            return Range(n[0], 0, 10, "attack") && Range(n[1], 0.001, 30, "decay") &&
                   Range(n[2], 0, 1, "sustain") && Range(n[3], 0.001, 10, "release");
        }
        if (k == "fenv") {
            if (!Numbers(w, 2, 2, n)) return false;
            in.fenv_octaves = n[0];
            in.fenv_decay = n[1];
            return Range(n[0], -8, 8, "octaves") && Range(n[1], 0.001, 10, "decay");
        }
        if (k == "glide") {
            if (!Numbers(w, 2, 2, n)) return false;
            in.glide_semitones = n[0];
            in.glide_time = n[1];
            return Range(n[0], -48, 48, "semitones") && Range(n[1], 0.001, 10, "time");
        }
        if (k == "vibrato") {
            if (!Numbers(w, 2, 3, n)) return false;
            in.vibrato_rate = n[0];
            in.vibrato_cents = n[1];
            in.vibrato_delay = n.size() > 2 ? n[2] : 0.0;
            return Range(n[0], 0, 40, "rate") && Range(n[1], 0, 1200, "cents") &&
                   Range(in.vibrato_delay, 0, 10, "delay");
        }
        if (!Numbers(w, 1, 1, n)) return false;
        if (k == "keytrack") {
            in.keytrack = n[0];
            return Range(n[0], 0, 1, "keytrack");
        }
        if (k == "gain") {
            in.gain = std::pow(10.0, n[0] / 20.0);
            return Range(n[0], -60, 24, "gain");
        }
        return Fail("unknown instrument setting '" + k + "'");
    }

    // Expands "[ ... ]N" groups, then places each token.
    bool Notes(size_t& i, bool nested) {
        while (i < tokens.size()) {
            line_number = token_lines[i];
            const std::string& t = tokens[i++];
            if (t == "[") {
                const size_t body = i;
                if (!Notes(i, true)) return false;
                // tokens[i - 1] is the closing "]N"
                double times = 0;
                if (!Number(tokens[i - 1].substr(1), times) || times < 1 || times > 1000 ||
                    times != std::floor(times))
                    return Fail("a group closes with ]N, N a whole number from 1");
                for (int k = 1; k < int(times); ++k) {
                    size_t again = body;
                    if (!Notes(again, true)) return false;
                }
                continue;
            }
            if (t[0] == ']') {
                if (!nested) return Fail("']' without '['");
                return true;
            }
            if (!Token(t)) return false;
        }
        if (nested) return Fail("'[' without ']'");
        return true;
    }

    bool Token(const std::string& t) {
        Track& track = score.tracks.back();
        if (++placed > kMaxTokens) return Fail("repeats expand to over 2000000 tokens");
        if (t == "|") {
            double bar = beat / score.meter;
            if (std::fabs(bar - std::round(bar)) > kBeatEpsilon)
                return Fail("bar line at beat " + std::to_string(beat) + ", not on a bar");
            beat = std::round(bar) * score.meter;
            return true;
        }
        if (t[0] == 'v') {
            if (!Number(t.substr(1), velocity) || velocity < 0 || velocity > 1)
                return Fail("velocity '" + t + "' is not 0..1");
            return true;
        }
        std::string pitch = t;
        size_t colon = t.find(':');
        if (colon != std::string::npos) {
            pitch = t.substr(0, colon);
            if (!Duration(t.substr(colon + 1), duration))
                return Fail("bad duration in '" + t + "'");
        }
        Note note;
        note.beat = beat;
        note.length = duration;
        note.velocity = velocity;
        if (pitch != "r") {
            size_t start = 0;
            while (start <= pitch.size()) {
                size_t plus = pitch.find('+', start);
                if (plus == std::string::npos) plus = pitch.size();
                int key = 0;
                if (!Key(pitch.substr(start, plus - start), key))
                    return Fail("'" + t + "' is not a note");
                note.keys.push_back(key);
                start = plus + 1;
            }
            track.notes.push_back(note);
        }
        beat += duration;
        track.end_beat = beat;
        // Bounds that keep a mistyped repeat count from eating the machine.
        if (beat > kMaxBeats) return Fail("the track is longer than 100000 beats");
        if (track.notes.size() > kMaxNotes) return Fail("the track has over 200000 notes");
        return true;
    }

    bool TrackLine(const std::vector<std::string>& w) {
        Track& track = score.tracks.back();
        if (w[0] == "notes") {
            tokens.insert(tokens.end(), w.begin() + 1, w.end());
            token_lines.resize(tokens.size(), line_number);
            return true;
        }
        std::vector<double> n;
        if (!Numbers(w, 1, 1, n)) return false;
        if (w[0] == "gain") {
            track.gain = std::pow(10.0, n[0] / 20.0);
            return Range(n[0], -60, 24, "gain");
        }
        if (w[0] == "pan") {
            track.pan = n[0];
            return Range(n[0], -1, 1, "pan");
        }
        if (w[0] == "send") {
            track.send = n[0];
            return Range(n[0], 0, 1, "send");
        }
        if (w[0] == "accent") {
            track.accent = n[0];
            return Range(n[0], 0, 1, "accent");
        }
        if (w[0] == "humanize") {
            track.humanize = n[0];
            return Range(n[0], 0, 1, "humanize");
        }
        if (w[0] == "gate") {
            track.gate = n[0];
            return Range(n[0], 0.05, 1, "gate");
        }
        return Fail("unknown track setting '" + w[0] + "'");
    }

    // Places the notes of the track that is open, if any.
    bool EndTrack() {
        if (block != Block::Track) return true;
        const int line = line_number;
        size_t i = 0;
        bool ok = Notes(i, false);
        line_number = line;
        tokens.clear();
        token_lines.clear();
        return ok;
    }

    bool Line(const std::vector<std::string>& w) {
        if ((w[0] == "instrument" || w[0] == "track") && !EndTrack()) return false;
        if (w[0] == "instrument") {
            if (w.size() != 2) return Fail("'instrument' takes a name");
            for (const Instrument& in : score.instruments)
                if (in.name == w[1]) return Fail("instrument '" + w[1] + "' defined twice");
            score.instruments.push_back({});
            score.instruments.back().name = w[1];
            block = Block::Instrument;
            return true;
        }
        if (w[0] == "track") {
            if (w.size() != 3) return Fail("'track' takes a name and an instrument");
            Track track;
            track.name = w[1];
            track.instrument = -1;
            for (size_t i = 0; i < score.instruments.size(); ++i)
                if (score.instruments[i].name == w[2]) track.instrument = int(i);
            if (track.instrument < 0) return Fail("no instrument '" + w[2] + "' above");
            score.tracks.push_back(track);
            block = Block::Track;
            beat = 0;
            duration = 1;
            velocity = 0.8;
            return true;
        }
        switch (block) {
            case Block::Piece:
                return PieceLine(w);
            case Block::Instrument:
                return InstrumentLine(w);
            case Block::Track:
                return TrackLine(w);
        }
        return false;
    }
};

}  // namespace

double Score::LengthBeats() const {
    if (bars > 0) return double(bars) * meter;
    double end = 0;
    for (const Track& t : tracks)
        end = std::max(end, t.end_beat);
    return end;
}

int64_t Score::OutputFrames() const {
    const double seconds = LengthBeats() * 60.0 / tempo;
    int64_t frames = int64_t(std::llround(seconds * kSampleRate));
    if (!loop) frames += int64_t(std::llround(tail * kSampleRate));
    return frames;
}

bool ParseScore(const std::string& text, Score& score, std::string& error) {
    score = Score();
    Parser p{score, error};
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        ++p.line_number;
        std::vector<std::string> w = Words(line);
        if (!w.empty() && !p.Line(w)) return false;
    }
    if (!p.EndTrack()) return false;
    p.line_number = 0;
    for (const Instrument& i : score.instruments)
        if (i.oscillators.empty()) return p.Fail("instrument '" + i.name + "' has no oscillator");
    if (score.tracks.empty()) return p.Fail("the score has no track");
    if (score.loop && score.bars == 0) return p.Fail("a loop needs 'bars'");
    if (score.bars > 0) {
        for (const Track& t : score.tracks)
            if (t.end_beat > score.LengthBeats() + kBeatEpsilon)
                return p.Fail("track '" + t.name + "' runs past the piece's " +
                              std::to_string(score.bars) + " bars");
    }
    if (score.LengthBeats() <= 0) return p.Fail("the piece is empty");
    if (score.OutputFrames() > int64_t(kSampleRate) * 600)
        return p.Fail("the piece is longer than ten minutes");
    return true;
}

}  // namespace synth
