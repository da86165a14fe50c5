// Fuzzes the Windows cursor file parser: nothing may crash or read outside
// the input, and a parsed cursor has a picture and a hotspot inside it.
#include <cstdint>
#include <cstdlib>

#include "engine/picture_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool limited = (engine::detail::SetPictureLimitForTesting(1 << 20), true);
    (void)limited;
    engine::detail::CursorPicture cursor;
    if (engine::detail::ParseCursorFile(data, size, &cursor)) {
        const auto& p = cursor.picture;
        if (p.width < 1 || p.height < 1 || p.bgra.size() != size_t(p.width) * p.height * 4 ||
            cursor.hot_x < 0 || cursor.hot_x >= p.width || cursor.hot_y < 0 ||
            cursor.hot_y >= p.height) {
            std::abort();
        }
    }
    return 0;
}
