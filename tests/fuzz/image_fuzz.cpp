// Fuzzes the picture decoders (PNG through libpng, BMP) with whatever bytes
// come, at the natural size and scaled as they decode to a size the last byte
// picks: nothing may crash, leak or read outside the input, and a picture that
// decodes must hold exactly width x height pixels.
#include <cstdint>
#include <cstdlib>

#include "engine/picture_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Keep each run small: pictures above a million pixels are refused here.
    static const bool limited = (engine::detail::SetPictureLimitForTesting(1 << 20), true);
    (void)limited;
    const auto check = [](bool decoded, const engine::detail::Picture& picture, int width,
                          int height) {
        if (decoded) {
            const size_t expected = size_t(picture.width) * size_t(picture.height) * 4;
            if (picture.width < 1 || picture.height < 1 || picture.bgra.size() != expected ||
                (width > 0 && (picture.width != width || picture.height != height))) {
                std::abort();
            }
        } else if (!picture.bgra.empty() || picture.width != 0) {
            std::abort();
        }
    };
    engine::detail::Picture natural;
    check(engine::detail::DecodePicture(data, size, &natural), natural, 0, 0);
    if (size == 0) return 0;
    // Down and up, across and along: 1 to 16 pixels each way.
    const int width = 1 + (data[size - 1] & 15), height = 1 + (data[size - 1] >> 4);
    engine::detail::Picture scaled;
    check(engine::detail::DecodePictureScaled(data, size, width, height, &scaled), scaled, width,
          height);
    return 0;
}
