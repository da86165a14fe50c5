// BriefLZ-compatible block encoder: hash chains over 4-byte prefixes, greedy
// matching at low levels and one-step lazy matching from level 3 on.
//
// The tag words are laid out exactly as the decoder reads them: the first tag
// is reserved right after the first literal, and each later tag is reserved
// only when the first of its 16 control bits is needed, which is where the
// decoder fetches it from the input. The last tag is padded with 0 bits.
//
// Part of the pack tool: the game, which only decodes, does not link it.
#include <algorithm>
#include <array>
#include <cstring>

#include "brieflz_encode.h"

namespace engine::blz {

namespace {

constexpr size_t kMinMatch = 4;  // gamma >= 2, so length = gamma + 2 >= 4

uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

uint32_t Hash4(const uint8_t* p, int bits) {
    return (Load32(p) * 2654435761u) >> (32 - bits);
}

// Enough hash slots for the block, so small blocks do not pay for clearing a
// large table each time.
int HashBitsFor(uint64_t block_size) {
    int bits = 12;
    while (bits < 17 && (uint64_t{1} << bits) < block_size)
        ++bits;
    return bits;
}

struct BitWriter {
    uint8_t* out;
    uint8_t* tag_pos = nullptr;
    uint32_t tag = 0;
    int bits_left = 0;

    void StartTags() {
        tag_pos = out;
        out += 2;
        tag = 0;
        bits_left = 16;
    }
    void Flush() {
        tag_pos[0] = static_cast<uint8_t>(tag);
        tag_pos[1] = static_cast<uint8_t>(tag >> 8);
    }
    void PutBit(uint32_t bit) {
        if (bits_left == 0) {
            Flush();
            StartTags();
        }
        tag = (tag << 1) | bit;
        --bits_left;
    }
    void PutGamma(uint64_t value) {  // value >= 2
        int top = 63 - __builtin_clzll(value);
        for (int i = top - 1; i >= 0; --i) {
            PutBit(static_cast<uint32_t>((value >> i) & 1));
            PutBit(i > 0 ? 1 : 0);
        }
    }
    void Finish() {
        tag <<= bits_left;
        Flush();
    }
};

}  // namespace

size_t MaxEncodedBlockSize(size_t size) {
    return size + size / 8 + 64;
}

Encoder::Encoder(int level)
    : level_(std::clamp(level, 0, 9)),
      block_size_(BlockSizeForLevel(level_)),
      max_chain_(std::array<int, 10>{2, 4, 8, 8, 16, 32, 64, 128, 256, 1024}[level_]),
      lazy_(level_ >= 3),
      hash_bits_(HashBitsFor(block_size_)),
      head_(size_t{1} << hash_bits_, -1),
      prev_() {}

void Encoder::Insert(const uint8_t* in, size_t pos, size_t size) {
    if (pos + kMinMatch > size) return;
    uint32_t h = Hash4(in + pos, hash_bits_);
    prev_[pos] = head_[h];
    head_[h] = static_cast<int32_t>(pos);
}

size_t Encoder::LongestMatch(const uint8_t* in, size_t pos, size_t size, size_t* offset) const {
    if (pos + kMinMatch > size) return 0;
    const size_t limit = size - pos;
    // A match this long ends the search: longer chains rarely find better.
    const size_t nice = level_ < 3 ? 32 : level_ < 6 ? 128 : level_ < 9 ? 512 : limit;
    const uint8_t* cur = in + pos;
    size_t best = kMinMatch - 1;
    int32_t cand = head_[Hash4(cur, hash_bits_)];
    for (int chain = max_chain_; cand >= 0 && chain > 0; --chain) {
        const uint8_t* ref = in + cand;
        if (ref[best] == cur[best] && Load32(ref) == Load32(cur)) {
            size_t len = 4;
            while (len + 8 <= limit) {
                uint64_t a, b;
                std::memcpy(&a, ref + len, 8);
                std::memcpy(&b, cur + len, 8);
                if (a != b) {
                    len += static_cast<size_t>(__builtin_ctzll(a ^ b)) / 8;
                    goto compared;
                }
                len += 8;
            }
            while (len < limit && ref[len] == cur[len])
                ++len;
        compared:
            if (len > best) {
                best = len;
                *offset = pos - static_cast<size_t>(cand);
                if (len >= nice || len == limit) break;
            }
        }
        cand = prev_[cand];
    }
    return best >= kMinMatch ? best : 0;
}

size_t Encoder::EncodeBlock(const uint8_t* in, size_t size, uint8_t* out) {
    if (size == 0) return 0;
    // Only as many hash slots as this block needs are used and cleared, so
    // short inputs do not pay for the whole table.
    hash_bits_ = HashBitsFor(size);
    std::fill(head_.begin(), head_.begin() + (ptrdiff_t{1} << hash_bits_), -1);
    if (prev_.size() < size) prev_.resize(size);

    BitWriter w{out};
    *w.out++ = in[0];
    if (size == 1) return 1;
    w.StartTags();
    Insert(in, 0, size);

    size_t i = 1;
    size_t match_len = 0, match_off = 0;
    bool searched = false;  // match_len/match_off already hold the search at i
    while (i < size) {
        if (!searched) match_len = LongestMatch(in, i, size, &match_off);
        searched = false;
        Insert(in, i, size);
        if (match_len == 0) {
            w.PutBit(0);
            *w.out++ = in[i++];
            continue;
        }
        if (lazy_ && i + 1 < size && match_len < 64) {
            size_t next_off = 0;
            size_t next_len = LongestMatch(in, i + 1, size, &next_off);
            if (next_len > match_len) {
                w.PutBit(0);
                *w.out++ = in[i++];
                match_len = next_len;
                match_off = next_off;
                searched = true;
                continue;
            }
        }
        w.PutBit(1);
        w.PutGamma(match_len - 2);
        w.PutGamma(((match_off - 1) >> 8) + 2);
        *w.out++ = static_cast<uint8_t>((match_off - 1) & 0xFF);
        for (size_t k = i + 1; k < i + match_len; ++k)
            Insert(in, k, size);
        i += match_len;
    }
    w.Finish();
    return static_cast<size_t>(w.out - out);
}

std::vector<uint8_t> Encoder::EncodeStream(const uint8_t* data, size_t size) {
    std::vector<uint8_t> stream(kStreamHeaderSize, 0);
    std::memcpy(stream.data(), "1zlb", 4);
    for (int i = 0; i < 8; ++i) {
        stream[8 + i] = static_cast<uint8_t>(static_cast<uint64_t>(size) >> (8 * i));
        stream[16 + i] = static_cast<uint8_t>(block_size_ >> (8 * i));
    }
    for (size_t done = 0; done < size;) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(block_size_, size - done));
        size_t at = stream.size();
        stream.resize(at + MaxEncodedBlockSize(n));
        size_t written = EncodeBlock(data + done, n, stream.data() + at);
        stream.resize(at + written);
        done += n;
    }
    return stream;
}

}  // namespace engine::blz
