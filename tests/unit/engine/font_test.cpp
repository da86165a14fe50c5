#include <gtest/gtest.h>

#include "scratch_dir.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "engine/canvas.h"
#include "engine/canvas_internal.h"

namespace {

using engine::detail::PixelView;
using Pixel = std::array<uint8_t, 4>;  // blue, green, red, alpha

const char* const kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

struct Buffer {
    int width, height;
    std::vector<uint8_t> bytes;  // with a guard row above and below
    Buffer(int w, int h, Pixel fill) : width(w), height(h) {
        bytes.assign(static_cast<size_t>(w) * (h + 2) * 4, 0xA5);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x)
                std::copy(fill.begin(), fill.end(), At(x, y));
        }
    }
    PixelView View() { return {At(0, 0), width, height, width * 4}; }
    uint8_t* At(int x, int y) {
        return bytes.data() + (static_cast<size_t>(y + 1) * width + x) * 4;
    }
    Pixel Get(int x, int y) {
        const uint8_t* p = At(x, y);
        return {p[0], p[1], p[2], p[3]};
    }
    bool GuardsUntouched() const {
        const size_t row = static_cast<size_t>(width) * 4;
        for (size_t i = 0; i < row; ++i) {
            if (bytes[i] != 0xA5 || bytes[bytes.size() - 1 - i] != 0xA5) return false;
        }
        return true;
    }
    // Rows that hold any pixel with alpha above zero.
    int InkRows() {
        int first = -1, last = -1;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                if (Get(x, y)[3] > 0) {
                    if (first < 0) first = y;
                    last = y;
                }
            }
        }
        return first < 0 ? 0 : last - first + 1;
    }
};

class Fonts : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { installed_ = engine::InstallPrivateFont(kDejaVu) != 0; }
    void SetUp() override {
        if (!installed_) GTEST_SKIP() << kDejaVu << " is missing (fonts-dejavu-core)";
        engine::SetFontDpi(96);
    }
    void TearDown() override {
        engine::EndCanvas();
        engine::SetFontDpi(96);
    }
    // Opens a canvas on `buf` with a DejaVu Sans font of `size` points.
    static void Open(Buffer& buf, int size, int flags = 0) {
        ASSERT_TRUE(engine::detail::BeginCanvasOnPixels(buf.View()));
        int font = engine::LoadFontFace(engine::AutoId, "DejaVu Sans", size, flags);
        ASSERT_NE(font, 0);
        engine::SetCanvasFont(engine::FontNativeHandle(font));
    }
    static bool installed_;
};
bool Fonts::installed_ = false;

TEST(FontFiles, FilesFreeTypeRefusesAreNotInstalled) {
    EXPECT_EQ(engine::InstallPrivateFont("/nonexistent/font.ttf"), 0);
    auto path = test_support::ScratchFile("mnemora_font_test_garbage.ttf");
    {
        std::ofstream out(path, std::ios::binary);
        out << "\0\1\0\0 this is not a font, though it starts like one";
    }
    EXPECT_EQ(engine::InstallPrivateFont(path.string()), 0);
    std::filesystem::remove(path);
    EXPECT_EQ(engine::InstallPrivateFont("/"), 0);
}

TEST(Utf8, IllFormedSequencesBecomeReplacementCharacters) {
    using engine::detail::DecodeUtf8;
    EXPECT_EQ(DecodeUtf8("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z"), U"a\u00E9\u20AC\U0001F600z");
    EXPECT_EQ(DecodeUtf8("\xC0\xAF"), U"\uFFFD\uFFFD");                      // overlong
    EXPECT_EQ(DecodeUtf8("\xED\xA0\x80"), U"\uFFFD\uFFFD\uFFFD");            // surrogate
    EXPECT_EQ(DecodeUtf8("\xF4\x90\x80\x80"), U"\uFFFD\uFFFD\uFFFD\uFFFD");  // past U+10FFFF
    EXPECT_EQ(DecodeUtf8("\xE2\x82"), U"\uFFFD");                            // cut short
    EXPECT_EQ(DecodeUtf8("\xE2\x82x"), U"\uFFFDx");
    EXPECT_EQ(DecodeUtf8("\xFF\x80"), U"\uFFFD\uFFFD");
}

TEST_F(Fonts, FortyPointEmIs53PixelsAt96Dpi67At120AndTheCellIsTaller) {
    for (auto [dpi, em] : {std::pair{96, 53}, std::pair{120, 67}}) {
        engine::SetFontDpi(dpi);
        Buffer buf(200, 120, {0, 0, 0, 0});
        Open(buf, 40);
        EXPECT_GT(engine::MeasureTextHeight("H"), em) << dpi;
        // The cap height of DejaVu Sans is 1493/2048 of the em: this proves the em
        // FreeType rendered with, not only the number we stored.
        engine::SetCanvasMode(0x11);
        engine::DrawCanvasText(0, 0, "H");
        EXPECT_NEAR(buf.InkRows(), em * 1493 / 2048.0, 1.0) << dpi;
    }
    // The cell is the Windows ascent plus descent: 1901 + 483 of 2048 units.
    engine::SetFontDpi(96);
    Buffer buf(10, 10, {0, 0, 0, 0});
    Open(buf, 40);
    EXPECT_EQ(engine::MeasureTextHeight("x"), 49 + 12);
    EXPECT_EQ(engine::MeasureTextHeight(""), 0);
    EXPECT_EQ(engine::MeasureTextWidth(""), 0);
}

TEST_F(Fonts, ModeZeroFillsTheBoxWithTheBackColourAndKeepsAlpha) {
    Buffer buf(160, 60, {10, 20, 30, 77});
    Open(buf, 20);
    const int x = 5, y = 3;
    const int w = engine::MeasureTextWidth("Hg");
    const int h = engine::MeasureTextHeight("Hg");
    EXPECT_EQ(engine::DrawCanvasText(x, y, "Hg", engine::PackRGB(255, 255, 255),
                                     engine::PackRGB(0, 0, 255)),
              x + w);
    int back = 0, front = 0;
    for (int py = 0; py < buf.height; ++py) {
        for (int px = 0; px < buf.width; ++px) {
            Pixel p = buf.Get(px, py);
            ASSERT_EQ(p[3], 77);  // alpha is never touched in mode 0
            const bool in_box = px >= x && px < x + w && py >= y && py < y + h;
            if (!in_box) {
                ASSERT_EQ(p, (Pixel{10, 20, 30, 77})) << px << "," << py;
            } else if (p == Pixel{255, 0, 0, 77}) {
                ++back;
            } else if (p == Pixel{255, 255, 255, 77}) {
                ++front;
            } else {
                ASSERT_EQ(p[0], 255);   // blue in both colours
                ASSERT_EQ(p[1], p[2]);  // grey coverage: the same on every channel
            }
        }
    }
    EXPECT_GT(back, w * h / 2);
    EXPECT_GT(front, 20);
    EXPECT_TRUE(buf.GuardsUntouched());
}

TEST_F(Fonts, TransparentBlendModeMakesGlyphsVisibleOnATransparentSprite) {
    Buffer buf(120, 50, {0, 0, 0, 0});
    Open(buf, 20);
    engine::SetCanvasMode(0x11);
    engine::DrawCanvasText(4, 2, "Hg", engine::PackRGBA(255, 64, 0, 255));
    int opaque = 0, partial = 0;
    for (int py = 0; py < buf.height; ++py) {
        for (int px = 0; px < buf.width; ++px) {
            Pixel p = buf.Get(px, py);
            if (p[3] == 0) {
                ASSERT_EQ(p, (Pixel{0, 0, 0, 0}));
                continue;
            }
            // Over alpha 0 the glyph takes the front colour, its coverage becomes alpha.
            ASSERT_EQ(p, (Pixel{0, 64, 255, p[3]}));
            (p[3] == 255 ? opaque : partial)++;
        }
    }
    EXPECT_GT(opaque, 20);
    EXPECT_GT(partial, 10);  // anti-aliased edges

    // A colour without alpha (PackRGB) draws nothing in this mode.
    Buffer clean(120, 50, {5, 6, 7, 8});
    Open(clean, 20);
    engine::SetCanvasMode(0x11);
    const auto before = clean.bytes;
    engine::DrawCanvasText(4, 2, "Hg", engine::PackRGB(255, 255, 255));
    EXPECT_EQ(clean.bytes, before);
}

TEST_F(Fonts, DrawReturnsXPlusTheMeasuredWidth) {
    Buffer buf(300, 40, {0, 0, 0, 255});
    Open(buf, 12);
    for (const char* text :
         {"Hello, World", "AV", "W", "x\xFFy", "\xE4\xB8\xAD\xEE\x80\x80", " "}) {
        const int w = engine::MeasureTextWidth(text);
        EXPECT_GT(w, 0) << text;
        EXPECT_EQ(engine::DrawCanvasText(-17, 3, text), -17 + w) << text;
    }
    EXPECT_EQ(engine::DrawCanvasText(42, 3, ""), 42);
    // Kerning pulls A and V together.
    EXPECT_LT(engine::MeasureTextWidth("AV"),
              engine::MeasureTextWidth("A") + engine::MeasureTextWidth("V"));
}

TEST_F(Fonts, MissingAndInvalidCharactersStillDraw) {
    for (const char* text : {"\xEE\x80\x80", "\xFF", "\xE4\xB8\xAD"}) {
        Buffer buf(60, 40, {0, 0, 0, 0});
        Open(buf, 14);
        engine::SetCanvasMode(0x11);
        engine::DrawCanvasText(2, 2, text);
        EXPECT_GT(buf.InkRows(), 5) << "glyph 0 or U+FFFD is drawn for " << text;
    }
}

TEST_F(Fonts, TextIsClippedAtEveryEdgeNotWrapped) {
    Buffer buf(40, 16, {0, 0, 0, 0});
    Open(buf, 20);
    engine::SetCanvasMode(0x11);
    engine::DrawCanvasText(-13, -9, "Wide text that runs far past the canvas");
    EXPECT_TRUE(buf.GuardsUntouched());
    EXPECT_GT(buf.InkRows(), 0);

    // Mode 0 from the left and bottom edges; only the canvas changes.
    Buffer box(40, 16, {1, 1, 1, 1});
    Open(box, 20);
    engine::DrawCanvasText(-30, 10, "Clip me", engine::PackRGB(255, 255, 255), 0);
    EXPECT_TRUE(box.GuardsUntouched());
    EXPECT_EQ(box.Get(0, 9), (Pixel{1, 1, 1, 1}));
    EXPECT_EQ(box.Get(0, 15)[3], 1);

    // A very long text is measured whole and drawn quickly: glyphs outside are skipped.
    std::string long_text(200000, 'm');
    const auto start = std::chrono::steady_clock::now();
    const int w = engine::MeasureTextWidth(long_text);
    EXPECT_EQ(engine::DrawCanvasText(3, 0, long_text), 3 + w);
    EXPECT_EQ(w, 200000 * engine::MeasureTextWidth("m"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(box.GuardsUntouched());
}

TEST_F(Fonts, StylesFallbacksAndBadSizes) {
    Buffer buf(10, 10, {0, 0, 0, 0});
    Open(buf, 20);
    const int regular = engine::MeasureTextWidth("Hello");
    int bold = engine::LoadFontFace(engine::AutoId, "dejavu sans", 20, engine::kFontBold);
    int italic = engine::LoadFontFace(engine::AutoId, "DejaVu Sans", 20, engine::kFontItalic);
    int unknown = engine::LoadFontFace(engine::AutoId, "No Such Face", 20, 0);
    ASSERT_TRUE(bold && italic && unknown);
    engine::SetCanvasFont(engine::FontNativeHandle(bold));
    EXPECT_GT(engine::MeasureTextWidth("Hello"), regular);  // synthesised bold is wider
    engine::SetCanvasFont(engine::FontNativeHandle(italic));
    EXPECT_GT(engine::MeasureTextWidth("Hello"), regular);  // the italic overhang
    engine::SetCanvasFont(engine::FontNativeHandle(unknown));
    EXPECT_EQ(engine::MeasureTextWidth("Hello"), regular);  // fell back to the installed face

    // Numbered fonts: reusing a number replaces the font; a freed font selected
    // on the canvas keeps working until the canvas ends.
    ASSERT_EQ(engine::LoadFontFace(3, "DejaVu Sans", 30, 0), 1);
    const int native = engine::FontNativeHandle(3);
    engine::SetCanvasFont(native);
    engine::ReleaseFont(3);
    EXPECT_EQ(engine::FontNativeHandle(3), 0);
    EXPECT_GT(engine::MeasureTextWidth("Hello"), regular);
    engine::SetCanvasFont(native);  // but it can no longer be selected
    EXPECT_EQ(engine::MeasureTextWidth("Hello"), 0);

    engine::SetCanvasFont(-1);  // the interface font
    EXPECT_GT(engine::MeasureTextHeight("Hello"), 8);
    engine::SetCanvasFont(987654);
    EXPECT_EQ(engine::DrawCanvasText(5, 5, "Hello"), 5);

    // Underline and strike-out add rows of ink below and through lower-case letters.
    int plain_rows = 0;
    for (int flags : {0, engine::kFontUnderline, engine::kFontStrikeOut}) {
        Buffer ink(80, 40, {0, 0, 0, 0});
        Open(ink, 14, flags);
        engine::SetCanvasMode(0x11);
        engine::DrawCanvasText(0, 0, "ooo");
        const int rows = ink.InkRows();
        if (flags == 0) plain_rows = rows;
        if (flags == engine::kFontUnderline) {
            EXPECT_GT(rows, plain_rows);
        }
        if (flags == engine::kFontStrikeOut) {
            EXPECT_GE(rows, plain_rows);
        }
    }

    EXPECT_EQ(engine::LoadFontFace(4, "DejaVu Sans", 0, 0), 0);
    EXPECT_EQ(engine::LoadFontFace(4, "DejaVu Sans", -12, 0), 0);
    EXPECT_EQ(engine::LoadFontFace(4, "DejaVu Sans", 1 << 30, 0), 0);
    EXPECT_EQ(engine::LoadFontFace(-7, "DejaVu Sans", 12, 0), 0);
    EXPECT_EQ(engine::FontNativeHandle(4), 0);
}

}  // namespace
