// synth: renders a score file (the format is described in synth.h) to Ogg
// Vorbis, then decodes the result to check it.
//
//   synth SCORE OUTPUT.ogg [--quality Q]
//
// Fails (exit 1, no output file) when the score has a fault, when the decoded
// stream's length differs from the rendered length by even one frame, or when
// its peak reaches -1 dBFS. Prints the length, size, peak and RMS level.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "synth.h"

int main(int argc, char** argv) {
    float quality = 0.3f;
    if (argc == 5 && std::strcmp(argv[3], "--quality") == 0) {
        quality = std::strtof(argv[4], nullptr);
    } else if (argc != 3) {
        std::fprintf(stderr, "usage: synth SCORE OUTPUT.ogg [--quality Q]\n");
        return 1;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "synth: cannot read %s\n", argv[1]);
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();
    synth::Score score;
    std::string error;
    if (!synth::ParseScore(text.str(), score, error)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    const synth::Audio audio = synth::Render(score);
    std::vector<uint8_t> ogg;
    if (!synth::EncodeOgg(audio, quality, ogg, error)) {
        std::fprintf(stderr, "synth: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    synth::Audio decoded;
    int rate = 0;
    if (!synth::DecodeOgg(ogg, decoded, rate, error)) {
        std::fprintf(stderr, "synth: %s: encoded stream does not decode: %s\n", argv[1],
                     error.c_str());
        return 1;
    }
    const synth::Stats stats = synth::Measure(decoded);
    if (rate != synth::kSampleRate || decoded.channels != audio.channels ||
        stats.frames != audio.Frames()) {
        std::fprintf(stderr, "synth: %s: decodes to %lld frames at %d Hz, rendered %lld\n", argv[1],
                     static_cast<long long>(stats.frames), rate,
                     static_cast<long long>(audio.Frames()));
        return 1;
    }
    if (stats.peak_db >= -1.0) {
        std::fprintf(stderr, "synth: %s: decoded peak %.2f dBFS is not below -1 dBFS\n", argv[1],
                     stats.peak_db);
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(ogg.data()), std::streamsize(ogg.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "synth: cannot write %s\n", argv[2]);
        std::remove(argv[2]);
        return 1;
    }
    std::printf("synth: %s: %.3f s (%lld frames, %s), %zu bytes, peak %.2f dBFS, RMS %.2f dBFS\n",
                argv[2], stats.seconds, static_cast<long long>(stats.frames),
                audio.channels == 1 ? "mono" : "stereo", ogg.size(), stats.peak_db, stats.rms_db);
    return 0;
}
