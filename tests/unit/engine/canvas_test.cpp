#include "engine/canvas.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "engine/canvas_internal.h"

namespace {

using engine::detail::PixelView;
using Pixel = std::array<uint8_t, 4>;  // blue, green, red, alpha

// A pixel block with guard bytes around it, to catch writes outside the view.
struct Buffer {
    static constexpr int kGuard = 64;
    static constexpr uint8_t kGuardByte = 0xA5;
    int width, height, pitch;
    std::vector<uint8_t> bytes;

    Buffer(int w, int h, Pixel fill) : width(w), height(h), pitch(w * 4 + 12) {
        bytes.assign(static_cast<size_t>(pitch) * h + 2 * kGuard, kGuardByte);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x)
                Set(x, y, fill);
        }
    }
    PixelView View() { return {bytes.data() + kGuard, width, height, pitch}; }
    uint8_t* At(int x, int y) { return bytes.data() + kGuard + y * pitch + x * 4; }
    Pixel Get(int x, int y) {
        const uint8_t* p = At(x, y);
        return {p[0], p[1], p[2], p[3]};
    }
    void Set(int x, int y, Pixel p) { std::copy(p.begin(), p.end(), At(x, y)); }
    // True when no byte outside the pixels (guards and row padding) was written.
    bool OutsideUntouched() {
        for (size_t i = 0; i < bytes.size(); ++i) {
            const int64_t offset = static_cast<int64_t>(i) - kGuard;
            const bool inside = offset >= 0 && offset < static_cast<int64_t>(pitch) * height &&
                                offset % pitch < width * 4;
            if (!inside && bytes[i] != kGuardByte) return false;
        }
        return true;
    }
};

Pixel Composite(Pixel p, uint32_t colour) {
    engine::detail::AlphaComposite(p.data(), colour);
    return p;
}

TEST(Colours, PackRGBAndPackRGBA) {
    EXPECT_EQ(engine::PackRGB(0xEA, 0xDD, 0xC7), 0x00C7DDEAu);
    EXPECT_EQ(engine::PackRGBA(0xF6, 0x82, 0x34, 0xFF), 0xFF3482F6u);
    EXPECT_EQ(engine::PackRGBA(1, 2, 3, 4), 0x04030201u);
}

TEST(Compositing, AlphaFormulaOnChosenPixels) {
    // a = 0: unchanged.
    EXPECT_EQ(Composite({10, 20, 30, 40}, engine::PackRGB(200, 200, 200)), (Pixel{10, 20, 30, 40}));
    // da = 0: the colour and its alpha.
    EXPECT_EQ(Composite({10, 20, 30, 0}, engine::PackRGBA(1, 2, 3, 77)), (Pixel{3, 2, 1, 77}));
    // d = 100, da = 128, c = 200, a = 64:
    // (100 * 191 * 128 + 200 * 64 * 255) / (191 * 128 + 64 * 255) = 5708800 / 40768 = 140,
    // alpha 40768 / 255 = 159.
    EXPECT_EQ(Composite({100, 100, 100, 128}, engine::PackRGBA(200, 200, 200, 64)),
              (Pixel{140, 140, 140, 159}));
    // Per channel, over an opaque pixel: (d * (255 - a) + c * a) / 255 with a = 128:
    // blue 0 -> 128; green 255 -> 127; red 50 -> 50 * 127 / 255 = 24.
    EXPECT_EQ(Composite({0, 255, 50, 255}, engine::PackRGBA(0, 0, 255, 128)),
              (Pixel{128, 127, 24, 255}));
    // Opaque colour replaces whatever is there.
    EXPECT_EQ(Composite({9, 9, 9, 9}, engine::PackRGBA(4, 5, 6, 255)), (Pixel{6, 5, 4, 255}));
}

TEST(Compositing, GlyphCoverageRules) {
    // Modes 0 and 0x1: ((255 - c) * base + c * front) / 255 per channel, alpha kept.
    Pixel p{0, 0, 0, 33};
    engine::detail::CoverageBlend(p.data(), 128, engine::PackRGB(255, 0, 100),
                                  engine::PackRGB(0, 255, 100));
    EXPECT_EQ(p, (Pixel{100, 127, 128, 33}));

    // Mode 0x11 over a pixel with alpha below 192: one alpha m = round(c * A / 255)
    // for all channels. c = 100, A = 200: m = round(78.43) = 78; red over d = 0,
    // da = 100: (0 + 255 * 78 * 255) / (177 * 100 + 78 * 255) = 5072090 / 37590 = 134;
    // alpha (78 * 255 + 177 * 100) / 255 = 147.
    p = {0, 0, 0, 100};
    engine::detail::CoverageComposite(p.data(), 100, engine::PackRGBA(255, 0, 0, 200));
    EXPECT_EQ(p, (Pixel{0, 0, 134, 147}));

    // Over an opaque pixel each channel uses a = c * A / 255 truncated: 100 * 200 / 255 = 78
    // (m rounds the same here); red over 0: 255 * 78 * 255 / (177 * 255 + 78 * 255) = 78.
    p = {0, 0, 0, 255};
    engine::detail::CoverageComposite(p.data(), 100, engine::PackRGBA(255, 0, 0, 200));
    EXPECT_EQ(p, (Pixel{0, 0, 78, 255}));
    // Where m and the truncated a differ: c = 1, A = 200 gives m = 1 but a = 0, so
    // an opaque pixel keeps its colours.
    p = {50, 50, 50, 255};
    engine::detail::CoverageComposite(p.data(), 1, engine::PackRGBA(255, 255, 255, 200));
    EXPECT_EQ(p, (Pixel{50, 50, 50, 255}));

    // A transparent pixel takes the front colour, alpha m.
    p = {0, 0, 0, 0};
    engine::detail::CoverageComposite(p.data(), 255, engine::PackRGBA(10, 20, 30, 255));
    EXPECT_EQ(p, (Pixel{30, 20, 10, 255}));
    // A front colour with alpha 0 changes nothing.
    p = {1, 2, 3, 4};
    engine::detail::CoverageComposite(p.data(), 255, engine::PackRGB(10, 20, 30));
    EXPECT_EQ(p, (Pixel{1, 2, 3, 4}));
}

TEST(Canvas, FillRectWritesColoursOnlyAndIsClipped) {
    Buffer buf(8, 6, {1, 2, 3, 77});
    ASSERT_TRUE(engine::detail::BeginCanvasOnPixels(buf.View()));
    engine::FillCanvasRect(-3, 4, 5, 100, engine::PackRGBA(200, 150, 100, 0));
    EXPECT_EQ(buf.Get(0, 4), (Pixel{100, 150, 200, 77}));  // alpha left as it was
    EXPECT_EQ(buf.Get(1, 5), (Pixel{100, 150, 200, 77}));
    EXPECT_EQ(buf.Get(2, 4), (Pixel{1, 2, 3, 77}));
    EXPECT_EQ(buf.Get(0, 3), (Pixel{1, 2, 3, 77}));
    engine::FillCanvasRect(5, -2, 1000000000, 3, engine::PackRGB(9, 9, 9));
    EXPECT_EQ(buf.Get(7, 0), (Pixel{9, 9, 9, 77}));
    engine::FillCanvasRect(0, 0, -4, -4, engine::PackRGB(0, 0, 0));  // nothing
    EXPECT_EQ(buf.Get(0, 0), (Pixel{1, 2, 3, 77}));

    // Mode 0x10 composites by the colour's alpha and updates the pixel's alpha.
    engine::SetCanvasMode(engine::kCanvasAlphaBlend);
    engine::FillCanvasRect(0, 0, 1, 1, engine::PackRGBA(255, 255, 255, 255));
    EXPECT_EQ(buf.Get(0, 0), (Pixel{255, 255, 255, 255}));
    engine::FillCanvasRect(1, 0, 1, 1, engine::PackRGB(255, 255, 255));
    EXPECT_EQ(buf.Get(1, 0), (Pixel{1, 2, 3, 77}));
    engine::EndCanvas();
    EXPECT_TRUE(buf.OutsideUntouched());
}

TEST(Canvas, BlitCopiesColoursLeavesAlphaAndClips) {
    Buffer canvas(5, 5, {0, 0, 0, 10});
    Buffer image(3, 3, {0, 0, 0, 0});
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x)
            image.Set(x, y, {uint8_t(x), uint8_t(y), 9, 200});
    }
    engine::detail::BlitOn(canvas.View(), 0, image.View(), -1, 3);
    EXPECT_EQ(canvas.Get(0, 3), (Pixel{1, 0, 9, 10}));
    EXPECT_EQ(canvas.Get(1, 4), (Pixel{2, 1, 9, 10}));
    EXPECT_EQ(canvas.Get(2, 4), (Pixel{0, 0, 0, 10}));
    EXPECT_EQ(canvas.Get(0, 2), (Pixel{0, 0, 0, 10}));
    engine::detail::BlitOn(canvas.View(), 0, image.View(), 4, 4);
    EXPECT_EQ(canvas.Get(4, 4), (Pixel{0, 0, 9, 10}));
    EXPECT_TRUE(canvas.OutsideUntouched());
}

TEST(Canvas, NoCanvasNoDrawing) {
    engine::EndCanvas();
    // Until the sprite service provides targets, or for an unknown target, there is no canvas.
    EXPECT_EQ(engine::BeginCanvas(12345), 0);
    EXPECT_EQ(engine::DrawCanvasText(7, 0, "text"), 7);
    EXPECT_EQ(engine::MeasureTextWidth("text"), 0);
    EXPECT_EQ(engine::MeasureTextHeight("text"), 0);
    engine::FillCanvasRect(0, 0, 10, 10, 0);  // harmless
    EXPECT_FALSE(engine::detail::BeginCanvasOnPixels(PixelView{}));
}

}  // namespace
