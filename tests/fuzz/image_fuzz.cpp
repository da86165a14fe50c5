// Fuzzes the picture decoders (PNG through libpng, BMP) with whatever bytes
// come: nothing may crash, leak or read outside the input, and a picture that
// decodes must hold exactly width x height pixels.
#include <cstdint>
#include <cstdlib>

#include "engine/picture_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Keep each run small: pictures above a million pixels are refused here.
    static const bool limited = (engine::detail::SetPictureLimitForTesting(1 << 20), true);
    (void)limited;
    engine::detail::Picture picture;
    if (engine::detail::DecodePicture(data, size, &picture)) {
        size_t expected = size_t(picture.width) * size_t(picture.height) * 4;
        if (picture.width < 1 || picture.height < 1 || picture.bgra.size() != expected) {
            std::abort();
        }
    } else if (!picture.bgra.empty() || picture.width != 0) {
        std::abort();
    }
    return 0;
}
