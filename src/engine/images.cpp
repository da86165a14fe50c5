// Picture decoding (PNG through libpng, BMP by hand) and image objects: decoded
// pictures in memory that the game scales and blits onto sprites.
//
// Every decoder treats its input as hostile: sizes are checked against the
// limits and against what the data can possibly hold before anything is
// allocated, and libpng's error jumps never cross a frame that owns a C++
// object (RunPng keeps all its state in a plain struct that the caller frees).
#include <png.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <mutex>
#include <new>

#include "engine/display.h"
#include "engine/display_internal.h"
#include "engine/memory.h"
#include "engine/pixels_internal.h"
#include "engine/platform/platform.h"

namespace engine {
namespace detail {

namespace {

// Deflate cannot expand data by more than about 1032 to 1; a picture that
// claims more pixel bytes than its data could inflate to is lying about its
// size, and is refused before its pixels are allocated.
constexpr uint64_t kMaxInflateRatio = 1100;
int64_t g_max_pixels = int64_t{kMaxPictureSide} * kMaxPictureSide;

uint32_t ReadU32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
uint16_t ReadU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

bool SizeAllowed(uint64_t width, uint64_t height) {
    return width >= 1 && height >= 1 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
           static_cast<int64_t>(width * height) <= g_max_pixels;
}

// ---------------------------------------------------------------------------
// PNG

struct PngJob {
    const uint8_t* data;
    size_t size;
    size_t pos;
    png_structp png;
    png_infop info;
    uint32_t width;
    uint32_t height;
    bool interlaced;
};

void PngReadData(png_structp png, png_bytep out, size_t count) {
    auto* job = static_cast<PngJob*>(png_get_io_ptr(png));
    if (count > job->size - job->pos) png_error(png, "truncated");
    std::memcpy(out, job->data + job->pos, count);
    job->pos += count;
}

// Whether every chunk header from the signature on declares no more data than
// the bytes left after it. libpng only warns about a chunk over its
// chunk_malloc_max (its benign errors are warnings when reading), and then
// allocates the declared length anyway: one ancillary chunk claiming 1.6 GB in
// a 135-byte file made it try. The whole file is in memory, so a chunk longer
// than what remains can only be a lie, and the picture is refused before
// libpng sees it.
bool PngChunksFit(const uint8_t* data, size_t size) {
    size_t pos = 8;
    while (size - pos >= 8) {
        const uint32_t length = uint32_t{data[pos]} << 24 | uint32_t{data[pos + 1]} << 16 |
                                uint32_t{data[pos + 2]} << 8 | uint32_t{data[pos + 3]};
        const size_t left = size - pos - 8;
        if (length > left) return false;
        if (std::memcmp(data + pos + 4, "IEND", 4) == 0) return true;
        pos += 8 + size_t{length};
        if (size - pos < 4) return true;  // the CRC's absence is libpng's to judge
        pos += 4;
    }
    return true;
}

// libpng's own allocations (row buffers, zlib state, chunk data) stay far below
// this for any picture the decoder accepts; a request above it is refused, so
// no path through libpng can be talked into a huge block by a hostile length.
constexpr size_t kMaxPngAllocation = size_t{16} << 20;
thread_local size_t t_largest_png_request = 0;

png_voidp PngMalloc(png_structp, png_alloc_size_t bytes) {
    t_largest_png_request = std::max(t_largest_png_request, size_t{bytes});
    return bytes <= kMaxPngAllocation ? std::malloc(bytes) : nullptr;
}
void PngFree(png_structp, png_voidp block) {
    std::free(block);
}

void PngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void PngWarning(png_structp, png_const_charp) {}

// The libpng work, in three steps that each catch libpng's error jump
// themselves: nothing in them owns a resource, so a longjmp back to their
// setjmp loses nothing; buffers are made by the caller between the steps.

// Reads the header, checks the size against the limits and the data, and sets
// the transforms to 8-bit BGRA rows.
int PngReadHeader(PngJob* job) {
    png_structp png = job->png;
    png_infop info = job->info;
    if (setjmp(png_jmpbuf(png))) return 0;
    png_set_read_fn(png, job, PngReadData);
    png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
    png_set_chunk_malloc_max(png, 8u << 20);
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int bit_depth = 0, color_type = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &bit_depth, &color_type, &interlace, nullptr, nullptr);
    if (!SizeAllowed(width, height)) return 0;
    // The smallest the stored rows can be is one bit per pixel sample.
    uint64_t channels = png_get_channels(png, info);
    uint64_t packed = uint64_t{height} * ((uint64_t{width} * channels * bit_depth + 7) / 8);
    if (packed > uint64_t{job->size} * kMaxInflateRatio) return 0;

    png_set_expand(png);  // palette to RGB, grey below 8 bits to 8, tRNS to alpha
    if (bit_depth == 16) png_set_scale_16(png);
    if (color_type == PNG_COLOR_TYPE_GRAY || color_type == PNG_COLOR_TYPE_GRAY_ALPHA) {
        png_set_gray_to_rgb(png);
    }
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);  // opaque alpha where there is none
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    if (png_get_rowbytes(png, info) != size_t{width} * 4) return 0;
    job->width = width;
    job->height = height;
    job->interlaced = interlace != PNG_INTERLACE_NONE;
    return 1;
}

// Every row at once, into the caller's row pointers (any interlace).
int PngReadWhole(PngJob* job, png_bytep* rows) {
    if (setjmp(png_jmpbuf(job->png))) return 0;
    png_read_image(job->png, rows);
    return 1;
}

// A non-interlaced picture's rows one by one: each is read into sink.Row()
// (width * 4 bytes) and handed to sink.Take before the next is read.
template <typename Sink>
int PngReadRows(PngJob* job, Sink* sink) {
    if (setjmp(png_jmpbuf(job->png))) return 0;
    for (uint32_t y = 0; y < job->height; ++y) {
        uint8_t* row = sink->Row();
        png_read_row(job->png, row, nullptr);
        sink->Take(row);
    }
    return 1;
}

// ---------------------------------------------------------------------------
// BMP

struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;
};

Channel MakeChannel(uint32_t mask) {
    Channel c;
    c.mask = mask;
    if (!mask) return c;
    while (!((mask >> c.shift) & 1))
        ++c.shift;
    c.max = mask >> c.shift;
    return c;
}

uint8_t Extract(const Channel& c, uint32_t pixel, uint8_t absent) {
    if (!c.mask) return absent;
    uint32_t v = (pixel & c.mask) >> c.shift;
    if (c.max == 255) return static_cast<uint8_t>(v);
    return static_cast<uint8_t>((uint64_t{v} * 255 + c.max / 2) / c.max);
}

// ---------------------------------------------------------------------------
// Scaling

// The cubic of Mitchell and Netravali with B = C = 1/3.
double Cubic(double x) {
    constexpr double B = 1.0 / 3.0, C = 1.0 / 3.0;
    x = std::fabs(x);
    if (x < 1.0) {
        return ((12 - 9 * B - 6 * C) * x * x * x + (-18 + 12 * B + 6 * C) * x * x + (6 - 2 * B)) /
               6.0;
    }
    if (x < 2.0) {
        return ((-B - 6 * C) * x * x * x + (6 * B + 30 * C) * x * x + (-12 * B - 48 * C) * x +
                (8 * B + 24 * C)) /
               6.0;
    }
    return 0.0;
}

// Fixed-point resampling. Each output sample reads `count` consecutive source
// samples from first[i] on, with integer weights that sum to exactly
// 1 << kWeightBits, so a flat area stays exactly flat. Taps that would fall
// outside the source are folded onto the edge sample they are clamped to, which
// keeps every window contiguous and the same length. The weights come from the
// filter in double once per column or row; the per-pixel work is integer only.
//
// 22 fraction bits keep the sum of 13 rounded taps within a few ten-thousandths
// of a level of the exact value, so results round as the exact filter does but
// for near-ties. The sum of a sample's positive weights stays below 1.1 (the
// cubic's negative lobes are small), so 255 times it plus the rounding half
// stays far inside int32_t.
constexpr int kWeightBits = 22;
constexpr int32_t kWeightOne = int32_t{1} << kWeightBits;
constexpr int32_t kWeightHalf = kWeightOne >> 1;

struct Taps {
    int count = 0;                // taps per output sample
    std::vector<int> first;       // first source sample of output i
    std::vector<int32_t> weight;  // count weights per output sample
    // The same weights in SIMD form: each weight split into a
    // high part (weight >> 11) and a low part (0 to 2047), both 16-bit, and two
    // neighbouring taps' parts packed in one 32-bit word (PairCount words per
    // output sample). high * 2048 + low gives back the weight exactly, so both
    // forms produce the same result.
    std::vector<uint32_t> high_pairs;
    std::vector<uint32_t> low_pairs;
};

constexpr int kLowBits = 11;

// Weight pairs per output sample; an odd count's last pair has a zero second weight.
int PairCount(const Taps& taps) {
    return (taps.count + 1) / 2;
}

uint32_t PackPair(int32_t first, int32_t second) {
    return uint32_t(uint16_t(int16_t(first))) | uint32_t(uint16_t(int16_t(second))) << 16;
}

Taps MakeTaps(int in, int out) {
    Taps taps;
    const double scale = static_cast<double>(out) / in;
    const double widen = scale < 1.0 ? scale : 1.0;  // the filter is stretched by 1/scale
    const double support = 2.0 / widen;
    // The widest window any output sample can need, made even for the paired
    // SIMD taps and bounded by the source.
    const int reach = static_cast<int>(std::ceil(2.0 * support)) + 2;
    taps.count = std::min(in, (reach + 1) & ~1);
    taps.first.resize(out);
    taps.weight.assign(size_t(out) * taps.count, 0);
    std::vector<double> exact(taps.count);
    for (int i = 0; i < out; ++i) {
        const double centre = (i + 0.5) / scale - 0.5;
        const int lo = static_cast<int>(std::floor(centre - support));
        const int hi = static_cast<int>(std::ceil(centre + support));
        // The window starts at the first in-range sample of the filter's reach
        // and is moved left where it would run past the last source sample.
        const int first = std::clamp(std::max(lo, 0), 0, in - taps.count);
        taps.first[i] = first;
        std::fill(exact.begin(), exact.end(), 0.0);
        double total = 0.0;
        for (int j = lo; j <= hi; ++j) {
            const double k = Cubic((j - centre) * widen);
            if (k == 0.0) continue;
            const int at = std::clamp(j, 0, in - 1) - first;
            exact[at] += k;  // in range: the window holds every clamped index
            total += k;
        }
        if (total == 0.0) continue;  // no tap reaches: the sample stays 0
        int32_t* w = &taps.weight[size_t(i) * taps.count];
        int32_t sum = 0;
        int largest = 0;
        for (int t = 0; t < taps.count; ++t) {
            w[t] = static_cast<int32_t>(std::lround(exact[t] / total * kWeightOne));
            sum += w[t];
            if (std::abs(w[t]) > std::abs(w[largest])) largest = t;
        }
        w[largest] += kWeightOne - sum;  // the rounding slack goes where it matters least
    }
    const int pairs = PairCount(taps);
    taps.high_pairs.resize(size_t(out) * pairs);
    taps.low_pairs.resize(size_t(out) * pairs);
    for (int i = 0; i < out; ++i) {
        const int32_t* w = &taps.weight[size_t(i) * taps.count];
        for (int k = 0; k < pairs; ++k) {
            const int32_t a = w[2 * k], b = 2 * k + 1 < taps.count ? w[2 * k + 1] : 0;
            const int32_t a_high = a >> kLowBits, b_high = b >> kLowBits;
            taps.high_pairs[size_t(i) * pairs + k] = PackPair(a_high, b_high);
            taps.low_pairs[size_t(i) * pairs + k] =
                PackPair(a - (a_high << kLowBits), b - (b_high << kLowBits));
        }
    }
    return taps;
}

uint8_t ClampByte(int32_t acc) {
    return static_cast<uint8_t>(std::clamp(acc >> kWeightBits, 0, 255));
}

// One output pixel of the row pass: `count` weights over the pixels from p on.
void RowPixel(const uint8_t* p, const int32_t* k, int count, uint8_t* out) {
    int32_t b = kWeightHalf, g = kWeightHalf, r = kWeightHalf, a = kWeightHalf;
    for (int t = 0; t < count; ++t, p += 4) {
        b += k[t] * p[0];
        g += k[t] * p[1];
        r += k[t] * p[2];
        a += k[t] * p[3];
    }
    out[0] = ClampByte(b);
    out[1] = ClampByte(g);
    out[2] = ClampByte(r);
    out[3] = ClampByte(a);
}

#if defined(__SSE2__)
// The same pixel two taps at a time: the two pixels' channels are interleaved
// into 16-bit lanes (b0 b1 g0 g1 r0 r1 a0 a1) so one multiply-add per weight
// part gives each channel's sum of both taps. An odd last tap (only when the
// source is narrower than the window) is added on its own. On very long windows
// (extreme reductions) the partial sums of the parts can wrap, but the lanes
// add modulo 2^32 and the exact total fits int32_t, so the result is exact.
void RowPixelSse2(const uint8_t* p, const Taps& taps, int i, uint8_t* out) {
    const int count = taps.count;
    const int pairs = count / 2;  // whole pairs; an odd last tap follows
    const uint32_t* high = &taps.high_pairs[size_t(i) * PairCount(taps)];
    const uint32_t* low = &taps.low_pairs[size_t(i) * PairCount(taps)];
    const __m128i zero = _mm_setzero_si128();
    __m128i acc_high = zero, acc_low = zero;
    for (int k = 0; k < pairs; ++k, p += 8) {
        const __m128i two = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
        const __m128i mixed = _mm_unpacklo_epi8(two, _mm_srli_si128(two, 4));
        const __m128i wide = _mm_unpacklo_epi8(mixed, zero);
        acc_high = _mm_add_epi32(acc_high,
                                 _mm_madd_epi16(wide, _mm_set1_epi32(static_cast<int>(high[k]))));
        acc_low =
            _mm_add_epi32(acc_low, _mm_madd_epi16(wide, _mm_set1_epi32(static_cast<int>(low[k]))));
    }
    __m128i acc = _mm_add_epi32(_mm_slli_epi32(acc_high, kLowBits), acc_low);
    acc = _mm_add_epi32(acc, _mm_set1_epi32(kWeightHalf));
    if (count & 1) {
        const int32_t w = taps.weight[size_t(i) * count + count - 1];
        uint32_t last;
        std::memcpy(&last, p, 4);
        const __m128i px = _mm_unpacklo_epi16(
            _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(last)), zero), zero);
        // 32-bit products from the 16-bit halves of the weight, as above.
        const int32_t w_high = w >> kLowBits, w_low = w - (w_high << kLowBits);
        const __m128i part_high = _mm_madd_epi16(px, _mm_set1_epi32(w_high & 0xFFFF));
        const __m128i part_low = _mm_madd_epi16(px, _mm_set1_epi32(w_low));
        acc = _mm_add_epi32(acc, _mm_add_epi32(_mm_slli_epi32(part_high, kLowBits), part_low));
    }
    acc = _mm_srai_epi32(acc, kWeightBits);
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(acc, zero), zero);  // clamps to 0..255
    const uint32_t value = static_cast<uint32_t>(_mm_cvtsi128_si32(bytes));
    std::memcpy(out, &value, 4);
}
#endif

bool g_portable_rows = false;

// Resamples each of the h rows of `w` pixels to taps' output count.
void ScaleRows(const uint8_t* src, int w, int h, uint8_t* dst, int out_w, const Taps& taps) {
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = src + size_t(y) * w * 4;
        uint8_t* out = dst + size_t(y) * out_w * 4;
#if defined(__SSE2__)
        if (!g_portable_rows) {
            for (int i = 0; i < out_w; ++i, out += 4)
                RowPixelSse2(row + size_t(taps.first[i]) * 4, taps, i, out);
            continue;
        }
#endif
        for (int i = 0; i < out_w; ++i, out += 4) {
            RowPixel(row + size_t(taps.first[i]) * 4, &taps.weight[size_t(i) * taps.count],
                     taps.count, out);
        }
    }
}

#if defined(__SSE2__)
// One output row of the column pass, 16 bytes at a time: the bytes of the two
// source rows of each weight pair are interleaved into 16-bit lanes, so one
// multiply-add per weight part sums both rows for four bytes. `rows` holds the
// taps.count source rows of the window. Returns how many bytes of the row it
// did (a multiple of 16); the rest is left to the caller.
size_t ColumnRowSse2(const uint8_t* const* rows, size_t pitch, const Taps& taps, int i,
                     uint8_t* out) {
    const int pairs = PairCount(taps);
    const uint32_t* high = &taps.high_pairs[size_t(i) * pairs];
    const uint32_t* low = &taps.low_pairs[size_t(i) * pairs];
    const __m128i zero = _mm_setzero_si128();
    const __m128i half = _mm_set1_epi32(kWeightHalf);
    size_t x = 0;
    for (; x + 16 <= pitch; x += 16) {
        __m128i hi[4] = {zero, zero, zero, zero};
        __m128i lo[4] = {zero, zero, zero, zero};
        for (int k = 0; k < pairs; ++k) {
            const uint8_t* r0 = rows[2 * k];
            const uint8_t* r1 = 2 * k + 1 < taps.count ? rows[2 * k + 1] : r0;  // zero weight
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r0 + x));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r1 + x));
            const __m128i wh = _mm_set1_epi32(static_cast<int>(high[k]));
            const __m128i wl = _mm_set1_epi32(static_cast<int>(low[k]));
            const __m128i mixed[2] = {_mm_unpacklo_epi8(a, b), _mm_unpackhi_epi8(a, b)};
            for (int m = 0; m < 2; ++m) {
                const __m128i w0 = _mm_unpacklo_epi8(mixed[m], zero);
                const __m128i w1 = _mm_unpackhi_epi8(mixed[m], zero);
                hi[2 * m] = _mm_add_epi32(hi[2 * m], _mm_madd_epi16(w0, wh));
                lo[2 * m] = _mm_add_epi32(lo[2 * m], _mm_madd_epi16(w0, wl));
                hi[2 * m + 1] = _mm_add_epi32(hi[2 * m + 1], _mm_madd_epi16(w1, wh));
                lo[2 * m + 1] = _mm_add_epi32(lo[2 * m + 1], _mm_madd_epi16(w1, wl));
            }
        }
        __m128i sums[4];
        for (int q = 0; q < 4; ++q) {
            const __m128i acc = _mm_add_epi32(_mm_slli_epi32(hi[q], kLowBits), lo[q]);
            sums[q] = _mm_srai_epi32(_mm_add_epi32(acc, half), kWeightBits);
        }
        const __m128i bytes =
            _mm_packus_epi16(_mm_packs_epi32(sums[0], sums[1]), _mm_packs_epi32(sums[2], sums[3]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), bytes);
    }
    return x;
}
#endif

// Output row i of the column pass from the taps.count source rows of its
// window, `pitch` bytes each; `acc` holds pitch sums of scratch.
void ColumnRow(const uint8_t* const* rows, size_t pitch, const Taps& taps, int i, uint8_t* out,
               int32_t* acc) {
    size_t done = 0;
#if defined(__SSE2__)
    if (!g_portable_rows) done = ColumnRowSse2(rows, pitch, taps, i, out);
#endif
    std::fill(acc + done, acc + pitch, kWeightHalf);
    const int32_t* k = &taps.weight[size_t(i) * taps.count];
    for (int t = 0; t < taps.count; ++t) {
        if (k[t] == 0) continue;
        const uint8_t* row = rows[t];
        const int32_t weight = k[t];
        for (size_t x = done; x < pitch; ++x)
            acc[x] += weight * row[x];
    }
    for (size_t x = done; x < pitch; ++x)
        out[x] = ClampByte(acc[x]);
}

// Resamples the columns of a picture `w` pixels wide to taps' output count of rows.
void ScaleColumns(const uint8_t* src, int w, uint8_t* dst, int out_h, const Taps& taps) {
    const size_t pitch = size_t(w) * 4;
    std::vector<int32_t> acc(pitch);
    std::vector<const uint8_t*> rows(taps.count);
    for (int i = 0; i < out_h; ++i) {
        for (int t = 0; t < taps.count; ++t)
            rows[t] = src + size_t(taps.first[i] + t) * pitch;
        ColumnRow(rows.data(), pitch, taps, i, dst + size_t(i) * pitch, acc.data());
    }
}

// The smooth scaling of a picture that arrives one source row at a time: each
// row is resampled across into a ring of the last taps.count resampled rows,
// and every output row whose window the ring then holds is made at once. The
// arithmetic is the row-first order of ScaleImage's, so the bytes are the
// same; the memory is the output plus a few rows.
class StreamScaler {
  public:
    StreamScaler(int in_w, int in_h, int out_w, int out_h, uint8_t* out)
        : across_(MakeTaps(in_w, out_w)),
          down_(MakeTaps(in_h, out_h)),
          in_w_(in_w),
          out_w_(out_w),
          out_h_(out_h),
          pitch_(size_t(out_w) * 4),
          ring_(size_t(down_.count) * pitch_),
          window_(down_.count),
          acc_(pitch_),
          source_(size_t(in_w) * 4),
          out_(out) {}

    uint8_t* Row() { return source_.data(); }

    // Takes source row number `received_` (in_w pixels); never throws.
    void Take(const uint8_t* row) {
        const int r = received_++;
        ScaleRows(row, in_w_, 1, Slot(r), out_w_, across_);
        while (made_ < out_h_ && down_.first[made_] + down_.count - 1 <= r) {
            // Output rows are made as soon as their window is in, so the
            // window is always the last taps.count rows taken.
            for (int t = 0; t < down_.count; ++t)
                window_[t] = Slot(down_.first[made_] + t);
            ColumnRow(window_.data(), pitch_, down_, made_, out_ + size_t(made_) * pitch_,
                      acc_.data());
            ++made_;
        }
    }
    bool Done() const { return made_ == out_h_; }

  private:
    uint8_t* Slot(int source_row) {
        return ring_.data() + size_t(source_row % down_.count) * pitch_;
    }

    Taps across_, down_;
    int in_w_, out_w_, out_h_;
    size_t pitch_;
    std::vector<uint8_t> ring_;
    std::vector<const uint8_t*> window_;
    std::vector<int32_t> acc_;
    std::vector<uint8_t> source_;  // the row being read
    uint8_t* out_;
    int received_ = 0;
    int made_ = 0;
};

// Rows read straight into a picture's own rows.
struct RowWriter {
    uint8_t* next;
    size_t pitch;
    uint8_t* Row() {
        uint8_t* row = next;
        next += pitch;
        return row;
    }
    void Take(const uint8_t*) {}
};

// Pixel buffers of pictures that are done with (released images, pictures
// uploaded into sprites), kept for the next picture: start-up decodes picture
// after picture of the same few sizes, and a kept buffer is neither faulted in
// nor zeroed again. Shared with the decoding-ahead worker, so locked.
class SparePixels {
  public:
    std::vector<uint8_t> Take(size_t bytes) {
        std::vector<uint8_t> buffer;
        // A small request would tie up a kept buffer a later picture needs.
        if (bytes >= kSmallest) {
            std::lock_guard lock(mutex_);
            // The smallest kept buffer that holds it.
            auto best = spares_.end();
            for (auto it = spares_.begin(); it != spares_.end(); ++it) {
                if (it->capacity() >= bytes &&
                    (best == spares_.end() || it->capacity() < best->capacity())) {
                    best = it;
                }
            }
            if (best != spares_.end()) {
                buffer = std::move(*best);
                spares_.erase(best);
                kept_bytes_ -= buffer.capacity();
            }
        }
        buffer.resize(bytes);  // only a grown tail is zeroed
        return buffer;
    }
    void Give(std::vector<uint8_t>&& buffer) {
        if (buffer.capacity() < kSmallest) return;
        std::lock_guard lock(mutex_);
        if (spares_.size() >= kMaxSpares || kept_bytes_ + buffer.capacity() > kMaxKeptBytes) return;
        kept_bytes_ += buffer.capacity();
        spares_.push_back(std::move(buffer));
    }
    bool Drop() {
        std::vector<std::vector<uint8_t>> gone;
        std::lock_guard lock(mutex_);
        gone.swap(spares_);
        kept_bytes_ = 0;
        return !gone.empty();
    }

  private:
    // Small buffers come quickly from the allocator's own free lists.
    static constexpr size_t kSmallest = size_t{256} << 10;
    static constexpr size_t kMaxSpares = 3;
    static constexpr size_t kMaxKeptBytes = size_t{100} << 20;
    std::mutex mutex_;
    std::vector<std::vector<uint8_t>> spares_;
    size_t kept_bytes_ = 0;
};

SparePixels& Spares() {
    static auto* spares = new SparePixels;  // never destroyed: no exit-order issues
    return *spares;
}

// Resamples the picture to width x height: nearest pixel (mode nonzero) or the
// separable cubic, in whichever pass order keeps the intermediate smaller.
// Throws std::bad_alloc when memory runs out, leaving the picture as it was.
bool Resample(Picture* picture, int width, int height, int mode) {
    Picture& pic = *picture;
    std::vector<uint8_t> result = TakePixels(size_t(width) * size_t(height) * 4);
    if (mode != 0) {
        // Nearest pixel: each output pixel takes the source pixel under its centre.
        for (int y = 0; y < height; ++y) {
            int sy = static_cast<int>((int64_t{2} * y + 1) * pic.height / (int64_t{2} * height));
            for (int x = 0; x < width; ++x) {
                int sx = static_cast<int>((int64_t{2} * x + 1) * pic.width / (int64_t{2} * width));
                std::memcpy(&result[(size_t(y) * width + x) * 4],
                            &pic.bgra[(size_t(sy) * pic.width + sx) * 4], 4);
            }
        }
    } else {
        Taps across = MakeTaps(pic.width, width);
        Taps down = MakeTaps(pic.height, height);
        // Whichever order keeps the intermediate picture smaller.
        bool rows_first = int64_t{width} * pic.height <= int64_t{pic.width} * height;
        if (rows_first) {
            std::vector<uint8_t> mid = TakePixels(size_t(width) * size_t(pic.height) * 4);
            ScaleRows(pic.bgra.data(), pic.width, pic.height, mid.data(), width, across);
            ScaleColumns(mid.data(), width, result.data(), height, down);
            GivePixels(std::move(mid));
        } else {
            std::vector<uint8_t> mid = TakePixels(size_t(pic.width) * size_t(height) * 4);
            ScaleColumns(pic.bgra.data(), pic.width, mid.data(), height, down);
            ScaleRows(mid.data(), pic.width, height, result.data(), width, across);
            GivePixels(std::move(mid));
        }
    }
    GivePixels(std::move(pic.bgra));
    pic.bgra = std::move(result);
    pic.width = width;
    pic.height = height;
    return true;
}

ObjectTable<Image>& Images() {
    static auto* table = new ObjectTable<Image>;  // never destroyed: no exit-order issues
    return *table;
}

}  // namespace

bool ResamplePicture(Picture* picture, int width, int height) {
    if (width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide)
        return false;
    if (width == picture->width && height == picture->height) return true;
    try {
        return Resample(picture, width, height, 0);
    } catch (const std::bad_alloc&) {
        return false;  // the picture stays as it was
    }
}

void SetPictureLimitForTesting(int64_t pixels) {
    g_max_pixels = pixels;
}

size_t LargestPngRequestForTesting() {
    return t_largest_png_request;
}

void UsePortableScalingForTesting(bool portable) {
    g_portable_rows = portable;
}

namespace {

// The pixels of a PNG whose header PngReadHeader has read: straight into a
// picture at the natural size, or through StreamScaler to width x height (0:
// natural) when the picture is not interlaced. *scaled tells which. Throws
// std::bad_alloc when memory runs out.
bool ReadPngPixels(PngJob* job, int width, int height, Picture* out, bool* scaled) {
    const int w = static_cast<int>(job->width), h = static_cast<int>(job->height);
    *scaled = width > 0 && height > 0 && (width != w || height != h) && !job->interlaced;
    if (*scaled) {
        out->bgra = TakePixels(size_t(width) * size_t(height) * 4);
        StreamScaler scaler(w, h, width, height, out->bgra.data());
        if (!PngReadRows(job, &scaler) || !scaler.Done()) return false;
        out->width = width;
        out->height = height;
        return true;
    }
    const size_t pitch = size_t(w) * 4;
    out->bgra = TakePixels(pitch * size_t(h));
    if (job->interlaced) {
        std::vector<png_bytep> rows(static_cast<size_t>(h));
        for (int y = 0; y < h; ++y)
            rows[size_t(y)] = out->bgra.data() + size_t(y) * pitch;
        if (!PngReadWhole(job, rows.data())) return false;
    } else {
        RowWriter writer{out->bgra.data(), pitch};
        if (!PngReadRows(job, &writer)) return false;
    }
    out->width = w;
    out->height = h;
    return true;
}

bool DecodePngAt(const uint8_t* data, size_t size, int width, int height, Picture* out,
                 bool* scaled) {
    *out = Picture{};
    *scaled = false;
    if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0) return false;
    t_largest_png_request = 0;
    if (!PngChunksFit(data, size)) return false;
    PngJob job{};
    job.data = data;
    job.size = size;
    job.png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning,
                                       nullptr, PngMalloc, PngFree);
    if (!job.png) return false;
    job.info = png_create_info_struct(job.png);
    bool ok = false;
    if (job.info && PngReadHeader(&job)) {
        try {
            ok = ReadPngPixels(&job, width, height, out, scaled);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    png_destroy_read_struct(&job.png, job.info ? &job.info : nullptr, nullptr);
    if (!ok) *out = Picture{};
    return ok;
}

}  // namespace

bool DecodePng(const uint8_t* data, size_t size, Picture* out) {
    bool scaled = false;
    return DecodePngAt(data, size, 0, 0, out, &scaled);
}

bool DecodeBmp(const uint8_t* data, size_t size, Picture* out) {
    *out = Picture{};
    if (!data || size < 54 || data[0] != 'B' || data[1] != 'M') return false;
    uint32_t offset = ReadU32(data + 10);
    uint32_t header = ReadU32(data + 14);
    if (header < 40 || header > size - 14) return false;
    int32_t width = static_cast<int32_t>(ReadU32(data + 18));
    int32_t raw_height = static_cast<int32_t>(ReadU32(data + 22));
    uint16_t planes = ReadU16(data + 26);
    uint16_t bits = ReadU16(data + 28);
    uint32_t compression = ReadU32(data + 30);
    if (planes != 1 || (bits != 24 && bits != 32)) return false;
    if (raw_height == INT32_MIN || raw_height == 0 || width <= 0) return false;
    bool top_down = raw_height < 0;
    int64_t height = top_down ? -int64_t{raw_height} : raw_height;
    if (!SizeAllowed(static_cast<uint64_t>(width), static_cast<uint64_t>(height))) return false;

    Channel r = MakeChannel(0x00FF0000), g = MakeChannel(0x0000FF00), b = MakeChannel(0x000000FF);
    Channel a = MakeChannel(bits == 32 ? 0xFF000000u : 0);
    if (compression == 3 || compression == 6) {  // bit fields (32 bits only)
        if (bits != 32) return false;
        bool alpha_mask = compression == 6 || header >= 56;
        size_t need = 14 + 40 + (alpha_mask ? 16 : 12);
        if (size < need) return false;
        r = MakeChannel(ReadU32(data + 54));
        g = MakeChannel(ReadU32(data + 58));
        b = MakeChannel(ReadU32(data + 62));
        a = MakeChannel(alpha_mask ? ReadU32(data + 66) : 0);
    } else if (compression != 0) {
        return false;
    }

    uint64_t bytes_pp = bits / 8;
    uint64_t stride = (uint64_t(width) * bits + 31) / 32 * 4;
    uint64_t need = uint64_t{offset} + stride * uint64_t(height - 1) + uint64_t(width) * bytes_pp;
    if (offset < 14 + header || need > size) return false;

    out->bgra = TakePixels(size_t(width) * size_t(height) * 4);
    for (int64_t y = 0; y < height; ++y) {
        int64_t src_row = top_down ? y : height - 1 - y;
        const uint8_t* src = data + offset + stride * uint64_t(src_row);
        uint8_t* dst = out->bgra.data() + size_t(y) * size_t(width) * 4;
        for (int32_t x = 0; x < width; ++x, src += bytes_pp, dst += 4) {
            if (bits == 24) {
                dst[0] = src[0];
                dst[1] = src[1];
                dst[2] = src[2];
                dst[3] = 255;
            } else {
                uint32_t px = ReadU32(src);
                dst[0] = Extract(b, px, 0);
                dst[1] = Extract(g, px, 0);
                dst[2] = Extract(r, px, 0);
                dst[3] = Extract(a, px, 255);
            }
        }
    }
    out->width = width;
    out->height = static_cast<int>(height);
    return true;
}

bool DecodePicture(const uint8_t* data, size_t size, Picture* out) {
    try {
        if (data && size >= 8 && png_sig_cmp(data, 0, 8) == 0) return DecodePng(data, size, out);
        return DecodeBmp(data, size, out);
    } catch (const std::bad_alloc&) {  // out of memory is a failed decode, not a crash
        *out = Picture{};
        return false;
    }
}

bool DecodePictureScaled(const uint8_t* data, size_t size, int width, int height, Picture* out) {
    try {
        bool scaled = false;
        const bool png = data && size >= 8 && png_sig_cmp(data, 0, 8) == 0;
        const bool ok =
            png ? DecodePngAt(data, size, width, height, out, &scaled) : DecodeBmp(data, size, out);
        if (!ok) return false;
        // A BMP or an interlaced PNG comes whole and is scaled afterwards.
        if (!scaled && width > 0 && height > 0 && (width != out->width || height != out->height))
            Resample(out, width, height, 0);
        return true;
    } catch (const std::bad_alloc&) {
        *out = Picture{};
        return false;
    }
}

bool PictureSizeFromHeader(const uint8_t* data, size_t size, int* width, int* height) {
    uint64_t w = 0, h = 0;
    if (data && size >= 24 && png_sig_cmp(data, 0, 8) == 0 &&
        std::memcmp(data + 12, "IHDR", 4) == 0) {
        auto be32 = [](const uint8_t* p) {
            return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
        };
        w = be32(data + 16);
        h = be32(data + 20);
    } else if (data && size >= 26 && data[0] == 'B' && data[1] == 'M') {
        const int32_t raw_height = static_cast<int32_t>(ReadU32(data + 22));
        w = ReadU32(data + 18);
        h = raw_height < 0 ? uint64_t{0} - int64_t{raw_height} : uint64_t(raw_height);
    }
    if (!SizeAllowed(w, h)) return false;
    *width = static_cast<int>(w);
    *height = static_cast<int>(h);
    return true;
}

std::vector<uint8_t> TakePixels(size_t bytes) {
    return Spares().Take(bytes);
}

void GivePixels(std::vector<uint8_t>&& buffer) {
    Spares().Give(std::move(buffer));
}

bool DropSparePixels() {
    return Spares().Drop();
}

bool ImagePixelView(int image, PixelView* out) {
    Image* img = Images().Get(IdFromToken(image));
    if (!img || img->picture.bgra.empty()) return false;
    out->bgra = img->picture.bgra.data();
    out->width = img->picture.width;
    out->height = img->picture.height;
    out->pitch = img->picture.width * 4;
    return true;
}

}  // namespace detail

using detail::Image;
using detail::Images;

namespace {

int StoreImage(int number, detail::Picture&& picture, bool ok) {
    if (!ok) {
        if (number != AutoId) Images().Release(number);
        return 0;
    }
    auto image = std::make_unique<Image>();
    image->picture = std::move(picture);
    return Images().Insert(number, std::move(image));
}

}  // namespace

int DecodeImageSized(int number, const uint8_t* data, int64_t length) {
    detail::Picture picture;
    bool ok = data && length > 0 &&
              detail::DecodeOrTakeAhead(data, static_cast<size_t>(length), 0, 0, &picture);
    return StoreImage(number, std::move(picture), ok);
}

int DecodeImageScaledSized(int number, const uint8_t* data, int64_t length, int width, int height) {
    detail::Picture picture;
    bool ok = data && length > 0 && width >= 1 && height >= 1 && width <= detail::kMaxPictureSide &&
              height <= detail::kMaxPictureSide &&
              detail::DecodeOrTakeAhead(data, static_cast<size_t>(length), width, height, &picture);
    return StoreImage(number, std::move(picture), ok);
}

int PictureHeaderSize(const uint8_t* data, int64_t length, int* width, int* height) {
    if (!data || length <= 0 || !width || !height) return 0;
    return detail::PictureSizeFromHeader(data, static_cast<size_t>(length), width, height) ? 1 : 0;
}

int DecodeImage(int number, const uint8_t* block) {
    return DecodeImageSized(number, block, BlockSize(block));
}

int LoadImageFile(int number, const std::string& fileName) {
    // No picture the engine accepts comes near this; larger files are not read.
    // The file is read through the system's own calls (the wide-character API
    // on Windows), so any letters in its folder's name work.
    constexpr uint64_t kMaxFile = uint64_t{512} << 20;
    std::vector<uint8_t> bytes;
    if (!os::ReadFileBytes(fileName, kMaxFile, &bytes)) bytes.clear();
    return DecodeImageSized(number, bytes.data(), static_cast<int64_t>(bytes.size()));
}

int ImagePixelWidth(int image) {
    Image* img = Images().Get(image);
    return img ? img->picture.width : 0;
}

int ImagePixelHeight(int image) {
    Image* img = Images().Get(image);
    return img ? img->picture.height : 0;
}

int ScaleImage(int image, int width, int height, int mode) {
    Image* img = Images().Get(image);
    if (!img) return 0;
    detail::Picture& pic = img->picture;
    if (width == -1) width = pic.width;
    if (height == -1) height = pic.height;
    if (width < 1 || height < 1 || width > detail::kMaxPictureSide ||
        height > detail::kMaxPictureSide) {
        return 0;
    }
    if (width == pic.width && height == pic.height) return 1;
    try {
        return detail::Resample(&pic, width, height, mode) ? 1 : 0;
    } catch (const std::bad_alloc&) {
        return 0;  // the image stays as it was
    }
}

int ImageBitmapHandle(int image) {
    return Images().Get(image) ? detail::TokenFromId(image) : 0;
}

void ReleaseImage(int image) {
    if (image == -1) {
        Images().ReleaseAll();
    } else {
        // Its pixels serve the next picture of that size.
        if (Image* img = Images().Get(image)) detail::GivePixels(std::move(img->picture.bgra));
        Images().Release(image);
    }
}

}  // namespace engine
