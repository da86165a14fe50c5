// Sprites drawn into the frame on the software renderer (SDL's dummy video
// driver), read back pixel by pixel.
#include <gtest/gtest.h>

#include "scratch_dir.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/display.h"
#include "engine/memory.h"
#include "engine/object_table.h"
#include "engine/pixels_internal.h"
#include "engine/testing/synthetic_events.h"
#include "unit/engine/picture_builders.h"

namespace {

using namespace engine;
using test_pictures::Bytes;

constexpr int kW = 64, kH = 48;

uint32_t Px(uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
    return uint32_t{b} | uint32_t{g} << 8 | uint32_t{r} << 16 | uint32_t{a} << 24;
}

// A sprite made from pixels (value as from Px), through a 32-bit BMP.
int MakeSprite(int number, int w, int h, const std::vector<uint32_t>& pixels,
               int flags = kSpriteKeepAlpha) {
    Bytes bgra;
    for (uint32_t p : pixels) {
        for (int s = 0; s < 32; s += 8)
            bgra.push_back(uint8_t(p >> s));
    }
    Bytes bmp = test_pictures::MakeBmp(w, h, bgra, 32);
    return SpriteFromImageDataSized(number, bmp.data(), int64_t(bmp.size()), flags);
}

int Solid(int number, int w, int h, uint32_t colour, int flags = kSpriteKeepAlpha) {
    return MakeSprite(number, w, h, std::vector<uint32_t>(size_t(w) * h, colour), flags);
}

std::vector<uint32_t> SpritePixels(int sprite) {
    detail::PixelView view;
    std::vector<uint32_t> out;
    if (!detail::LockCanvasTarget(SpriteCanvas(sprite), &view)) return out;
    for (int y = 0; y < view.height; ++y) {
        for (int x = 0; x < view.width; ++x) {
            const uint8_t* p = view.bgra + y * view.pitch + x * 4;
            out.push_back(Px(p[0], p[1], p[2], p[3]));
        }
    }
    detail::UnlockCanvasTarget(SpriteCanvas(sprite));
    return out;
}

// The frame drawn so far, as pixels.
std::vector<uint32_t> Frame() {
    int shot = CaptureScreenToSprite(AutoId, 0, 0, kW, kH);
    auto pixels = SpritePixels(shot);
    ReleaseSprite(shot);
    return pixels;
}

uint32_t At(const std::vector<uint32_t>& frame, int x, int y) {
    return frame[size_t(y) * kW + x];
}

int Channel(uint32_t p, int shift) {
    return int(p >> shift) & 0xFF;
}

class SpriteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(InitSpriteSystem(), 1);
        ASSERT_EQ(OpenExclusiveDisplay(kW, kH, 32, "sprites", 0), 1);
        SetFramePacing(false);
    }
    void TearDown() override { CloseDisplay(); }
    // A grey opaque background over the whole frame.
    void Background(uint32_t colour = Px(40, 40, 40, 255)) {
        Solid(100, kW, kH, colour);
        DrawSpriteOpaque(100, 0, 0);
    }
};

TEST_F(SpriteTest, OpaqueDrawReplacesBlendedDrawMixes) {
    Background(Px(0, 0, 200, 255));      // red
    Solid(1, 4, 4, Px(0, 200, 0, 128));  // half-transparent green
    DrawSpriteOpaque(1, 0, 0);
    DrawSprite(1, 10, 0);
    auto f = Frame();
    EXPECT_EQ(At(f, 0, 0), Px(0, 200, 0, 128));  // alpha too
    uint32_t mixed = At(f, 10, 0);
    EXPECT_NEAR(Channel(mixed, 8), 200 * 128 / 255, 2);
    EXPECT_NEAR(Channel(mixed, 16), 200 * 127 / 255, 2);
    EXPECT_EQ(At(f, 14, 0), Px(0, 0, 200, 255));  // right of the sprite: untouched
}

TEST_F(SpriteTest, OpacityScalesAlphaAndIsClamped) {
    Background(Px(0, 0, 0, 255));
    Solid(1, 2, 2, Px(255, 255, 255, 255));
    DrawSpriteAlpha(1, 0, 0, 128);
    DrawSpriteAlpha(1, 4, 0, -40);  // fade below 0: nothing shows
    DrawSpriteAlpha(1, 8, 0, 999);  // above 255: fully
    auto f = Frame();
    EXPECT_NEAR(Channel(At(f, 0, 0), 0), 128, 2);
    EXPECT_EQ(Channel(At(f, 4, 0), 0), 0);
    EXPECT_EQ(Channel(At(f, 8, 0), 0), 255);
}

TEST_F(SpriteTest, FirstDrawAfterPresentStartsFromBlackAndFlipKeepsLastFrame) {
    Background(Px(9, 9, 9, 255));
    FlipFrame();
    EXPECT_EQ(At(Frame(), 5, 5), Px(9, 9, 9, 255));  // nothing drawn yet: last frame
    Solid(1, 2, 2, Px(1, 2, 3, 255));
    DrawSprite(1, 0, 0);
    auto f = Frame();
    EXPECT_EQ(At(f, 0, 0), Px(1, 2, 3, 255));
    EXPECT_EQ(At(f, 5, 5), Px(0, 0, 0, 255));  // cleared, no garbage from before
}

// A frame whose draws are those of the frame on the window is not rendered
// and presented again; any change to what it would show is.
TEST_F(SpriteTest, OnlyFramesThatDifferFromTheWindowArePresented) {
    Background(Px(9, 9, 9, 255));
    Solid(1, 4, 4, Px(0, 200, 0, 255));
    auto menu = [] {
        DrawSpriteOpaque(100, 0, 0);
        DrawSprite(1, 10, 10);
    };
    DrawSprite(1, 10, 10);
    FlipFrame();
    uint64_t presented = detail::FramesPresented();
    auto expect_presented = [&](bool again, const char* what) {
        EXPECT_EQ(detail::FramesPresented(), presented + (again ? 1 : 0)) << what;
        presented = detail::FramesPresented();
    };
    menu();
    FlipFrame();
    expect_presented(false, "the same draws");
    EXPECT_EQ(At(Frame(), 11, 11), Px(0, 200, 0, 255));  // and the frame still holds them

    DrawSpriteOpaque(100, 0, 0);
    DrawSprite(1, 11, 10);
    FlipFrame();
    expect_presented(true, "moved");
    menu();
    FlipFrame();
    expect_presented(true, "moved back");
    DrawSpriteOpaque(100, 0, 0);
    DrawSpriteAlpha(1, 10, 10, 128);
    FlipFrame();
    expect_presented(true, "faded");
    menu();
    FlipFrame();
    expect_presented(true, "back from faded");
    menu();
    FlipFrame();
    expect_presented(false, "the same again");

    // New pixels in a sprite drawn the same way.
    detail::PixelView view;
    ASSERT_TRUE(detail::LockCanvasTarget(SpriteCanvas(1), &view));
    view.bgra[2] = 250;
    detail::UnlockCanvasTarget(SpriteCanvas(1));
    menu();
    FlipFrame();
    expect_presented(true, "repainted sprite");
    EXPECT_EQ(At(Frame(), 10, 10), Px(0, 200, 250, 255));

    // A sprite replaced by another under the same number.
    Solid(1, 4, 4, Px(0, 0, 255, 255));
    menu();
    FlipFrame();
    expect_presented(true, "replaced sprite");

    // The window showing again after being covered.
    ASSERT_EQ(PushWindowEvent(-1, kEventRepaint), 1);
    menu();
    FlipFrame();
    expect_presented(true, "exposed window");
}

// Draws wait for the present, but a sprite changed or freed after being drawn
// still shows as it was when drawn, and a capture sees every draw before it.
TEST_F(SpriteTest, DrawsShowTheSpriteAsItWasWhenDrawn) {
    Background(Px(0, 0, 0, 255));
    Solid(1, 2, 2, Px(10, 20, 30, 255));
    DrawSprite(1, 0, 0);
    detail::PixelView view;
    ASSERT_TRUE(detail::LockCanvasTarget(SpriteCanvas(1), &view));
    view.bgra[0] = 99;
    detail::UnlockCanvasTarget(SpriteCanvas(1));
    DrawSprite(1, 4, 0);
    Solid(2, 2, 2, Px(1, 1, 1, 255));
    DrawSprite(2, 8, 0);
    ReleaseSprite(2);
    auto f = Frame();
    EXPECT_EQ(At(f, 0, 0), Px(10, 20, 30, 255));
    EXPECT_EQ(At(f, 4, 0), Px(99, 20, 30, 255));
    EXPECT_EQ(At(f, 8, 0), Px(1, 1, 1, 255));
}

TEST_F(SpriteTest, SourceRectanglesClampAndRestore) {
    std::vector<uint32_t> pixels;
    for (int i = 0; i < 16; ++i)
        pixels.push_back(Px(uint8_t(i * 10), 0, 0, 255));
    ASSERT_EQ(MakeSprite(1, 4, 4, pixels), 1);

    SetSpriteSourceRect(1, 1, 2, 2, 2);
    EXPECT_EQ(SpriteDrawWidth(1), 2);
    EXPECT_EQ(SpriteDrawHeight(1), 2);
    Background();
    DrawSprite(1, 0, 0);
    auto f = Frame();
    EXPECT_EQ(At(f, 0, 0), pixels[2 * 4 + 1]);
    EXPECT_EQ(At(f, 1, 1), pixels[3 * 4 + 2]);
    EXPECT_EQ(At(f, 2, 0), Px(40, 40, 40, 255));

    SetSpriteSourceRect(1, 3, 1, 10, 10);  // clamped to what remains
    EXPECT_EQ(SpriteDrawWidth(1), 1);
    EXPECT_EQ(SpriteDrawHeight(1), 3);
    SetSpriteSourceRect(1, 9, 9, 5, 5);  // past the texture: empty, draws nothing
    EXPECT_EQ(SpriteDrawWidth(1), 0);
    SetSpriteSourceRect(1, -1, -1, -1, -1);
    EXPECT_EQ(SpriteDrawWidth(1), 4);
    EXPECT_EQ(SpriteDrawHeight(1), 4);
}

TEST_F(SpriteTest, SizeMinusOneAfterSourceRectRestoresNaturalSize) {
    ASSERT_EQ(Solid(1, 8, 6, Px(5, 5, 5, 255)), 1);
    SetSpriteSourceRect(1, 2, 2, 3, 3);
    SetSpriteSize(1, -1, -1);
    EXPECT_EQ(SpriteDrawWidth(1), 8);
    EXPECT_EQ(SpriteDrawHeight(1), 6);
    SetSpriteSize(1, 20, -1);
    EXPECT_EQ(SpriteDrawWidth(1), 20);
    EXPECT_EQ(SpriteDrawHeight(1), 6);
    SetSpriteSize(1, -7, 3);  // not a size: ignored
    EXPECT_EQ(SpriteDrawWidth(1), 20);
}

TEST_F(SpriteTest, OffScreenRejectionAtExactlyMinusDrawnWidth) {
    std::vector<uint32_t> pixels = {Px(0, 0, 100, 255), Px(0, 0, 200, 255), Px(0, 0, 100, 255),
                                    Px(0, 0, 200, 255)};
    ASSERT_EQ(MakeSprite(1, 2, 2, pixels), 1);
    SetSpriteSize(1, 2, 2);
    Background();
    DrawSprite(1, -2, 0);  // right edge on the display's left edge: skipped
    DrawSprite(1, 0, -2);
    DrawSprite(1, kW, 5);
    DrawSprite(1, 5, kH);
    auto f = Frame();
    for (uint32_t p : f)
        ASSERT_EQ(p, Px(40, 40, 40, 255));
    DrawSprite(1, -1, 10);  // one column shows: the sprite's right one
    f = Frame();
    EXPECT_EQ(At(f, 0, 10), Px(0, 0, 200, 255));
    EXPECT_EQ(At(f, 1, 10), Px(40, 40, 40, 255));
    DrawSprite(1, kW - 1, 20);
    EXPECT_EQ(At(Frame(), kW - 1, 20), Px(0, 0, 100, 255));

    // A rejected draw does no work at all: not even the clearing of the frame
    // that the first draw after a present does.
    FlipFrame();
    DrawSprite(1, -2, 0);
    DrawSprite(1, 3, -2);
    EXPECT_EQ(At(Frame(), 5, 5), Px(40, 40, 40, 255));
    DrawSprite(1, -1, 0);
    EXPECT_EQ(At(Frame(), 5, 5), Px(0, 0, 0, 255));
}

TEST_F(SpriteTest, NaturalSizeMapsTexelsOneToOneWithBilinearFiltering) {
    std::vector<uint32_t> pixels;
    for (int i = 0; i < 6 * 5; ++i)
        pixels.push_back(Px(uint8_t(i * 7), uint8_t(i * 3), 9, 255));
    ASSERT_EQ(MakeSprite(1, 6, 5, pixels), 1);
    SetSpriteFiltering(1);
    Background();
    DrawSprite(1, 3, 7);
    auto f = Frame();
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 6; ++x)
            ASSERT_EQ(At(f, 3 + x, 7 + y), pixels[y * 6 + x]);
    }
}

TEST_F(SpriteTest, NearestScalingRepeatsTexels) {
    ASSERT_EQ(MakeSprite(1, 2, 1, {Px(10, 0, 0, 255), Px(200, 0, 0, 255)}), 1);
    SetSpriteSize(1, 4, 2);
    Background();
    DrawSprite(1, 0, 0);
    auto f = Frame();
    EXPECT_EQ(At(f, 0, 0), Px(10, 0, 0, 255));
    EXPECT_EQ(At(f, 1, 1), Px(10, 0, 0, 255));
    EXPECT_EQ(At(f, 2, 0), Px(200, 0, 0, 255));
    EXPECT_EQ(At(f, 3, 1), Px(200, 0, 0, 255));
}

TEST_F(SpriteTest, ColourKeyWithoutFlag8MakesOnlyPureBlackTransparent) {
    // Soft edges: a faint alpha on a nearly black pixel, a transparent white one.
    std::vector<uint32_t> pixels = {Px(0, 0, 0, 255), Px(0, 0, 1, 10), Px(255, 255, 255, 0),
                                    Px(0, 0, 0, 0)};
    ASSERT_EQ(MakeSprite(1, 4, 1, pixels, 0), 1);
    EXPECT_EQ(SpritePixels(1), (std::vector<uint32_t>{Px(0, 0, 0, 0), Px(0, 0, 1, 255),
                                                      Px(255, 255, 255, 255), Px(0, 0, 0, 0)}));
    ASSERT_EQ(MakeSprite(2, 4, 1, pixels, kSpriteKeepAlpha), 1);
    EXPECT_EQ(SpritePixels(2), pixels);
}

TEST_F(SpriteTest, DuplicateOfResizedSpriteComesBackAtNaturalSize) {
    std::vector<uint32_t> pixels = {Px(1, 2, 3, 4),     Px(5, 6, 7, 8),     Px(9, 10, 11, 12),
                                    Px(13, 14, 15, 16), Px(17, 18, 19, 20), Px(21, 22, 23, 24)};
    ASSERT_EQ(MakeSprite(1, 3, 2, pixels), 1);
    SetSpriteSize(1, 30, 40);
    SetSpriteSourceRect(1, 1, 0, 1, 1);
    int copy = DuplicateSprite(1, AutoId);
    ASSERT_NE(copy, 0);
    EXPECT_EQ(SpriteDrawWidth(copy), 3);
    EXPECT_EQ(SpriteDrawHeight(copy), 2);
    EXPECT_EQ(SpritePixels(copy), pixels);
    // Copying a sprite onto its own number keeps the pixels.
    EXPECT_EQ(DuplicateSprite(1, 1), 1);
    EXPECT_EQ(SpritePixels(1), pixels);
    EXPECT_EQ(DuplicateSprite(77, 2), 0);  // absent source
    EXPECT_EQ(SpriteExists(2), 0);
}

TEST_F(SpriteTest, BlankSpriteIsTransparentAndCanvasChangesReachTheTexture) {
    ASSERT_EQ(CreateBlankSprite(3, 5, 4), 1);
    EXPECT_EQ(SpritePixels(3), std::vector<uint32_t>(20, 0));
    detail::PixelView view;
    ASSERT_TRUE(detail::LockCanvasTarget(SpriteCanvas(3), &view));
    view.bgra[view.pitch + 4] = 77;   // pixel (1, 1) blue
    view.bgra[view.pitch + 7] = 255;  // alpha
    detail::UnlockCanvasTarget(SpriteCanvas(3));
    Background(Px(0, 0, 0, 255));
    DrawSprite(3, 0, 0);
    EXPECT_EQ(At(Frame(), 1, 1), Px(77, 0, 0, 255));
    EXPECT_FALSE(detail::LockCanvasTarget(SpriteCanvas(99), &view));
    EXPECT_EQ(SpriteCanvas(99), 0);
}

TEST_F(SpriteTest, CanvasTargetOfSpriteZeroIsNonzero) {
    ASSERT_EQ(CreateBlankSprite(0, 2, 2), 1);
    EXPECT_NE(SpriteCanvas(0), 0);
    detail::PixelView view;
    EXPECT_TRUE(detail::LockCanvasTarget(SpriteCanvas(0), &view));
    detail::UnlockCanvasTarget(SpriteCanvas(0));
}

TEST_F(SpriteTest, CaptureRejectsRectanglesOutsideTheDisplay) {
    EXPECT_NE(CaptureScreenToSprite(0, 0, 0, kW, kH), 0);
    EXPECT_NE(CaptureScreenToSprite(AutoId, kW - 1, kH - 1, 1, 1), 0);
    EXPECT_EQ(CaptureScreenToSprite(0, 1, 0, kW, kH), 0);
    EXPECT_EQ(SpriteExists(0), 0);  // a failed numbered creation leaves it empty
    EXPECT_EQ(CaptureScreenToSprite(1, -1, 0, 4, 4), 0);
    EXPECT_EQ(CaptureScreenToSprite(1, 0, 0, 0, 4), 0);
    EXPECT_EQ(CaptureScreenToSprite(1, 0, kH - 3, 4, 4), 0);
}

TEST_F(SpriteTest, SavedBitmapMatchesTheLayoutByteForByte) {
    std::vector<uint32_t> pixels = {Px(1, 2, 3, 4),     Px(5, 6, 7, 8),     Px(9, 10, 11, 12),
                                    Px(13, 14, 15, 16), Px(17, 18, 19, 20), Px(21, 22, 23, 24)};
    ASSERT_EQ(MakeSprite(1, 3, 2, pixels), 1);
    auto path = test_support::ScratchFile("mnemora_sprite_test.bmp");
    {
        std::ofstream(path)
            << "old contents that are longer than the new file ......................";
    }
    ASSERT_EQ(SaveSpriteAsBitmap(1, path.string()), 1);
    std::ifstream in(path, std::ios::binary);
    Bytes got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();  // Windows removes no file that is still open
    std::filesystem::remove(path);

    Bytes want = {'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header
                  40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 32, 0, 0, 0, 0, 0, 24, 0, 0, 0, 0, 0,
                  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                  // bottom row first
                  13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11,
                  12};
    EXPECT_EQ(got, want);

    // The opaque form differs only in the alpha bytes, all 255.
    ASSERT_EQ(SaveSpriteAsBitmap(1, path.string(), kBitmapOpaque), 1);
    std::ifstream opaque_in(path, std::ios::binary);
    Bytes opaque((std::istreambuf_iterator<char>(opaque_in)), std::istreambuf_iterator<char>());
    opaque_in.close();
    std::filesystem::remove(path);
    for (size_t i = 57; i < want.size(); i += 4)
        want[i] = 255;
    EXPECT_EQ(opaque, want);

    EXPECT_EQ(SaveSpriteAsBitmap(1, "/nonexistent-folder/x.bmp"), 0);
    EXPECT_EQ(SaveSpriteAsBitmap(55, path.string()), 0);
}

TEST_F(SpriteTest, AbsentSpritesBadSizesAndHugeNumbersDoNothing) {
    DrawSprite(42, 0, 0);
    DrawSpriteAlpha(42, 0, 0, 10);
    DrawSpriteOpaque(42, 0, 0);
    SetSpriteSize(42, 1, 1);
    SetSpriteSourceRect(42, 0, 0, 1, 1);
    ReleaseSprite(42);
    EXPECT_EQ(SpriteDrawWidth(42), 0);
    EXPECT_EQ(SpriteDrawHeight(42), 0);
    EXPECT_EQ(CreateBlankSprite(1, 0, 5), 0);
    EXPECT_EQ(CreateBlankSprite(1, 5, -5), 0);
    EXPECT_EQ(CreateBlankSprite(1, 20000, 5), 0);
    EXPECT_EQ(CreateBlankSprite(kMaxObjectNumber, 5, 5), 0);
    EXPECT_EQ(CreateBlankSprite(-7, 5, 5), 0);
    const uint8_t junk[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    ASSERT_EQ(Solid(4, 2, 2, Px(1, 1, 1, 255)), 1);
    EXPECT_EQ(SpriteFromImageDataSized(4, junk, sizeof junk, 8), 0);
    EXPECT_EQ(SpriteExists(4), 0);  // a failed creation leaves the number empty
    EXPECT_EQ(SpriteFromImageData(5, nullptr, 8), 0);
}

TEST_F(SpriteTest, BlockFormReadsTheBlockSize) {
    Bytes bmp = test_pictures::MakeBmp(2, 2, Bytes(16, 200), 24);
    uint8_t* block = AllocBlock(int64_t(bmp.size()));
    std::copy(bmp.begin(), bmp.end(), block);
    int handle = SpriteFromImageData(AutoId, block, kSpriteKeepAlpha);
    FreeBlock(block);
    ASSERT_NE(handle, 0);
    EXPECT_EQ(SpriteDrawWidth(handle), 2);
    ReleaseSprite(handle);
    EXPECT_EQ(SpriteExists(handle), 0);
}

TEST_F(SpriteTest, ClosingTheDisplayFreesSpritesAndNoDrawHappensWithoutOne) {
    ASSERT_EQ(Solid(1, 2, 2, Px(1, 1, 1, 255)), 1);
    ASSERT_NE(CreateBlankSprite(2, 2, 2), 0);
    CloseDisplay();
    EXPECT_EQ(SpriteExists(1), 0);
    EXPECT_EQ(SpriteExists(2), 0);
    EXPECT_EQ(CreateBlankSprite(1, 2, 2), 0);
    DrawSprite(1, 0, 0);
    FlipFrame();
    ASSERT_EQ(OpenExclusiveDisplay(kW, kH, 32, "again", 0), 1);
    EXPECT_EQ(SpriteExists(1), 0);
    // A second open closes the first one, sprites included.
    ASSERT_EQ(Solid(1, 2, 2, Px(1, 1, 1, 255)), 1);
    ASSERT_EQ(OpenExclusiveDisplay(kW, kH, 32, "third", 0), 1);
    EXPECT_EQ(SpriteExists(1), 0);
}

}  // namespace
