// Test-side builders of picture files (BMP, PNG, Windows cursor) written from
// the formats' definitions, so decoder tests do not trust the code under test.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace test_pictures {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes* b, uint32_t v) {
    b->push_back(uint8_t(v));
    b->push_back(uint8_t(v >> 8));
}
inline void Put32(Bytes* b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
inline void Put32BE(Bytes* b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8)
        b->push_back(uint8_t(v >> s));
}

// A BMP with a 40-byte header. `bgra` holds width x height pixels, top row
// first; 24-bit files drop alpha and pad rows to 4 bytes.
inline Bytes MakeBmp(int width, int height, const Bytes& bgra, int bits, bool top_down = false) {
    int stride = (width * bits + 31) / 32 * 4;
    uint32_t image = uint32_t(stride) * height;
    Bytes b = {'B', 'M'};
    Put32(&b, 54 + image);
    Put32(&b, 0);
    Put32(&b, 54);
    Put32(&b, 40);
    Put32(&b, uint32_t(width));
    Put32(&b, uint32_t(top_down ? -height : height));
    Put16(&b, 1);
    Put16(&b, uint32_t(bits));
    Put32(&b, 0);
    Put32(&b, image);
    for (int i = 0; i < 4; ++i)
        Put32(&b, 0);
    for (int r = 0; r < height; ++r) {
        int y = top_down ? r : height - 1 - r;
        size_t start = b.size();
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = &bgra[(size_t(y) * width + x) * 4];
            b.insert(b.end(), p, p + (bits == 32 ? 4 : 3));
        }
        while (b.size() - start < size_t(stride))
            b.push_back(0);
    }
    return b;
}

inline uint32_t Crc32(const uint8_t* data, size_t n, uint32_t crc = 0) {
    static const auto table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (size_t i = 0; i < n; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

inline void PutChunk(Bytes* png, const char* type, const Bytes& body) {
    Put32BE(png, uint32_t(body.size()));
    Bytes typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    png->insert(png->end(), typed.begin(), typed.end());
    Put32BE(png, Crc32(typed.data(), typed.size()));
}

// zlib stream of stored (uncompressed) deflate blocks.
inline Bytes ZlibStored(const Bytes& raw) {
    Bytes z = {0x78, 0x01};
    size_t pos = 0;
    do {
        size_t n = std::min<size_t>(65535, raw.size() - pos);
        z.push_back(pos + n == raw.size() ? 1 : 0);
        Put16(&z, uint32_t(n));
        Put16(&z, uint32_t(~n & 0xFFFF));
        z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
        pos += n;
    } while (pos < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    Put32BE(&z, (b << 16) | a);
    return z;
}

// A PNG from samples: `samples` holds width x height pixels of `channels`
// samples each (values already within the bit depth), top row first. With
// `interlace` the rows go out in the seven Adam7 passes. `extra` chunks (type
// and body) go before IDAT.
struct PngSpec {
    int width = 0, height = 0;
    int bit_depth = 8;
    int colour_type = 6;
    bool interlace = false;
    std::vector<uint32_t> samples;
    Bytes palette;  // PLTE body
    Bytes trns;     // tRNS body
};

inline int Channels(int colour_type) {
    switch (colour_type) {
        case 0:
        case 3:
            return 1;
        case 2:
            return 3;
        case 4:
            return 2;
        default:
            return 4;
    }
}

inline void PackRow(const PngSpec& s, int y, int x0, int dx, Bytes* raw) {
    int ch = Channels(s.colour_type);
    raw->push_back(0);  // filter: none
    uint32_t acc = 0;
    int nbits = 0;
    for (int x = x0; x < s.width; x += dx) {
        for (int c = 0; c < ch; ++c) {
            uint32_t v = s.samples[(size_t(y) * s.width + x) * ch + c];
            if (s.bit_depth == 16) {
                raw->push_back(uint8_t(v >> 8));
                raw->push_back(uint8_t(v));
            } else if (s.bit_depth == 8) {
                raw->push_back(uint8_t(v));
            } else {
                acc = (acc << s.bit_depth) | v;
                nbits += s.bit_depth;
                if (nbits == 8) {
                    raw->push_back(uint8_t(acc));
                    acc = 0;
                    nbits = 0;
                }
            }
        }
    }
    if (nbits) raw->push_back(uint8_t(acc << (8 - nbits)));
}

inline Bytes MakePng(const PngSpec& s) {
    Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes ihdr;
    Put32BE(&ihdr, uint32_t(s.width));
    Put32BE(&ihdr, uint32_t(s.height));
    ihdr.push_back(uint8_t(s.bit_depth));
    ihdr.push_back(uint8_t(s.colour_type));
    ihdr.push_back(0);
    ihdr.push_back(0);
    ihdr.push_back(s.interlace ? 1 : 0);
    PutChunk(&png, "IHDR", ihdr);
    if (!s.palette.empty()) PutChunk(&png, "PLTE", s.palette);
    if (!s.trns.empty()) PutChunk(&png, "tRNS", s.trns);
    Bytes raw;
    if (!s.interlace) {
        for (int y = 0; y < s.height; ++y)
            PackRow(s, y, 0, 1, &raw);
    } else {
        const int x0[] = {0, 4, 0, 2, 0, 1, 0}, y0[] = {0, 0, 4, 0, 2, 0, 1};
        const int dx[] = {8, 8, 4, 4, 2, 2, 1}, dy[] = {8, 8, 8, 4, 4, 2, 2};
        for (int p = 0; p < 7; ++p) {
            if (x0[p] >= s.width) continue;
            for (int y = y0[p]; y < s.height; y += dy[p])
                PackRow(s, y, x0[p], dx[p], &raw);
        }
    }
    PutChunk(&png, "IDAT", ZlibStored(raw));
    PutChunk(&png, "IEND", {});
    return png;
}

// A cursor file with one entry holding `image` (a PNG, or a bitmap from
// MakeCursorBitmap) and the given hotspot.
inline Bytes MakeCursor(int width, int height, int hot_x, int hot_y, const Bytes& image,
                        uint16_t type = 2) {
    Bytes b;
    Put16(&b, 0);
    Put16(&b, type);
    Put16(&b, 1);
    b.push_back(uint8_t(width));
    b.push_back(uint8_t(height));
    b.push_back(0);
    b.push_back(0);
    Put16(&b, uint32_t(hot_x));
    Put16(&b, uint32_t(hot_y));
    Put32(&b, uint32_t(image.size()));
    Put32(&b, 22);
    b.insert(b.end(), image.begin(), image.end());
    return b;
}

// A 32-bit cursor bitmap: header with doubled height, rows bottom-up, then an
// all-zero AND mask.
inline Bytes MakeCursorBitmap(int width, int height, const Bytes& bgra) {
    Bytes b;
    Put32(&b, 40);
    Put32(&b, uint32_t(width));
    Put32(&b, uint32_t(height * 2));
    Put16(&b, 1);
    Put16(&b, 32);
    for (int i = 0; i < 6; ++i)
        Put32(&b, 0);
    for (int y = height - 1; y >= 0; --y) {
        b.insert(b.end(), bgra.begin() + size_t(y) * width * 4,
                 bgra.begin() + size_t(y + 1) * width * 4);
    }
    size_t mask = size_t((width + 31) / 32 * 4) * height;
    b.insert(b.end(), mask, 0);
    return b;
}

}  // namespace test_pictures
