// BriefLZ block decoder, bounds-checked and tuned for the common case.
//
// Block coding: the first byte is a literal; after it, control bits taken from
// 16-bit little-endian tag words (most significant bit first) choose between a
// literal byte (0) and a match (1). A match is length = gamma + 2, then
// offset = (gamma - 2) * 256 + next byte + 1, copied from `offset` bytes back.
// gamma: v = 1; repeat { v = 2v + bit } while (next bit == 1).
//
// Speed: the control bits sit left-aligned in a 32-bit register, so a run of
// 0 bits (literals) is found with one count-leading-zeros and copied at once;
// a match is checked once against both ends and then copied 8 bytes at a time
// when source and destination are at least 8 bytes apart. Near the end of the
// output the copies fall back to single bytes so nothing is ever written past
// the block.
#include "engine/brieflz.h"

#include <algorithm>
#include <cstring>

namespace engine::blz {

namespace {

constexpr uint8_t kStreamMagic[4] = {'1', 'z', 'l', 'b'};

uint64_t LoadU64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

}  // namespace

uint64_t BlockSizeForLevel(int level) {
    static constexpr uint64_t kSizes[] = {8192,   32768,  65536,  98304,
                                          131072, 262144, 524288, 786432};
    if (level < 0) level = 0;
    if (level < 8) return kSizes[level];
    return 1048576;
}

bool ReadStreamHeader(const uint8_t* stream, size_t size, StreamHeader* header) {
    if (size < kStreamHeaderSize || std::memcmp(stream, kStreamMagic, 4) != 0) return false;
    header->unpacked_size = LoadU64(stream + 8);
    header->block_size = LoadU64(stream + 16);
    if (header->unpacked_size == 0) return true;
    return header->block_size >= 1 && header->block_size <= kMaxBlockSize;
}

int64_t DecodeBlock(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size) {
    if (out_size == 0) return 0;
    if (in_size == 0) return -1;

    const uint8_t* src = in;
    const uint8_t* const src_end = in + in_size;
    uint8_t* dst = out;
    uint8_t* const dst_end = out + out_size;

    *dst++ = *src++;

    uint32_t tag = 0;   // control bits still to use, left-aligned
    unsigned bits = 0;  // how many of them

#define BLZ_REFILL()                                                                      \
    do {                                                                                  \
        if (src_end - src < 2) return -1;                                                 \
        tag = (static_cast<uint32_t>(src[0]) | static_cast<uint32_t>(src[1]) << 8) << 16; \
        src += 2;                                                                         \
        bits = 16;                                                                        \
    } while (0)

#define BLZ_GETBIT(bit)              \
    do {                             \
        if (bits == 0) BLZ_REFILL(); \
        (bit) = tag >> 31;           \
        tag <<= 1;                   \
        --bits;                      \
    } while (0)

    // A gamma value larger than the block cannot describe a valid match; the
    // limit also keeps the value far from overflowing.
#define BLZ_GAMMA(value)                       \
    do {                                       \
        uint32_t b_, c_;                       \
        (value) = 1;                           \
        do {                                   \
            BLZ_GETBIT(b_);                    \
            (value) = ((value) << 1) + b_;     \
            if ((value) > out_size) return -1; \
            BLZ_GETBIT(c_);                    \
        } while (c_);                          \
    } while (0)

    while (dst < dst_end) {
        if (bits == 0) BLZ_REFILL();

        if (!(tag & 0x80000000u)) {
            // A run of literals: as many as there are leading 0 bits.
            size_t run = tag ? static_cast<size_t>(__builtin_clz(tag)) : bits;
            run = std::min<size_t>({run, bits, static_cast<size_t>(dst_end - dst)});
            if (static_cast<size_t>(src_end - src) < run) return -1;
            if (src_end - src >= 16 && dst_end - dst >= 16) {
                std::memcpy(dst, src, 16);
            } else {
                for (size_t i = 0; i < run; ++i)
                    dst[i] = src[i];
            }
            src += run;
            dst += run;
            tag <<= run;  // run <= 16, so the shift is defined
            bits -= static_cast<unsigned>(run);
            continue;
        }
        tag <<= 1;
        --bits;

        uint64_t length, high;
        BLZ_GAMMA(length);
        length += 2;
        BLZ_GAMMA(high);
        if (src == src_end) return -1;
        uint64_t offset = ((high - 2) << 8) + *src++ + 1;

        const size_t room = static_cast<size_t>(dst_end - dst);
        if (length > room || offset > static_cast<size_t>(dst - out)) return -1;

        const uint8_t* from = dst - offset;
        if (offset >= 8 && room >= length + 8) {
            // Source trails destination by at least 8, so each 8-byte load
            // reads only bytes already written; the last store may run up to
            // 7 bytes past the match, which `room` leaves space for.
            uint8_t* d = dst;
            uint8_t* const end = dst + length;
            do {
                std::memcpy(d, from, 8);
                d += 8;
                from += 8;
            } while (d < end);
        } else if (offset == 1) {
            std::memset(dst, *from, length);
        } else {
            for (size_t i = 0; i < length; ++i)
                dst[i] = from[i];
        }
        dst += length;
    }

#undef BLZ_GAMMA
#undef BLZ_GETBIT
#undef BLZ_REFILL

    return src - in;
}

int64_t DecodeStream(const uint8_t* stream, size_t size, uint8_t* out, size_t out_capacity) {
    StreamHeader header;
    if (!ReadStreamHeader(stream, size, &header)) return -1;
    if (header.unpacked_size > out_capacity) return -1;

    size_t pos = kStreamHeaderSize;
    uint64_t done = 0;
    while (done < header.unpacked_size) {
        size_t want = static_cast<size_t>(std::min(header.block_size, header.unpacked_size - done));
        int64_t used = DecodeBlock(stream + pos, size - pos, out + done, want);
        if (used < 0) return -1;
        pos += static_cast<size_t>(used);
        done += want;
    }
    return static_cast<int64_t>(header.unpacked_size);
}

}  // namespace engine::blz
