// Fuzz target: sound decoding (WAV chunk walking, Ogg Vorbis through
// libvorbisfile, conversion to the mixer's format) and a short play of
// whatever decoded, looping and once.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/mixer.h"
#include "engine/sound.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (engine::DecodeSound(1, data, static_cast<int64_t>(size))) {
        engine::StartSound(1, engine::kSoundLoop, 80);
        engine::StartSound(1, engine::kSoundNewChannel, -1);
        std::vector<int16_t> out(2 * 512);
        engine::detail::ProcessMixer().Mix(out.data(), 512);
        engine::HaltSound(-1, -1);
    }
    engine::ReleaseSound(-1);
    return 0;
}
