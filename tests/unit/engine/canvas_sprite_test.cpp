// Text and boxes drawn with a canvas on real sprites, then drawn into the frame
// on the software renderer (SDL's dummy video driver) and read back.
#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include "engine/canvas.h"
#include "engine/display.h"
#include "engine/pixels_internal.h"

namespace {

using namespace engine;

constexpr const char* kFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr int kW = 200, kH = 80;

struct Pixel {
    int b, g, r, a;
};

Pixel SpritePixel(int sprite, int x, int y) {
    detail::PixelView view;
    Pixel out{-1, -1, -1, -1};
    if (!detail::LockCanvasTarget(SpriteCanvas(sprite), &view)) return out;
    const uint8_t* p = view.bgra + y * view.pitch + x * 4;
    out = {p[0], p[1], p[2], p[3]};
    detail::UnlockCanvasTarget(SpriteCanvas(sprite));
    return out;
}

class CanvasOnSprite : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists(kFont)) GTEST_SKIP() << "DejaVu Sans is not installed";
        ASSERT_EQ(InitSpriteSystem(), 1);
        ASSERT_EQ(OpenExclusiveDisplay(kW, kH, 32, "canvas", 0), 1);
        SetFramePacing(false);
        ASSERT_EQ(InstallPrivateFont(kFont), 1);
        font_ = LoadFontFace(AutoId, "DejaVu Sans", 30, 0x10);
        ASSERT_NE(font_, 0);
    }
    void TearDown() override {
        ReleaseFont(-1);
        CloseDisplay();
    }
    int font_ = 0;
};

TEST_F(CanvasOnSprite, TextOnATransparentSpriteShowsOnlyTheGlyphs) {
    ASSERT_NE(CreateBlankSprite(1, 160, 50), 0);
    ASSERT_EQ(BeginCanvas(SpriteCanvas(1)), 1);
    SetCanvasFont(FontNativeHandle(font_));
    SetCanvasMode(0x11);
    int width = MeasureTextWidth("Hi");
    EXPECT_EQ(DrawCanvasText(10, 5, "Hi", PackRGBA(255, 255, 255, 255)), 10 + width);
    EndCanvas();

    // A white glyph stem sits left in the "H"; the corner stays transparent.
    bool anyOpaqueWhite = false;
    for (int x = 10; x < 10 + width && !anyOpaqueWhite; ++x) {
        Pixel p = SpritePixel(1, x, 25);
        anyOpaqueWhite = p.a == 255 && p.r == 255 && p.g == 255 && p.b == 255;
    }
    EXPECT_TRUE(anyOpaqueWhite);
    EXPECT_EQ(SpritePixel(1, 0, 0).a, 0);
    EXPECT_EQ(SpritePixel(1, 159, 49).a, 0);

    // Drawn blended over a blue background, only the glyphs change the frame.
    ASSERT_NE(CreateBlankSprite(2, kW, kH), 0);
    ASSERT_EQ(BeginCanvas(SpriteCanvas(2)), 1);
    FillCanvasRect(0, 0, kW, kH, PackRGB(0, 0, 255));
    EndCanvas();
    DrawSpriteOpaque(2, 0, 0);
    DrawSprite(1, 0, 0);
    int shot = CaptureScreenToSprite(AutoId, 0, 0, kW, kH);
    Pixel corner = SpritePixel(shot, 0, 0);
    EXPECT_EQ(corner.b, 255);
    EXPECT_EQ(corner.r, 0);
    ReleaseSprite(shot);
}

TEST_F(CanvasOnSprite, ModeZeroFillsTheTextBoxAndKeepsAlpha) {
    ASSERT_NE(CreateBlankSprite(1, 160, 50), 0);
    ASSERT_EQ(BeginCanvas(SpriteCanvas(1)), 1);
    SetCanvasFont(FontNativeHandle(font_));
    DrawCanvasText(0, 0, "Hi", PackRGB(255, 255, 255), PackRGB(0, 167, 157));
    EndCanvas();
    // The box's corner has the back colour but the sprite's alpha (0) stays.
    Pixel p = SpritePixel(1, 1, 1);
    EXPECT_EQ(p.r, 0);
    EXPECT_EQ(p.g, 167);
    EXPECT_EQ(p.b, 157);
    EXPECT_EQ(p.a, 0);
}

TEST_F(CanvasOnSprite, DuplicateCarriesTheCanvasDrawing) {
    ASSERT_NE(CreateBlankSprite(1, 20, 20), 0);
    ASSERT_EQ(BeginCanvas(SpriteCanvas(1)), 1);
    SetCanvasMode(0x10);
    FillCanvasRect(0, 0, 20, 20, PackRGBA(10, 20, 30, 255));
    EndCanvas();
    ASSERT_NE(DuplicateSprite(1, 3), 0);
    Pixel p = SpritePixel(3, 5, 5);
    EXPECT_EQ(p.r, 10);
    EXPECT_EQ(p.g, 20);
    EXPECT_EQ(p.b, 30);
    EXPECT_EQ(p.a, 255);
}

// A dialog picture drawn smaller than it is made: kept at its drawn size,
// whether asked while its canvas is open (done as it closes) or afterwards
// (read back). A uniform picture stays uniform; the drawn size becomes the
// natural one, so a later duplicate is the small picture.
TEST_F(CanvasOnSprite, PicturesKeptAtTheirDrawnSizeAreResampledOnce) {
    const uint32_t colour = PackRGBA(200, 120, 40, 255);
    for (bool whileOpen : {true, false}) {
        SCOPED_TRACE(whileOpen ? "asked while the canvas is open" : "asked afterwards");
        ASSERT_NE(CreateBlankSprite(1, 100, 40), 0);
        ASSERT_EQ(BeginCanvas(SpriteCanvas(1)), 1);
        SetCanvasMode(0x10);
        FillCanvasRect(0, 0, 100, 40, colour);
        SetSpriteSize(1, 50, 20);
        if (whileOpen) {
            EXPECT_EQ(KeepSpriteAtDrawnSize(1), 1);
        }
        EndCanvas();
        if (!whileOpen) {
            EXPECT_EQ(KeepSpriteAtDrawnSize(1), 1);
        }
        ASSERT_NE(DuplicateSprite(1, 2), 0);
        EXPECT_EQ(SpriteDrawWidth(2), 50);
        EXPECT_EQ(SpriteDrawHeight(2), 20);
        for (auto [x, y] : {std::pair{0, 0}, {25, 10}, {49, 19}}) {
            Pixel p = SpritePixel(1, x, y);
            EXPECT_EQ(p.r, 200);
            EXPECT_EQ(p.g, 120);
            EXPECT_EQ(p.b, 40);
            EXPECT_EQ(p.a, 255);
        }
        // At its natural size, or larger, or drawn from a part: nothing to do.
        EXPECT_EQ(KeepSpriteAtDrawnSize(1), 0);
        SetSpriteSize(1, 80, 30);
        EXPECT_EQ(KeepSpriteAtDrawnSize(1), 0);
        SetSpriteSize(1, 40, 10);
        SetSpriteSourceRect(1, 0, 0, 25, 10);
        SetSpriteSize(1, 10, 5);
        EXPECT_EQ(KeepSpriteAtDrawnSize(1), 0);
        ReleaseSprite(-1);
    }
}

}  // namespace
