// Picture decoding (PNG of every colour type, bit depth and interlace; BMP of
// 24 and 32 bits; hostile inputs) and image objects with their scaling.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "engine/archive.h"
#include "engine/display.h"
#include "engine/memory.h"
#include "engine/object_table.h"
#include "engine/picture_decode.h"
#include "engine/pixels_internal.h"
#include "unit/engine/picture_builders.h"

namespace {

using namespace engine;
using test_pictures::Bytes;
using test_pictures::PngSpec;

detail::Picture Decode(const Bytes& bytes) {
    detail::Picture picture;
    detail::DecodePicture(bytes.data(), bytes.size(), &picture);
    return picture;
}

Bytes Bgra(std::initializer_list<std::array<uint8_t, 4>> pixels) {
    Bytes out;
    for (const auto& p : pixels)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Samples for a 9 x 3 picture (wide enough for every Adam7 pass), and the
// BGRA each decodes to.
struct Case {
    const char* name;
    int colour_type, bit_depth;
};

TEST(PngDecode, EveryColourTypeAndBitDepthInBothInterlaces) {
    const Case cases[] = {{"grey1", 0, 1},        {"grey2", 0, 2},   {"grey4", 0, 4},
                          {"grey8", 0, 8},        {"grey16", 0, 16}, {"rgb8", 2, 8},
                          {"rgb16", 2, 16},       {"pal1", 3, 1},    {"pal2", 3, 2},
                          {"pal4", 3, 4},         {"pal8", 3, 8},    {"greyalpha8", 4, 8},
                          {"greyalpha16", 4, 16}, {"rgba8", 6, 8},   {"rgba16", 6, 16}};
    const int w = 9, h = 3;
    for (const Case& c : cases) {
        for (bool interlace : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (interlace ? " interlaced" : ""));
            PngSpec s;
            s.width = w;
            s.height = h;
            s.bit_depth = c.bit_depth;
            s.colour_type = c.colour_type;
            s.interlace = interlace;
            uint32_t max = (1u << c.bit_depth) - 1;
            int ch = test_pictures::Channels(c.colour_type);
            Bytes want;
            auto to8 = [&](uint32_t v) {
                // 16 bits scale to 8 with rounding; low depths replicate bits.
                return c.bit_depth == 16 ? uint8_t((v * 255 + 32895) >> 16)
                                         : uint8_t(v * 255 / max);
            };
            if (c.colour_type == 3) {
                for (uint32_t i = 0; i <= max; ++i) {
                    s.palette.insert(s.palette.end(), {uint8_t(i * 20), uint8_t(i * 3), 200});
                    s.trns.push_back(uint8_t(255 - i));
                }
            }
            for (int i = 0; i < w * h; ++i) {
                std::vector<uint32_t> px;
                for (int k = 0; k < ch; ++k)
                    px.push_back((uint32_t(i) * 37 + k * 101) % (max + 1));
                s.samples.insert(s.samples.end(), px.begin(), px.end());
                switch (c.colour_type) {
                    case 0:
                        want.insert(want.end(), {to8(px[0]), to8(px[0]), to8(px[0]), 255});
                        break;
                    case 2:
                        want.insert(want.end(), {to8(px[2]), to8(px[1]), to8(px[0]), 255});
                        break;
                    case 3:
                        want.insert(want.end(), {200, uint8_t(px[0] * 3), uint8_t(px[0] * 20),
                                                 uint8_t(255 - px[0])});
                        break;
                    case 4:
                        want.insert(want.end(), {to8(px[0]), to8(px[0]), to8(px[0]), to8(px[1])});
                        break;
                    default:
                        want.insert(want.end(), {to8(px[2]), to8(px[1]), to8(px[0]), to8(px[3])});
                }
            }
            auto picture = Decode(test_pictures::MakePng(s));
            ASSERT_EQ(picture.width, w);
            ASSERT_EQ(picture.height, h);
            EXPECT_EQ(picture.bgra, want);
        }
    }
}

TEST(PngDecode, GreyAndRgbWithTransparentColour) {
    PngSpec s;
    s.width = 2;
    s.height = 1;
    s.colour_type = 2;
    s.samples = {10, 20, 30, 1, 2, 3};
    s.trns = {0, 1, 0, 2, 0, 3};  // the 16-bit colour 1, 2, 3 is transparent
    EXPECT_EQ(Decode(test_pictures::MakePng(s)).bgra, Bgra({{30, 20, 10, 255}, {3, 2, 1, 0}}));
    s.colour_type = 0;
    s.samples = {7, 9};
    s.trns = {0, 9};
    EXPECT_EQ(Decode(test_pictures::MakePng(s)).bgra, Bgra({{7, 7, 7, 255}, {9, 9, 9, 0}}));
}

PngSpec SmallRgba() {
    PngSpec s;
    s.width = 4;
    s.height = 4;
    for (int i = 0; i < 64; ++i)
        s.samples.push_back(uint32_t(i * 3));
    return s;
}

TEST(PngDecode, BrokenOrLyingFilesGiveNothing) {
    Bytes good = test_pictures::MakePng(SmallRgba());
    ASSERT_EQ(Decode(good).width, 4);
    for (size_t cut : {size_t(8), size_t(20), size_t(33), good.size() / 2, good.size() - 13}) {
        Bytes truncated(good.begin(), good.begin() + cut);
        EXPECT_EQ(Decode(truncated).width, 0) << "cut at " << cut;
        EXPECT_TRUE(Decode(truncated).bgra.empty());
    }
    Bytes bad_crc = good;
    bad_crc[40] ^= 0x55;  // inside IDAT: its CRC no longer matches
    EXPECT_EQ(Decode(bad_crc).width, 0);

    // Sizes beyond the limit, and sizes the data cannot hold.
    PngSpec wide = SmallRgba();
    wide.width = 20000;
    wide.height = 1;
    wide.samples.assign(size_t(20000) * 4, 0);
    EXPECT_EQ(Decode(test_pictures::MakePng(wide)).width, 0);
    Bytes liar = good;
    liar[16] = 0;
    liar[17] = 0;
    liar[18] = 0x3E;
    liar[19] = 0x80;  // IHDR width 16000
    liar[22] = 0x3E;
    liar[23] = 0x80;  // height 16000: a gigabyte of pixels from 200 bytes
    uint32_t crc = test_pictures::Crc32(&liar[12], 17);
    for (int i = 0; i < 4; ++i)
        liar[29 + i] = uint8_t(crc >> (24 - 8 * i));
    EXPECT_EQ(Decode(liar).width, 0);

    // An ancillary chunk after IHDR: a true one is read past, one that claims
    // 1.6 GB in a file of a few hundred bytes refuses the picture before libpng
    // asks for the memory (it only warns about its own chunk limit).
    auto with_text = [&good](uint32_t claimed) {
        Bytes png(good.begin(), good.begin() + 33);
        test_pictures::PutChunk(&png, "tEXt", {'d', 'a', 't', 'e', 0, '1'});
        for (int i = 0; i < 4; ++i)
            png[33 + i] = uint8_t(claimed >> (24 - 8 * i));
        png.insert(png.end(), good.begin() + 33, good.end());
        return png;
    };
    EXPECT_EQ(Decode(with_text(6)).width, 4);
    EXPECT_EQ(Decode(with_text(0x60000025)).width, 0);
    EXPECT_LT(detail::LargestPngRequestForTesting(), size_t{1} << 20);

    const Bytes text = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'};
    EXPECT_EQ(Decode(text).width, 0);
    EXPECT_EQ(Decode({}).width, 0);
}

TEST(BmpDecode, TwentyFourAndThirtyTwoBitsBothRowOrders) {
    Bytes pixels = Bgra({{1, 2, 3, 4},
                         {5, 6, 7, 8},
                         {9, 10, 11, 12},
                         {13, 14, 15, 16},
                         {17, 18, 19, 20},
                         {21, 22, 23, 24}});
    for (bool top_down : {false, true}) {
        auto p32 = Decode(test_pictures::MakeBmp(3, 2, pixels, 32, top_down));
        ASSERT_EQ(p32.width, 3);
        ASSERT_EQ(p32.height, 2);
        EXPECT_EQ(p32.bgra, pixels);
        auto p24 = Decode(test_pictures::MakeBmp(3, 2, pixels, 24, top_down));  // padded rows
        Bytes opaque = pixels;
        for (size_t i = 3; i < opaque.size(); i += 4)
            opaque[i] = 255;
        EXPECT_EQ(p24.bgra, opaque);
    }
}

TEST(BmpDecode, BrokenFilesGiveNothing) {
    Bytes good = test_pictures::MakeBmp(5, 5, Bytes(100, 7), 24);
    ASSERT_EQ(Decode(good).width, 5);
    Bytes truncated(good.begin(), good.end() - 5);
    EXPECT_EQ(Decode(truncated).width, 0);
    Bytes huge = good;
    huge[18] = 0xFF;
    huge[19] = 0xFF;  // width 65535
    EXPECT_EQ(Decode(huge).width, 0);
    Bytes tall = good;
    tall[22] = 0;
    tall[23] = 0x40;  // height 16384: fits the limit, not the data
    EXPECT_EQ(Decode(tall).width, 0);
    Bytes min_height = good;
    for (int i = 22; i < 26; ++i)
        min_height[i] = i == 25 ? 0x80 : 0;  // INT32_MIN
    EXPECT_EQ(Decode(min_height).width, 0);
    Bytes eight_bit = good;
    eight_bit[28] = 8;
    EXPECT_EQ(Decode(eight_bit).width, 0);
    Bytes rle = good;
    rle[30] = 1;
    EXPECT_EQ(Decode(rle).width, 0);
}

// ---------------------------------------------------------------------------
// Scaling, checked against the filter's definition computed here.

double Mitchell(double x) {  // B = C = 1/3
    const double B = 1.0 / 3, C = 1.0 / 3;
    x = std::fabs(x);
    if (x < 1)
        return ((12 - 9 * B - 6 * C) * x * x * x + (-18 + 12 * B + 6 * C) * x * x + 6 - 2 * B) / 6;
    if (x < 2) {
        return ((-B - 6 * C) * x * x * x + (6 * B + 30 * C) * x * x + (-12 * B - 48 * C) * x +
                8 * B + 24 * C) /
               6;
    }
    return 0;
}

// One dimension: `count` lines of `in` samples (stride apart) to `out` samples.
std::vector<uint8_t> Resample1D(const std::vector<uint8_t>& src, int in, int out, int lines,
                                bool along_rows, int width_of_src) {
    double scale = double(out) / in;
    double f = std::min(scale, 1.0);
    std::vector<uint8_t> dst;
    int dst_w = along_rows ? out : width_of_src;
    int dst_h = along_rows ? lines : out;
    dst.resize(size_t(dst_w) * dst_h * 4);
    for (int line = 0; line < lines; ++line) {
        for (int i = 0; i < out; ++i) {
            double centre = (i + 0.5) / scale - 0.5;
            for (int c = 0; c < 4; ++c) {
                double sum = 0, total = 0;
                for (int j = int(centre) - 40; j <= int(centre) + 40; ++j) {
                    double k = Mitchell((j - centre) * f);
                    int jj = std::clamp(j, 0, in - 1);
                    size_t at = along_rows ? (size_t(line) * in + jj) * 4 + c
                                           : (size_t(jj) * width_of_src + line) * 4 + c;
                    sum += k * src[at];
                    total += k;
                }
                double v = std::clamp(std::floor(sum / total + 0.5), 0.0, 255.0);
                size_t to = along_rows ? (size_t(line) * out + i) * 4 + c
                                       : (size_t(i) * width_of_src + line) * 4 + c;
                dst[to] = uint8_t(v);
            }
        }
    }
    return dst;
}

std::vector<uint8_t> Reference(const std::vector<uint8_t>& src, int w, int h, int ow, int oh) {
    if (int64_t(ow) * h <= int64_t(w) * oh) {  // the smaller intermediate first
        auto mid = Resample1D(src, w, ow, h, true, w);
        return Resample1D(mid, h, oh, ow, false, ow);
    }
    auto mid = Resample1D(src, h, oh, w, false, w);
    return Resample1D(mid, w, ow, oh, true, w);
}

// At most one level apart anywhere, and off by one only at rounding ties: by
// default in one value of 200; `ties` sets the share for sizes whose ratios put
// many samples exactly on a half level.
void ExpectClose(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want,
                 size_t ties = 200) {
    ASSERT_EQ(got.size(), want.size());
    size_t off_by_one = 0;
    for (size_t i = 0; i < got.size(); ++i) {
        int diff = std::abs(int(got[i]) - int(want[i]));
        ASSERT_LE(diff, 1) << "at byte " << i;
        off_by_one += diff;
    }
    EXPECT_LE(off_by_one, got.size() / ties + 1);
}

std::vector<uint8_t> RandomPixels(int w, int h, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> p(size_t(w) * h * 4);
    for (auto& v : p)
        v = uint8_t(rng() & 0xFF);
    return p;
}

int MakeImage(int number, int w, int h, const std::vector<uint8_t>& pixels) {
    Bytes bmp = test_pictures::MakeBmp(w, h, pixels, 32);
    return DecodeImageSized(number, bmp.data(), int64_t(bmp.size()));
}

std::vector<uint8_t> ImagePixels(int image) {
    detail::PixelView view;
    if (!detail::ImagePixelView(ImageBitmapHandle(image), &view)) return {};
    return std::vector<uint8_t>(view.bgra, view.bgra + size_t(view.pitch) * view.height);
}

TEST(ScaleImage, SmoothMatchesTheCubicUpAndDown) {
    struct Size {
        int w, h, ow, oh;
    };
    for (Size s : {Size{5, 4, 13, 9}, Size{17, 11, 6, 4}, Size{9, 3, 4, 10}, Size{3, 12, 11, 2},
                   Size{1, 1, 3, 3}, Size{7, 7, 1, 1}}) {
        SCOPED_TRACE(std::to_string(s.w) + "x" + std::to_string(s.h) + " to " +
                     std::to_string(s.ow) + "x" + std::to_string(s.oh));
        auto pixels = RandomPixels(s.w, s.h, unsigned(s.w * 31 + s.h));
        ASSERT_EQ(MakeImage(3, s.w, s.h, pixels), 1);
        ASSERT_EQ(ScaleImage(3, s.ow, s.oh, 0), 1);
        EXPECT_EQ(ImagePixelWidth(3), s.ow);
        EXPECT_EQ(ImagePixelHeight(3), s.oh);
        ExpectClose(ImagePixels(3), Reference(pixels, s.w, s.h, s.ow, s.oh));
    }
    ReleaseImage(3);
}

TEST(ScaleImage, BackgroundWidth3840To1024) {
    const int w = 3840, h = 6, ow = 1024, oh = 2;
    auto pixels = RandomPixels(w, h, 7);
    // A hard edge too, where a wrong filter or mapping shows most.
    for (int y = 0; y < h; ++y) {
        for (int x = 1900; x < w; ++x) {
            for (int c = 0; c < 4; ++c)
                pixels[(size_t(y) * w + x) * 4 + c] = 255;
        }
    }
    int image = MakeImage(AutoId, w, h, pixels);
    ASSERT_NE(image, 0);
    ASSERT_EQ(ScaleImage(image, ow, oh, 0), 1);
    ExpectClose(ImagePixels(image), Reference(pixels, w, h, ow, oh));
    ReleaseImage(image);
}

TEST(ScaleImage, OddSizesAndRatiosMatchTheCubic) {
    struct Size {
        int w, h, ow, oh;
    };
    // One-pixel sources and targets, ratios that are not whole numbers either
    // way, near-unit ratios, and the backgrounds' 3:1 with a remainder.
    for (Size s : {Size{1, 5, 1, 2}, Size{1, 1, 4, 1}, Size{6, 1, 1, 1}, Size{2, 2, 1, 1},
                   Size{1, 7, 3, 1}, Size{100, 3, 37, 5}, Size{13, 13, 29, 31}, Size{40, 2, 39, 3},
                   Size{3, 40, 4, 41}, Size{385, 4, 128, 2}, Size{4, 217, 3, 72}}) {
        SCOPED_TRACE(std::to_string(s.w) + "x" + std::to_string(s.h) + " to " +
                     std::to_string(s.ow) + "x" + std::to_string(s.oh));
        // Random values in every channel, alpha included: it is filtered as
        // the colours are, not premultiplied.
        auto pixels = RandomPixels(s.w, s.h, unsigned(s.w * 7 + s.h * 3 + s.ow));
        ASSERT_EQ(MakeImage(4, s.w, s.h, pixels), 1);
        ASSERT_EQ(ScaleImage(4, s.ow, s.oh, 0), 1);
        ASSERT_EQ(ImagePixelWidth(4), s.ow);
        ASSERT_EQ(ImagePixelHeight(4), s.oh);
        // Ratios such as 2:3 put many samples on an exact half level, which the
        // reference in double itself rounds either way: one value in 20 may differ.
        ExpectClose(ImagePixels(4), Reference(pixels, s.w, s.h, s.ow, s.oh), 20);
    }
    ReleaseImage(4);
}

TEST(ScaleImage, FlatStaysExactAndOvershootClamps) {
    struct Size {
        int w, h, ow, oh;
    };
    // The last: a window of 12000 taps, where the SIMD part sums wrap.
    for (Size s :
         {Size{3840, 3, 1280, 1}, Size{7, 5, 19, 11}, Size{11, 9, 3, 2}, Size{12000, 2, 3, 1}}) {
        SCOPED_TRACE(std::to_string(s.w) + " to " + std::to_string(s.ow));
        std::vector<uint8_t> flat;
        for (int i = 0; i < s.w * s.h; ++i)
            flat.insert(flat.end(), {200, 17, 255, 0});
        ASSERT_EQ(MakeImage(5, s.w, s.h, flat), 1);
        ASSERT_EQ(ScaleImage(5, s.ow, s.oh, 0), 1);
        auto got = ImagePixels(5);
        for (size_t i = 0; i < got.size(); i += 4) {
            ASSERT_EQ(got[i], 200) << "pixel " << i / 4;
            ASSERT_EQ(got[i + 1], 17) << "pixel " << i / 4;
            ASSERT_EQ(got[i + 2], 255) << "pixel " << i / 4;
            ASSERT_EQ(got[i + 3], 0) << "pixel " << i / 4;
        }
    }
    // Thin lines of full white on black and black on white: the cubic's
    // negative lobes push beside them past 0 and 255, which must clamp, not wrap.
    const int w = 60, h = 4;
    std::vector<uint8_t> lines(size_t(w) * h * 4);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const bool bright = x < w / 2 ? x % 6 == 2 : x % 6 != 2;
            for (int c = 0; c < 4; ++c)
                lines[(size_t(y) * w + x) * 4 + c] = bright ? 255 : 0;
        }
    }
    for (int ow : {20, 23, 90, 131}) {
        SCOPED_TRACE("lines to " + std::to_string(ow));
        ASSERT_EQ(MakeImage(5, w, h, lines), 1);
        ASSERT_EQ(ScaleImage(5, ow, 3, 0), 1);
        ExpectClose(ImagePixels(5), Reference(lines, w, h, ow, 3));
    }
    ReleaseImage(5);
}

TEST(ScaleImage, PortableAndSimdPassesAgreeExactly) {
    struct Size {
        int w, h, ow, oh;
    };
    // Even and odd windows, and sources narrower than the window (odd last tap).
    for (Size s : {Size{385, 5, 128, 2}, Size{9, 4, 31, 3}, Size{3, 3, 1, 5}, Size{5, 2, 2, 2},
                   Size{1, 3, 6, 2}, Size{1000, 2, 333, 2}, Size{9000, 2, 2, 1}}) {
        SCOPED_TRACE(std::to_string(s.w) + " to " + std::to_string(s.ow));
        auto pixels = RandomPixels(s.w, s.h, unsigned(s.w + s.ow));
        ASSERT_EQ(MakeImage(6, s.w, s.h, pixels), 1);
        ASSERT_EQ(ScaleImage(6, s.ow, s.oh, 0), 1);
        const auto simd = ImagePixels(6);
        detail::UsePortableScalingForTesting(true);
        ASSERT_EQ(MakeImage(6, s.w, s.h, pixels), 1);
        ASSERT_EQ(ScaleImage(6, s.ow, s.oh, 0), 1);
        detail::UsePortableScalingForTesting(false);
        EXPECT_EQ(ImagePixels(6), simd);
    }
    ReleaseImage(6);
}

TEST(ScaleImage, RawModeTakesThePixelUnderEachCentre) {
    std::vector<uint8_t> pixels;
    for (int i = 0; i < 4; ++i)
        pixels.insert(pixels.end(), {uint8_t(i), 0, 0, 255});
    ASSERT_EQ(MakeImage(1, 4, 1, pixels), 1);
    ASSERT_EQ(ScaleImage(1, 8, 2, 1), 1);
    auto got = ImagePixels(1);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(got[(y * 8 + x) * 4], x / 2);
    }
    ASSERT_EQ(ScaleImage(1, 2, 1, 1), 1);
    got = ImagePixels(1);
    // Output centres 0.5 and 1.5 of 2 lie over source pixels 2 and 6 of 8.
    EXPECT_EQ(got[0], 1);
    EXPECT_EQ(got[4], 3);
}

TEST(ScaleImage, KeepsDimensionsAndRefusesBadSizes) {
    ASSERT_EQ(MakeImage(1, 6, 4, RandomPixels(6, 4, 1)), 1);
    auto before = ImagePixels(1);
    EXPECT_EQ(ScaleImage(1, 6, 4, 0), 1);
    EXPECT_EQ(ImagePixels(1), before);
    EXPECT_EQ(ScaleImage(1, -1, -1, 0), 1);
    EXPECT_EQ(ScaleImage(1, 12, -1, 0), 1);
    EXPECT_EQ(ImagePixelWidth(1), 12);
    EXPECT_EQ(ImagePixelHeight(1), 4);
    EXPECT_EQ(ScaleImage(1, 0, 4, 0), 0);
    EXPECT_EQ(ScaleImage(1, -5, 4, 0), 0);
    EXPECT_EQ(ScaleImage(1, 20000, 4, 0), 0);
    EXPECT_EQ(ScaleImage(9, 5, 5, 0), 0);
    EXPECT_EQ(ImagePixelWidth(1), 12);
    ReleaseImage(-1);
    EXPECT_EQ(ImagePixelWidth(1), 0);
}

// A w x h RGBA PNG of the given pixels (BGRA in, as the decoder gives them).
Bytes PngOf(int w, int h, const std::vector<uint8_t>& bgra, bool interlace) {
    PngSpec s;
    s.width = w;
    s.height = h;
    s.bit_depth = 8;
    s.colour_type = 6;
    s.interlace = interlace;
    for (size_t i = 0; i < bgra.size(); i += 4) {
        s.samples.insert(s.samples.end(), {bgra[i + 2], bgra[i + 1], bgra[i], bgra[i + 3]});
    }
    return test_pictures::MakePng(s);
}

// Decoding straight to a size gives the bytes of decoding and then scaling,
// wherever ScaleImage's own pass order is rows first (every proportional
// reduction of the pack's pictures is): the row-by-row path streams the same
// arithmetic through its ring of rows. Interlaced PNGs and BMPs come whole and
// are scaled after; the natural size is a plain decode; bad sizes fail.
TEST(DecodeImageScaled, SameBytesAsDecodeThenScale) {
    struct Size {
        int w, h, ow, oh;
    };
    for (Size s :
         {Size{64, 36, 21, 12}, Size{97, 61, 32, 21}, Size{40, 30, 13, 10}, Size{30, 50, 10, 17},
          Size{12, 9, 31, 24}, Size{64, 5, 9, 1}, Size{7, 7, 7, 7}, Size{200, 120, 3, 2}}) {
        for (bool interlace : {false, true}) {
            SCOPED_TRACE(std::to_string(s.w) + "x" + std::to_string(s.h) + " to " +
                         std::to_string(s.ow) + "x" + std::to_string(s.oh) +
                         (interlace ? " interlaced" : ""));
            const auto pixels = RandomPixels(s.w, s.h, unsigned(s.w * 7 + s.h));
            const Bytes png = PngOf(s.w, s.h, pixels, interlace);
            ASSERT_EQ(DecodeImageSized(1, png.data(), int64_t(png.size())), 1);
            ASSERT_EQ(ScaleImage(1, s.ow, s.oh, 0), 1);
            ASSERT_EQ(DecodeImageScaledSized(2, png.data(), int64_t(png.size()), s.ow, s.oh), 1);
            EXPECT_EQ(ImagePixelWidth(2), s.ow);
            EXPECT_EQ(ImagePixelHeight(2), s.oh);
            EXPECT_EQ(ImagePixels(2), ImagePixels(1));
            int w = 0, h = 0;
            EXPECT_EQ(PictureHeaderSize(png.data(), int64_t(png.size()), &w, &h), 1);
            EXPECT_EQ(w * 10000 + h, s.w * 10000 + s.h);
        }
    }
    const auto pixels = RandomPixels(9, 5, 3);
    Bytes bmp = test_pictures::MakeBmp(9, 5, pixels, 32);
    ASSERT_EQ(DecodeImageScaledSized(3, bmp.data(), int64_t(bmp.size()), 4, 2), 1);
    ASSERT_EQ(MakeImage(4, 9, 5, pixels), 1);
    ASSERT_EQ(ScaleImage(4, 4, 2, 0), 1);
    EXPECT_EQ(ImagePixels(3), ImagePixels(4));
    int w = 0, h = 0;
    EXPECT_EQ(PictureHeaderSize(bmp.data(), int64_t(bmp.size()), &w, &h), 1);
    EXPECT_EQ(w * 10000 + h, 9 * 10000 + 5);

    // A picture cut short fails whole, and no size outside 1..16384 is made.
    const Bytes png = PngOf(40, 30, RandomPixels(40, 30, 5), false);
    const Bytes cut(png.begin(), png.end() - 300);
    EXPECT_EQ(DecodeImageScaledSized(5, cut.data(), int64_t(cut.size()), 13, 10), 0);
    EXPECT_EQ(DecodeImageScaledSized(5, png.data(), int64_t(png.size()), 0, 10), 0);
    EXPECT_EQ(DecodeImageScaledSized(5, png.data(), int64_t(png.size()), 13, 20000), 0);
    EXPECT_EQ(ImagePixelWidth(5), 0);
    const Bytes text = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'};
    EXPECT_EQ(PictureHeaderSize(text.data(), int64_t(text.size()), &w, &h), 0);
    ReleaseImage(-1);
}

// Every picture of the built pack, decoded straight to the size it takes at
// 1280 x 720, 1920 x 1080 and 3840 x 2160 (the backgrounds at the screen's
// width, the others by the same share of their width) against decoding whole
// and scaling: per channel a mean difference under 1 level and none of 8.
TEST(DecodeImageScaled, PackPicturesLookAsBefore) {
    const char* dir = std::getenv("MNEMORA_GAME_DIR");
    const std::string path = dir ? std::string(dir) + "/Mnemora.data" : "";
    const int pack = path.empty() ? 0 : OpenArchive(AutoId, path, kArchivePack);
    if (!pack) GTEST_SKIP() << "no built pack";
    std::vector<std::pair<std::string, Bytes>> pictures;
    ListArchive(pack);
    while (NextArchiveEntry(pack)) {
        const std::string name = ArchiveEntryName(pack);
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".png") != 0) continue;
        int64_t unpacked = 0, stored = 0;
        ArchiveEntrySizes(pack, &unpacked, &stored);
        Bytes bytes(size_t(unpacked), 0);
        ASSERT_EQ(ReadArchiveEntry(pack, bytes.data(), unpacked, name), unpacked) << name;
        pictures.emplace_back(name, std::move(bytes));
    }
    CloseArchive(pack);
    ASSERT_GT(pictures.size(), 40u);
    double worst_mean = 0;
    int worst_any = 0;
    for (const auto& [name, bytes] : pictures) {
        int w = 0, h = 0;
        ASSERT_EQ(PictureHeaderSize(bytes.data(), int64_t(bytes.size()), &w, &h), 1) << name;
        for (int screen : {1280, 1920, 3840}) {
            const bool background = w >= 3840;
            const int ow = background ? screen : std::max(1, int(std::lround(w * screen / 3840.0)));
            const int oh = std::max(1, int(std::lround(double(h) / w * ow)));
            if (ow == w && oh == h) continue;  // the natural size: both are the plain decode
            SCOPED_TRACE(name + " to " + std::to_string(ow) + "x" + std::to_string(oh));
            ASSERT_EQ(DecodeImageSized(1, bytes.data(), int64_t(bytes.size())), 1);
            ASSERT_EQ(ScaleImage(1, ow, oh, 0), 1);
            ASSERT_EQ(DecodeImageScaledSized(2, bytes.data(), int64_t(bytes.size()), ow, oh), 1);
            const auto want = ImagePixels(1), got = ImagePixels(2);
            ASSERT_EQ(got.size(), want.size());
            double sum[4] = {0, 0, 0, 0};
            int worst = 0;
            for (size_t i = 0; i < got.size(); ++i) {
                const int diff = std::abs(int(got[i]) - int(want[i]));
                sum[i % 4] += diff;
                worst = std::max(worst, diff);
            }
            for (double channel : sum) {
                EXPECT_LT(channel / double(got.size() / 4), 1.0);
                worst_mean = std::max(worst_mean, channel / double(got.size() / 4));
            }
            EXPECT_LT(worst, 8);
            worst_any = std::max(worst_any, worst);
        }
    }
    std::printf("%zu pictures: largest mean difference %.4f, largest difference %d\n",
                pictures.size(), worst_mean, worst_any);
    ReleaseImage(-1);
}

TEST(ImageObjects, DecodeFromBlocksFilesAndJunk) {
    Bytes bmp = test_pictures::MakeBmp(3, 2, Bytes(24, 9), 32);
    uint8_t* block = AllocBlock(int64_t(bmp.size()));
    std::copy(bmp.begin(), bmp.end(), block);
    EXPECT_EQ(DecodeImage(0, block), 1);
    FreeBlock(block);
    EXPECT_EQ(ImagePixelWidth(0), 3);
    EXPECT_NE(ImageBitmapHandle(0), 0);  // image 0 still gets a nonzero handle
    EXPECT_EQ(ImagePixels(0), Bytes(24, 9));
    EXPECT_EQ(DecodeImage(0, nullptr), 0);
    EXPECT_EQ(ImagePixelWidth(0), 0);  // a failed decode leaves the number empty
    EXPECT_EQ(ImageBitmapHandle(0), 0);
    EXPECT_EQ(LoadImageFile(2, "/nonexistent/picture.png"), 0);
    EXPECT_EQ(DecodeImageSized(kMaxObjectNumber, bmp.data(), int64_t(bmp.size())), 0);
    detail::PixelView view;
    EXPECT_FALSE(detail::ImagePixelView(0, &view));
    EXPECT_FALSE(detail::ImagePixelView(12345, &view));
}

}  // namespace
