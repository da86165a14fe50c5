// The score parser on arbitrary text: it must accept or name a fault, and an
// accepted score must describe a piece the renderer can size.
#include <cstddef>
#include <cstdint>
#include <string>

#include "synth.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    synth::Score score;
    std::string error;
    if (synth::ParseScore(text, score, error)) {
        if (score.tracks.empty() || score.OutputFrames() <= 0) __builtin_trap();
        for (const synth::Track& t : score.tracks)
            if (t.instrument < 0 || size_t(t.instrument) >= score.instruments.size())
                __builtin_trap();
    } else if (error.empty()) {
        __builtin_trap();
    }
    return 0;
}
