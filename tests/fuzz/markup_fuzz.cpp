// Fuzz target for the help text markup: any text, any line geometry. The fake
// canvas measures every byte as 1 to 40 pixels (from the input), checks that
// each piece lands where the line rules allow, and that the last line's y is
// never above the first.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ui/ui.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const int32_t charWidth = 1 + data[0] % 40;
    const int32_t right = data[1] * 4;
    const int32_t lineHeight = 1 + data[2] % 64;
    const bool drawsOnEmpty = data[3] & 1;
    const std::string text(reinterpret_cast<const char*>(data + 4), size - 4);

    const int32_t x0 = 40, top = 180;
    int64_t pieces = 0;
    ui::MarkupTarget target{
        [charWidth](const std::string& s) { return static_cast<int32_t>(s.size()) * charWidth; },
        [&](int32_t x, int32_t, const std::string& s, uint32_t colour) {
            if (colour != 1 && colour != 2) std::abort();
            if (x < x0) std::abort();
            ++pieces;
            if (s.empty() && !drawsOnEmpty) return x;
            return x + static_cast<int32_t>(s.size()) * charWidth;
        }};
    const int32_t last = ui::DrawMarkupText(target, x0, top, right, lineHeight, text, 1, 2);
    // Line breaks with a negative count may move up; without any "n{" the
    // text only ever moves down.
    if (text.find("n{") == std::string::npos && last < top) std::abort();
    if (pieces > static_cast<int64_t>(text.size()) * 3 + 3) std::abort();
    return 0;
}
